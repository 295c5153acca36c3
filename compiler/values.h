// Readers of directive values: list items, numbers, code strings. They walk the argument text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace compiler {

struct Context;

// A cursor over the normalised argument text.
struct Args {
  std::string_view text;
  std::size_t pos = 0;
  bool at_end() const { return pos >= text.size(); }
  char peek() const { return at_end() ? '\0' : text[pos]; }
  std::string_view rest() const { return at_end() ? std::string_view{} : text.substr(pos); }
};

inline constexpr int kAbsent = -1;
inline constexpr int kNotInTable = -2;

enum class Match { Substring, Exact };

// Reads the next item (up to "," which is consumed, or the end) and looks it up in the table:
// the row index, kAbsent for an empty item, kNotInTable when no row matches.
int read_list(Args& a, const std::vector<std::string_view>& table, Match match);
// The next item's text, consumed the same way.
std::string_view read_item(Args& a);
int lookup(std::string_view item, const std::vector<std::string_view>& table, Match match);

// Reads a number with the context's number base; kAbsent when absent or when a hexadecimal
// number has more than two digits. Reports "unexpected hex figure" (and sets failed).
int read_number(Context& ctx, Args& a, bool& failed);

// The three state bytes of a definition.
struct State {
  std::uint8_t value = 0x00;
  std::uint8_t mask = 0x80;
  std::uint8_t mode = 0x00;
};

// Reads a code string under the state (whose mode may gain the character-mode bit): quoted
// parts, "#n" characters and "%n" raw bytes.
std::vector<std::uint8_t> read_string(Context& ctx, Args& a, State& state);

}  // namespace compiler
