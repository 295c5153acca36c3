#include "compiler/values.h"

#include <climits>

#include "compiler/context.h"
#include "compiler/messages.h"

namespace compiler {

namespace {
bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
int hex_value(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }
}  // namespace

std::string_view read_item(Args& a) {
  std::size_t start = a.pos;
  while (!a.at_end() && a.text[a.pos] != ',') ++a.pos;
  std::string_view item = a.text.substr(start, a.pos - start);
  if (!a.at_end()) ++a.pos;  // the ","
  return item;
}

int lookup(std::string_view item, const std::vector<std::string_view>& table, Match match) {
  if (item.empty()) return kAbsent;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (match == Match::Exact ? item == table[i] : item.find(table[i]) != std::string_view::npos)
      return static_cast<int>(i);
  }
  return kNotInTable;
}

int read_list(Args& a, const std::vector<std::string_view>& table, Match match) {
  return lookup(read_item(a), table, match);
}

int read_number(Context& ctx, Args& a, bool& failed) {
  failed = false;
  if (a.at_end()) return kAbsent;
  if (a.peek() == ',') {
    ++a.pos;
    return kAbsent;
  }
  const std::size_t start = a.pos;
  bool letter = false;
  while (!a.at_end() && is_hex(a.peek())) {
    letter |= a.peek() >= 'A';
    ++a.pos;
  }
  std::string_view run = a.text.substr(start, a.pos - start);
  int result;
  if (a.peek() == 'H' || (ctx.hex_base && a.peek() != 'Z')) {
    if (run.size() > 2) {
      result = kAbsent;
    } else {
      result = 0;
      for (char c : run) result = result * 16 + hex_value(c);
    }
  } else if (letter) {
    ctx.error(std::string(text(Msg::UnexpectedHex)));
    failed = true;
    result = kAbsent;
  } else {
    long long n = 0;
    for (char c : run) n = std::min<long long>(n * 10 + (c - '0'), INT_MAX);
    result = static_cast<int>(n);
  }
  while (!a.at_end() && (a.peek() == 'Z' || a.peek() == 'H' || a.peek() == ',')) ++a.pos;
  return result;
}

}  // namespace compiler
