// Reading and normalising source lines.
#pragma once

#include <cstdio>
#include <string>

namespace compiler {

// One normalised line.
struct Line {
  std::string raw;       // up to 499 characters as read, with the line feed if it had one
  std::string keyword;   // leading run of letters and digits, upper-cased
  std::string argument;  // the rest, normalised
};

inline constexpr std::size_t kRawLineMax = 499;
inline constexpr std::size_t kNormalisedMax = 500;

// Reads the next line; false at the end of the file (the line is then empty).
bool read_line(std::FILE* source, Line& line);

// Normalises a raw line into keyword and argument text.
void normalise(const std::string& raw, Line& line);

}  // namespace compiler
