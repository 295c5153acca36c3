#include "compiler/directives.h"

#include <string>

#include "common/languages.h"
#include "compiler/context.h"
#include "compiler/definitions.h"
#include "compiler/messages.h"
#include "compiler/values.h"

namespace compiler {

namespace {

using Table = std::vector<std::string_view>;

void report(Context& ctx, Msg m) { ctx.error(std::string(text(m))); }

std::uint8_t& X(Context& c) { return c.blocks[zpx::kBlockModel].data[1]; }
std::uint8_t& Y(Context& c) { return c.blocks[zpx::kBlockModel].data[2]; }
std::uint8_t& Z(Context& c) { return c.blocks[zpx::kBlockModel].data[3]; }

void set_bit(std::uint8_t& b, int bit, bool on) {
  if (on) b = static_cast<std::uint8_t>(b | (1u << bit));
  else b = static_cast<std::uint8_t>(b & ~(1u << bit));
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// TYPE model
void do_type(Context& ctx, Args a) {
  int index = read_list(a, model_table(), Match::Substring);
  if (index < 0) return report(ctx, Msg::UnknownType);
  ctx.model_index() = static_cast<std::uint8_t>(index);
  if (ctx.capacity == zpx::kDefaultCapacity && index >= 5 && index <= 11) ctx.capacity = zpx::kSmallCapacity;
}

// LANG / KBID language[,lock]
void do_lang(Context& ctx, Args a) {
  static const Table names = {"US", "GR", "FR", "UK", "SG", "SF", "IT", "SP"};
  std::uint8_t& b4 = ctx.image[zpx::kOffInterface];
  int index = read_list(a, names, Match::Substring);
  if (index < 0) {
    report(ctx, Msg::UnknownLanguage);
  } else {
    b4 = static_cast<std::uint8_t>((b4 & 0x07) | zpx::kLanguages[index].code);
    ctx.language = index;
  }
  int lock = read_list(a, {"C", "S"}, Match::Exact);
  if (lock == 0) b4 &= static_cast<std::uint8_t>(~0x08);
  else if (lock == 1) b4 |= 0x08;
  else if (lock == kNotInTable) report(ctx, Msg::LockSign);
  ctx.shift_lock = (b4 & 0x08) != 0;
}

// INTER / KBCI interface[:baud,parity,bits,handshake]
void do_inter(Context& ctx, Args a) {
  std::string text(a.text);
  if (auto colon = text.find(':'); colon != std::string::npos) text[colon] = ',';
  Args args{text, 0};
  int index = read_list(args, {"AT", "PC", "COM", "PS2", "USB"}, Match::Exact);
  if (index < 0) return report(ctx, Msg::UnknownInterface);
  std::uint8_t& b4 = ctx.image[zpx::kOffInterface];
  b4 = static_cast<std::uint8_t>((b4 & 0xF8) | index);
  if (index != 2) return;
  std::uint8_t& b5 = ctx.image[zpx::kOffSerial];
  b5 = 0xE2;
  int baud = read_list(args, {"38", "19", "96", "48", "24", "12", "60", "30"}, Match::Substring);
  if (baud == kNotInTable) return report(ctx, Msg::UnknownBaudrate);
  if (baud >= 0) b5 = static_cast<std::uint8_t>((b5 & 0xF8) | baud);
  int parity = read_list(args, {"N", "M", "E", "O", "S"}, Match::Exact);
  if (parity == kNotInTable) return report(ctx, Msg::UnknownParity);
  if (parity >= 0) b5 = static_cast<std::uint8_t>((b5 & 0x9F) | ((parity & 3) << 5));
  int bits = read_list(args, {"7", "8"}, Match::Exact);
  if (bits == kNotInTable) return report(ctx, Msg::UnknownDatalength);
  if (bits == 1) b5 |= 0x10;
  std::string_view rest = args.rest();
  if (rest.empty()) return;
  if (rest.front() == 'H') b5 |= 0x08;
  else report(ctx, Msg::HandshakeExpected);
}

std::uint8_t volume_byte(int v) { return static_cast<std::uint8_t>((static_cast<long long>(v) * 255 / 100) & 0xFF); }

// Reads one sound's volume and duration into the header bytes at `at`. A duration of 0 is an
// error for SOUND and allowed for SNDK/SNDA. False when the directive ends here.
bool read_sound(Context& ctx, Args& a, std::size_t at, bool zero_duration_allowed) {
  bool failed;
  int v = read_number(ctx, a, failed);
  if (failed) return false;
  if (v >= 0) ctx.image[at] = volume_byte(v);
  int d = read_number(ctx, a, failed);
  if (failed) return false;
  if (d == 0 && !zero_duration_allowed) {
    report(ctx, Msg::DurationZero);
    return false;
  }
  if (d >= 0) ctx.image[at + 1] = static_cast<std::uint8_t>((d / 20) & 0xFF);
  return true;
}

// SOUND volume,duration,volume,duration
void do_sound(Context& ctx, Args a) {
  if (read_sound(ctx, a, zpx::kOffSndkVolume, false)) read_sound(ctx, a, zpx::kOffSndaVolume, false);
}

// SNDK / SNDA volume,duration
void do_snd(Context& ctx, std::string_view keyword, Args a) {
  if (keyword.size() >= 4 && keyword[3] == 'K') read_sound(ctx, a, zpx::kOffSndkVolume, true);
  else if (keyword.size() >= 4 && keyword[3] == 'A') read_sound(ctx, a, zpx::kOffSndaVolume, true);
  else report(ctx, Msg::UnknownSndCode);
}

// MOD +item,-item,...
void do_mod(Context& ctx, Args a) {
  static const Table options = {"T1", "T2", "T3", "MSR", "FCR", "KL", "KVK", "BCR", "BA0", "BA1", "BA2",
                                "EF", "EC", "SE", "MCO", "M3", "MCS", "IEK", "GCA", "FFA", "OPOS"};
  while (!a.at_end()) {
    char sign = a.peek();
    if (sign == ',') {
      ++a.pos;
      continue;
    }
    if (sign != '+' && sign != '-') return report(ctx, Msg::ModSign);
    ++a.pos;
    const bool plus = sign == '+';
    std::string_view rest = a.rest();
    int row = -1;
    for (std::size_t i = 0; i < options.size(); ++i) {
      if (rest.substr(0, options[i].size()) == options[i]) {
        row = static_cast<int>(i);
        break;
      }
    }
    if (row < 0) {
      report(ctx, Msg::UnknownParameter);
      continue;  // scanning goes on after the sign
    }
    a.pos += options[static_cast<std::size_t>(row)].size();
    if (row <= 7) {
      set_bit(X(ctx), row, plus);
    } else if (row <= 10) {
      set_bit(X(ctx), 6, row != 9);
      set_bit(Y(ctx), 0, row == 10);
    } else if (row <= 13) {
      set_bit(Y(ctx), row - 10, !plus);
    } else if (row == 14) {
      set_bit(Z(ctx), 7, plus);
    } else if (row == 15) {
      set_bit(Y(ctx), 5, plus);
    } else if (row == 16) {
      set_bit(Y(ctx), 4, plus);
    } else if (row == 17) {
      set_bit(Y(ctx), 6, !plus);
    } else if (row == 18) {
      ctx.char_mode_option = true;
    } else if (row == 19) {
      set_bit(Y(ctx), 7, !plus);
      ctx.opos = plus;  // FFA goes together with the OPOS option
    } else {
      ctx.opos = plus;
    }
  }
}

// RATE rate,delay[,speed]
void do_rate(Context& ctx, Args a) {
  std::uint8_t& t = ctx.blocks[zpx::kBlockTypematic].data[0];
  static const std::uint8_t rates[] = {0x00, 0x04, 0x0C, 0x1F};
  int rate = read_list(a, {"30", "20", "10", "2"}, Match::Exact);
  if (rate == kNotInTable) return report(ctx, Msg::UnknownRate);
  if (rate >= 0) t = static_cast<std::uint8_t>((t & 0xE0) | rates[rate]);
  int delay = read_list(a, {"250", "500", "750", "1000"}, Match::Exact);
  if (delay < 0) return report(ctx, Msg::UnknownDelay);
  t = static_cast<std::uint8_t>((t & 0x9F) | (delay << 5));
  std::string_view item = read_item(a);
  if (item.empty()) return;
  static const std::uint8_t speeds[] = {0x00, 0x20, 0x24, 0x3F, 0x2C};
  int speed = lookup(item.substr(0, 1), {"D", "F", "M", "V", "S"}, Match::Exact);
  if (speed < 0) return report(ctx, Msg::UnknownSpeed);
  Z(ctx) = static_cast<std::uint8_t>((Z(ctx) & 0x80) | speeds[speed]);
}

// BASE H|Z
void do_base(Context& ctx, Args a) {
  if (a.peek() == 'H') ctx.hex_base = true;
  else if (a.peek() == 'Z') ctx.hex_base = false;
  else report(ctx, Msg::BaseCharacter);
}

// MSR [items,]"text"
void do_msr(Context& ctx, Args a) {
  X(ctx) |= 0x07;
  Y(ctx) &= static_cast<std::uint8_t>(~0x38);
  auto comma_before_quote = [&] {
    std::size_t quote = a.text.find('"', a.pos);
    std::size_t comma = a.text.find(',', a.pos);
    return comma != std::string_view::npos && (quote == std::string_view::npos || comma < quote);
  };
  while (comma_before_quote()) {
    switch (read_list(a, {"NA", "N1", "N2", "N3", "NSE", "LRC", "M3"}, Match::Exact)) {
      case 0: set_bit(X(ctx), 3, false); break;
      case 1: set_bit(X(ctx), 0, false); break;
      case 2: set_bit(X(ctx), 1, false); break;
      case 3: set_bit(X(ctx), 2, false); break;
      case 4: set_bit(Y(ctx), 3, true); break;
      case 5: set_bit(Y(ctx), 4, true); break;
      case 6: set_bit(Y(ctx), 5, true); break;
      default: report(ctx, Msg::UnknownParameter); break;
    }
  }
  std::size_t first = a.text.find('"');
  std::size_t last = a.text.rfind('"');
  if (first == std::string_view::npos || last == first) return;
  Block& b = ctx.blocks[zpx::kBlockMsrText];
  b.present = true;
  b.data.assign(a.text.begin() + static_cast<std::ptrdiff_t>(first + 1), a.text.begin() + static_cast<std::ptrdiff_t>(last));
  b.data.push_back(0);
}

// The byte of a "\Xhh", "^c" or "\c" escape at s[i]; i moves past it. -1 when none applies.
int escaped_byte(std::string_view s, std::size_t& i, bool backslash_any) {
  if (s[i] == '\\' && i + 3 < s.size() + 0 && (s[i + 1] == 'X' || s[i + 1] == 'x') && hex_digit(s[i + 2]) >= 0 &&
      hex_digit(s[i + 3]) >= 0) {
    int v = hex_digit(s[i + 2]) * 16 + hex_digit(s[i + 3]);
    i += 4;
    return v;
  }
  if (s[i] == '^' && i + 1 < s.size()) {
    int c = static_cast<unsigned char>(s[i + 1]);
    if (c >= 'a' && c <= 'z') c -= 32;
    i += 2;
    return (c - 0x40) & 0xFF;
  }
  if (backslash_any && s[i] == '\\' && i + 1 < s.size()) {
    int c = static_cast<unsigned char>(s[i + 1]);
    if (c >= 'a' && c <= 'z') c -= 32;
    i += 2;
    return c;
  }
  return -1;
}

// PORT items,"bytes"
void do_port(Context& ctx, Args a) {
  Block& text = ctx.blocks[zpx::kBlockPortText];
  Block& init = ctx.blocks[zpx::kBlockPortInit];
  text = {};
  init = {};
  static const Table items = {"96", "192", "48", "24", "12", "60", "30", "E", "O", "N", "7", "8", "2", "1", "NRTS"};
  static const char* bauds[] = {"9600", "19200", "4800", "2400", "1200", "600", "300"};
  int baud = 0;
  char parity = 'E', bits = '7', stop = '2';
  bool handshake = false;
  while (!a.at_end() && a.peek() != '"') {
    std::size_t start = a.pos;
    while (!a.at_end() && a.peek() != ',' && a.peek() != '"') ++a.pos;
    std::string_view item = a.text.substr(start, a.pos - start);
    if (!a.at_end() && a.peek() == ',') ++a.pos;
    if (item.empty()) continue;
    int row = lookup(item, items, Match::Exact);
    if (row < 0) {
      row = lookup(item, items, Match::Substring);
      if (row < 0 || row > 6) return report(ctx, Msg::UnknownParameter);
    }
    if (row <= 6) baud = row;
    else if (row <= 9) parity = items[static_cast<std::size_t>(row)][0];
    else if (row <= 11) bits = items[static_cast<std::size_t>(row)][0];
    else if (row <= 13) stop = items[static_cast<std::size_t>(row)][0];
    else handshake = true;
  }
  std::string t = "\x01";
  t += bauds[baud];
  t += ',';
  t += parity;
  t += ',';
  t += bits;
  t += ',';
  t += stop;
  t += '\x04';
  t += handshake ? '\x13' : '\x11';
  text.present = true;
  text.data.assign(t.begin(), t.end());
  std::size_t first = a.text.find('"');
  std::size_t last = a.text.rfind('"');
  if (first == std::string_view::npos || last == first) return;
  std::string_view s = a.text.substr(first + 1, last - first - 1);
  for (std::size_t i = 0; i < s.size();) {
    int v = escaped_byte(s, i, true);
    if (v < 0) v = static_cast<unsigned char>(s[i++]);
    init.data.push_back(static_cast<std::uint8_t>(v));
  }
  init.present = !init.data.empty();
}

// PARA "codes"
void do_para(Context& ctx, Args a) {
  std::size_t first = a.text.find('"');
  if (first == std::string_view::npos) return;
  std::size_t second = a.text.find('"', first + 1);
  std::string_view s = a.text.substr(first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
  std::vector<std::uint8_t> codes;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] == '\\' && i + 3 < s.size() + 0 && (s[i + 1] == 'X' || s[i + 1] == 'x') && hex_digit(s[i + 2]) >= 0 &&
        hex_digit(s[i + 3]) >= 0) {
      codes.push_back(static_cast<std::uint8_t>(hex_digit(s[i + 2]) * 16 + hex_digit(s[i + 3])));
      i += 4;
    } else if (s[i] >= '0' && s[i] <= '9') {
      int v = s[i] - '0';
      ++i;
      if (i < s.size() && s[i] >= '0' && s[i] <= '9') v = v * 10 + (s[i++] - '0');
      codes.push_back(static_cast<std::uint8_t>(v));
    } else {
      ++i;
    }
  }
  if (codes.empty()) return;
  if (codes.size() > 8) return report(ctx, Msg::ParaMore);
  if (codes.size() < 8) return report(ctx, Msg::ParaLess);
  if (codes[0] == 0) return report(ctx, Msg::ParaUnknown);
  Block& b = ctx.blocks[zpx::kBlockParameters];
  if (b.data.size() + 8 > 248) return;
  b.present = true;
  b.data.insert(b.data.end(), codes.begin(), codes.end());
}

// MEMORY n
void do_memory(Context& ctx, Args a) {
  bool failed;
  int n = read_number(ctx, a, failed);
  if (failed) return;
  if (n < 512) return report(ctx, Msg::MemorySize);
  ctx.capacity = n;
}

// VERSION text
void do_version(Context& ctx, Args a) {
  if (a.text.find("CYP") != std::string_view::npos) ctx.definition_set = 2;
}

enum class Handler {
  Type, Lang, Inter, Sound, Snd, Def, Hotkey, Mod, Rate, Base, Msr, Port, Conv, Para, Memory,
  Version, Keytable, Keylayer, Deadkey
};

struct Directive {
  std::string_view name;
  Handler handler;
};

constexpr Directive kDirectives[] = {
    {"TYPE", Handler::Type},     {"LANG", Handler::Lang},         {"KBID", Handler::Lang},
    {"INTER", Handler::Inter},   {"KBCI", Handler::Inter},        {"SOUND", Handler::Sound},
    {"SND", Handler::Snd},       {"DEF", Handler::Def},           {"HOTKEY", Handler::Hotkey},
    {"HK", Handler::Hotkey},     {"MOD", Handler::Mod},           {"RATE", Handler::Rate},
    {"BASE", Handler::Base},     {"MSR", Handler::Msr},           {"PORT", Handler::Port},
    {"CONV", Handler::Conv},     {"PARA", Handler::Para},         {"MEMORY", Handler::Memory},
    {"VERSION", Handler::Version}, {"KEYTABLE", Handler::Keytable}, {"KEYLAYER", Handler::Keylayer},
    {"DEADKEY", Handler::Deadkey},
};

bool is_key_line(std::string_view keyword) {
  if (keyword.size() != 3) return false;
  char c = keyword[2];
  return (c >= '0' && c <= '9') || c == 'H' || c == 'T';
}

}  // namespace

