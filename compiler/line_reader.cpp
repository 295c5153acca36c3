#include "compiler/line_reader.h"

#include <cctype>
#include <cstring>

namespace compiler {

namespace {

bool is_alnum(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char upper(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : static_cast<char>(c); }

bool starts_with_layer_marker(const std::string& s, std::size_t i) {
  static const char kMarker[] = "!@KEYLAYER:";
  const std::size_t n = sizeof kMarker - 1;
  if (s.size() - i < n) return false;
  for (std::size_t k = 0; k < n; ++k)
    if (upper(static_cast<unsigned char>(s[i + k])) != kMarker[k]) return false;
  return true;
}

}  // namespace

bool read_line(std::FILE* source, Line& line) {
  line = Line{};
  // As a line-buffered read of at most 499 characters: a longer line goes on in the next read.
  // Read as a text file: a carriage return before a line feed is not part of the line, and
  // Ctrl+Z ends the file, as sources written by DOS and Windows editors expect.
  std::string raw;
  int c;
  while (raw.size() < kRawLineMax && (c = std::fgetc(source)) != EOF) {
    if (c == 0x1A) {
      while (std::fgetc(source) != EOF) {
      }
      break;
    }
    if (c == '\r') {
      int next = std::fgetc(source);
      if (next == '\n') c = '\n';
      else if (next != EOF) std::ungetc(next, source);
    }
    raw += static_cast<char>(c);
    if (c == '\n') break;
  }
  if (raw.empty()) return false;
  normalise(raw, line);
  return true;
}

void normalise(const std::string& raw, Line& line) {
  line.raw = raw;
  line.keyword.clear();
  line.argument.clear();
  std::size_t i = 0;
  const std::size_t n = raw.size();
  while (i < n && (raw[i] == '\t' || raw[i] == ' ' || raw[i] == '#' || static_cast<unsigned char>(raw[i]) == 0xA7)) ++i;
  bool in_keyword = true;
  auto produced = [&] { return line.keyword.size() + line.argument.size(); };
  while (i < n && raw[i] != '\n' && raw[i] != '\0' && produced() < kNormalisedMax) {
    const unsigned char c = static_cast<unsigned char>(raw[i]);
    if (c == '!') {
      if (starts_with_layer_marker(raw, i)) {
        i += 2;  // read as "KEYLAYER:"
        continue;
      }
      break;  // a comment: the rest of the line is ignored
    }
    if (in_keyword) {
      if (is_alnum(c)) {
        line.keyword += upper(c);
        ++i;
        continue;
      }
      in_keyword = false;  // this character is handled as argument text
    }
    if (c == '\t' || c == ' ') {
      ++i;
      continue;
    }
    if (c == '"') {
      // A quoted part is kept as written, up to and with the next quote. A backslash takes
      // the next character along. A part left open ends at the line end, which is not part
      // of the text: the keytable must not depend on whether the last line has a line end.
      line.argument += '"';
      ++i;
      while (i < n && raw[i] != '\0' && raw[i] != '\n' && produced() < kNormalisedMax) {
        const char q = raw[i++];
        if (q == '\\' && i < n && raw[i] != '\0' && raw[i] != '\n') {
          line.argument += q;
          if (produced() >= kNormalisedMax) break;
          line.argument += raw[i++];
          continue;
        }
        line.argument += q;
        if (q == '"') break;
      }
      continue;
    }
    line.argument += upper(c);
    ++i;
  }
}

}  // namespace compiler
