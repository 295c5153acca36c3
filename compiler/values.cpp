#include "compiler/values.h"

#include <climits>

#include "compiler/context.h"
#include "compiler/messages.h"
#include "compiler/scancode.h"

namespace compiler {

namespace {
void report(Context& ctx, Msg m) { ctx.error(std::string(text(m))); }

ConvertSettings settings_of(const Context& ctx) {
  ConvertSettings s;
  s.language = ctx.language;
  s.shift_lock = ctx.shift_lock;
  s.char_mode_option = ctx.char_mode_option;
  s.custom_table_used = ctx.custom_count > 0;
  s.custom_table = ctx.custom_table;
  for (std::size_t i = 0; i < 7; ++i) {
    const auto& e = ctx.custom_deadkeys[i];
    // An entry that was never given still holds its two blanks: it types nothing.
    if (!(e[0] == 0x20 && e[1] == 0x20)) s.custom_deadkeys[i + 1] = {e[0], e[1]};
  }
  return s;
}

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

std::vector<std::uint8_t> read_string(Context& ctx, Args& a, State& st) {
  const ConvertSettings settings = settings_of(ctx);
  std::vector<std::uint8_t> result;
  std::string pending;
  auto convert = [&]() -> bool {
    if (pending.empty()) return true;
    ConvertStatus s = convert_pending(settings, st.value, st.mask, st.mode, pending, result);
    pending.clear();
    switch (s) {
      case ConvertStatus::Ok: return true;
      case ConvertStatus::AsciiFailed: report(ctx, Msg::ConversionAscii); return false;
      case ConvertStatus::ScancodeFailed: report(ctx, Msg::ConversionScancode); return false;
      case ConvertStatus::TooLong: report(ctx, Msg::StringTooLong); return false;
    }
    return false;
  };
  while (!a.at_end()) {
    const char c = a.peek();
    if (c == '\t' || c == ' ' || c == ',' || c == ':') {
      ++a.pos;
      continue;
    }
    if (c == '"') {
      ++a.pos;
      std::size_t taken = 0;
      while (!a.at_end() && a.peek() != '"') {
        char ch = a.text[a.pos++];
        if (ch == '\\' && !a.at_end()) {
          const char next = a.text[a.pos++];
          if (next == '"') {
            if (taken++ < kMaxCodeString) pending += '"';
          } else {
            if (taken++ < kMaxCodeString) pending += ch;
            if (taken++ < kMaxCodeString) pending += next;
          }
          continue;
        }
        if (taken++ < kMaxCodeString) pending += ch;
      }
      if (!a.at_end()) ++a.pos;  // the closing quote
      continue;
    }
    if (c == '#' || c == '%') {
      ++a.pos;
      bool failed = false;
      int n = read_number(ctx, a, failed);
      if (failed) return result;
      const auto byte = static_cast<std::uint8_t>(n & 0xFF);
      if (c == '#') {
        pending += static_cast<char>(byte);
      } else {
        if (!convert()) return result;
        if (result.size() + 1 >= kMaxCodeString) {
          report(ctx, Msg::StringTooLong);
          return result;
        }
        result.push_back(byte);
      }
      continue;
    }
    report(ctx, Msg::StringSign);
    a.pos = a.text.size();
    break;
  }
  convert();
  return result;
}

}  // namespace compiler