const std::vector<std::string_view>& model_table() {
  // Model codes; no code occurs inside another, so every code selects its own row.
  static const std::vector<std::string_view> models = {
      "ZK00", "ZK01", "ZK02", "ZK03", "ZK04", "ZK05", "ZK06", "ZK07",
      "ZK08", "ZK09", "ZK10", "ZK11", "ZK12", "ZK13", "ZK14"};
  return models;
}

void process_line(Context& ctx, std::string_view keyword, std::string_view argument) {
  if (keyword.empty()) return;
  if (is_key_line(keyword)) return key_line(ctx, keyword, argument);
  const Directive* found = nullptr;
  for (const auto& d : kDirectives) {
    if (keyword.find(d.name) != std::string_view::npos) {
      found = &d;
      break;
    }
  }
  if (!found) return report(ctx, Msg::UnknownCommand);
  Args a{argument, 0};
  if (found->handler != Handler::Hotkey && a.peek() == ':') ++a.pos;
  Args rest{a.rest(), 0};
  switch (found->handler) {
    case Handler::Type: return do_type(ctx, rest);
    case Handler::Lang: return do_lang(ctx, rest);
    case Handler::Inter: return do_inter(ctx, rest);
    case Handler::Sound: return do_sound(ctx, rest);
    case Handler::Snd: return do_snd(ctx, keyword, rest);
    case Handler::Mod: return do_mod(ctx, rest);
    case Handler::Rate: return do_rate(ctx, rest);
    case Handler::Base: return do_base(ctx, rest);
    case Handler::Msr: return do_msr(ctx, rest);
    case Handler::Port: return do_port(ctx, rest);
    case Handler::Para: return do_para(ctx, rest);
    case Handler::Memory: return do_memory(ctx, rest);
    case Handler::Version: return do_version(ctx, rest);
    case Handler::Def: return do_def(ctx, rest);
    case Handler::Hotkey: return do_hotkey(ctx, keyword, a);
    case Handler::Conv: return do_conv(ctx, rest);
    case Handler::Keytable: return do_keytable(ctx, rest);
    case Handler::Keylayer: return do_keylayer(ctx, rest);
    case Handler::Deadkey: return do_deadkey(ctx, rest);
  }
}

}  // namespace compiler
