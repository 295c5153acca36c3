#include "compiler/definitions.h"

#include <cstdlib>
#include <string>

#include "compiler/context.h"
#include "compiler/messages.h"

namespace compiler {

namespace {

void report(Context& ctx, Msg m) { ctx.error(std::string(text(m))); }

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
int hex_value(char c) {
  if (c <= '9') return c - '0';
  if (c >= 'a') return c - 'a' + 10;
  return c - 'A' + 10;
}

bool starts(std::string_view s, std::size_t at, std::string_view word) {
  return s.size() >= at && s.substr(at, word.size()) == word;
}

// Table A, first variant (model 2): rows A-F, columns 1-23; -1 = no position.
constexpr int kTableA1[6][23] = {
    {0, 1, 2, 3, 4, 77, 78, 79, 80, 81, 82, 83, 84, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 85, 86, 87, 88, 89, 90, 91, 92, -1},
    {19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 93, 94, 95, 96, 97, 98, 99, 100, -1},
    {33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 101, 102, 103, 104, 105, 106, 107, 108, -1},
    {47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 109, 110, 111, 112, 113, 114, 115, 116},
    {62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 117, 118, 119, 120, 121, 122, 123, 124},
};

// Table A, second variant (models 3, 7, 9): rows A-H, columns 1-16.
constexpr int kTableA2[8][16] = {
    {0, 1, 2, 3, 4, 5, -1, -1, -1, 115, 120, 119, 118, 126, 127, -1},
    {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, -1},
    {21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, -1},
    {36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, -1},
    {51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66},
    {67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 82},
    {83, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95, 96, 97, 98},
    {99, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114},
};

// Table B (model 14): rows A-G, columns 1-22, before the extended offset.
constexpr int kTableB[7][22] = {
    {0, 1, 2, 3, 144, 144, 144, 144, 144, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 125},
    {21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 144, 34, 35, 36, 37, 38, 39, 40, 146},
    {42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 144, 56, 57, 58, 59, 60, 61, 145},
    {63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 144, 77, 78, 79, 80, 81, 82, 124},
    {84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95, 96, 97, 98, 99, 100, 101, 102, 103, 104, 123},
    {105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 144, 144, 144, 144, 144, 144},
    {126, 127, 128, 129, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139, 140, 141, 144, 144, 144, 144, 144, 144},
};

constexpr std::string_view kPseudoKeys[14] = {"M1H", "M1T", "M2H", "M2T", "M3H", "M3T", "BCH",
                                              "BCT", "FIH", "FIT", "FRH", "FRT", "KLH", "KLT"};

int position(int model, int row, int col) {
  auto grid = [&](int rows, int cols, int width) { return row < rows && col >= 1 && col <= cols ? row * width + col - 1 : -1; };
  switch (model) {
    case 0: return grid(7, 12, 16);
    case 1: case 6: return grid(8, 16, 16);
    case 2: return row < 6 && col >= 1 && col <= 23 ? kTableA1[row][col - 1] : -1;
    case 3: case 7: case 9: return row < 8 && col >= 1 && col <= 16 ? kTableA2[row][col - 1] : -1;
    case 4: return grid(7, 17, 17);
    case 5: return grid(5, 16, 16);
    case 8: case 10: return grid(7, 5, 16);
    case 11: return row == 7 ? (col >= 1 && col <= 13 ? col + 139 : -1) : grid(7, 20, 20);
    case 12: return row == 7 ? (col >= 1 && col <= 13 ? col + 146 : -1) : grid(7, 21, 21);
    case 13: return grid(7, 22, 22);
    case 14: return row < 7 && col >= 1 && col <= 22 ? kTableB[row][col - 1] : -1;
  }
  return -1;
}

}  // namespace

int key_number(Context& ctx, std::string_view keyword) {
  const int model = ctx.model_index();
  if (!keyword.empty() && keyword[0] >= 'A' && keyword[0] <= 'Z') {
    const int row = keyword[0] - 'A';
    int col = 0;
    for (std::size_t i = 1; i < keyword.size() && keyword[i] >= '0' && keyword[i] <= '9'; ++i) col = col * 10 + (keyword[i] - '0');
    int k = position(model, row, col);
    if (k >= 0) {
      if (model >= 11 && model <= 14) {
        ctx.extended_layout = true;
        if (k >= 128) k += 30;
      }
      return k;
    }
  }
  for (int i = 0; i < 14; ++i) {
    if (keyword == kPseudoKeys[i]) {
      if (model >= 11 && model <= 14) ctx.extended_layout = true;
      return 128 + i;
    }
  }
  return -1;
}

bool insert_record(std::vector<Record>& list, const Record& r) {
  const bool r_layer = r.mode & 0x80;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Record& p = list[i];
    const bool p_layer = p.mode & 0x80;
    auto before = [&] {
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(i), r);
      return false;
    };
    if (p_layer && r_layer) {
      if (p.value < r.value) return before();
      continue;
    }
    if (r_layer) return before();
    if (p.mask == r.mask && p.value == r.value) {
      list[i] = r;
      return true;
    }
    if (p.mask == r.mask && r.value < p.value) return before();
    if (p.mask < r.mask) return before();
  }
  list.push_back(r);
  return false;
}

namespace {

// Compiles one definition (prefix and code string) into a key's list.
void define(Context& ctx, int key, std::string_view argument, Msg duplicate) {
  State st{ctx.def_value, ctx.def_mask, ctx.def_mode};
  Args a{argument, 0};
  if (!read_prefix(ctx, a, st)) return;
  Record r;
  r.codes = read_string(ctx, a, st);
  r.value = st.value;
  r.mask = st.mask;
  r.mode = st.mode;
  ctx.last_mode = st.mode;
  if (insert_record(ctx.keys[static_cast<std::size_t>(key)], r)) report(ctx, duplicate);
}

std::string upper(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

}  // namespace

void key_line(Context& ctx, std::string_view keyword, std::string_view argument) {
  const int key = key_number(ctx, keyword);
  if (key < 0) return report(ctx, Msg::UnknownKeycode);
  const std::string copy(argument);
  bool expanded = false;
  for (const Builtin& b : builtin_set(ctx.definition_set)) {
    const std::string arg = upper(copy);
    if (arg.find(b.name) == std::string::npos) continue;
    expanded = true;
    std::string text = arg.find("/K") != std::string::npos ? "/K" : "";
    text += b.condition + "\"" + b.text + "\"";
    define(ctx, key, text, Msg::MultipleDefinedKey);
  }
  if (!expanded) define(ctx, key, copy, Msg::MultipleAssignment);
}

void do_def(Context& ctx, Args a) {
  State st;
  read_prefix(ctx, a, st);
  ctx.def_value = st.value;
  ctx.def_mask = st.mask;
  ctx.def_mode = st.mode;
}

void do_hotkey(Context& ctx, std::string_view keyword, Args a) {
  const char last = keyword.empty() ? '\0' : keyword.back();
  if (last != '0' && last != '1') return report(ctx, Msg::WrongHotkeyCode);
  State st{0, 0, ctx.last_mode};
  if (!read_prefix(ctx, a, st)) return;
  st.mask &= 0x7F;
  const std::vector<std::uint8_t> codes = read_string(ctx, a, st);
  ctx.last_mode = st.mode;
  std::uint8_t code = 0;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::uint8_t b = codes[i];
    if (b == 0x2A || b == 0x36) {
      st.value |= 0x02;
      st.mask |= 0x02;
      code = 0;
    } else if (b == 0x1D) {
      st.value |= 0x04;
      st.mask |= 0x04;
      code = 0;
    } else if (b == 0x38) {
      st.value |= 0x08;
      st.mask |= 0x08;
      code = 0;
    } else if (b == 0xE0) {
      code = 0x80;
    } else if (b >= 0x01 && b <= 0x7F) {
      code |= b;
      ++i;  // its break code
    }
  }
  const std::size_t at = zpx::kOffHotkey0 + 3 * static_cast<std::size_t>(last - '0');
  ctx.image[at] = st.value;
  ctx.image[at + 1] = st.mask;
  ctx.image[at + 2] = code;
}

void do_conv(Context& ctx, Args a) {
  const std::size_t quote = a.text.find('"');
  const std::size_t eq = a.text.find('=');
  if (quote == std::string_view::npos || eq == std::string_view::npos || eq < quote) return;
  std::string_view src = a.text.substr(quote + 1, eq - quote - 1);
  int source = -1;
  if (src.size() >= 4 && src[0] == '\\' && (src[1] == 'X' || src[1] == 'x') && is_hex(src[2]) && is_hex(src[3])) {
    source = hex_value(src[2]) * 16 + hex_value(src[3]);
  } else if (src.size() >= 2 && src[0] == '^') {
    int c = static_cast<unsigned char>(src[1]);
    if (c >= 'a' && c <= 'z') c -= 32;
    source = (c - 0x40) & 0xFF;
  } else if (src.size() >= 2 && src[0] == '\'') {
    source = static_cast<unsigned char>(src[1]);
  }
  if (source < 0) return;
  State st{0, 0, ctx.last_mode};
  Args rest{a.text.substr(eq + 1), 0};
  const std::vector<std::uint8_t> codes = read_string(ctx, rest, st);
  if (codes.size() > 8) return report(ctx, Msg::MoreThan8Scancodes);
  if (codes.empty()) return report(ctx, Msg::AssignmentConversion);
  Block& b = ctx.blocks[zpx::kBlockConversion];
  if (b.data.size() + 2 + codes.size() > 255) return;
  b.present = true;
  b.data.push_back(static_cast<std::uint8_t>(source));
  b.data.push_back(static_cast<std::uint8_t>(codes.size()));
  b.data.insert(b.data.end(), codes.begin(), codes.end());
}

void do_keylayer(Context& ctx, Args a) {
  ctx.current_layer = -1;
  std::string_view t = a.rest();
  if (!starts(t, 0, "EASYLAYER")) return;
  std::size_t i = 9;
  if (i < t.size() && t[i] == ' ') ++i;
  if (i >= t.size() || t[i] < '0' || t[i] > '9') return;
  long n = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') n = std::min<long>(n * 10 + (t[i++] - '0'), 100000);
  if (n > 127) return report(ctx, Msg::MaxLayers);
  ctx.current_layer = static_cast<int>(n);
}

void do_keytable(Context& ctx, Args a) {
  std::string_view t = a.text;
  for (std::size_t i = 0; i + 5 < t.size(); ++i) {
    if (t[i] != '0' || (t[i + 1] != 'X' && t[i + 1] != 'x')) continue;
    if (!is_hex(t[i + 2]) || !is_hex(t[i + 3]) || !is_hex(t[i + 4]) || !is_hex(t[i + 5])) continue;
    if (ctx.custom_count >= 256) return report(ctx, Msg::KeytableTooMany);
    const int hi = hex_value(t[i + 2]) * 16 + hex_value(t[i + 3]);
    const int lo = hex_value(t[i + 4]) * 16 + hex_value(t[i + 5]);
    ctx.custom_table[static_cast<std::size_t>(ctx.custom_count++)] = static_cast<std::uint16_t>(hi << 8 | lo);
    ctx.blocks[zpx::kBlockCharTable].present = true;
    i += 5;
  }
}

void do_deadkey(Context& ctx, Args a) {
  if (ctx.custom_count == 0) return report(ctx, Msg::UseKeytableFailed);
  std::size_t entry = 0;
  std::string_view t = a.text;
  std::size_t i = 0;
  while (i <= t.size() && entry < 7) {
    std::size_t end = t.find(',', i);
    if (end == std::string_view::npos) end = t.size();
    std::vector<std::uint8_t> bytes;
    for (std::size_t k = i; k + 1 < end;) {
      const bool intro = (t[k] == '0' || t[k] == '\\') && (t[k + 1] == 'X' || t[k + 1] == 'x');
      if (!intro) {
        ++k;
        continue;
      }
      std::size_t d = k + 2;
      std::size_t digits = 0;
      while (d + digits < end && is_hex(t[d + digits])) ++digits;
      if (digits == 4) {
        bytes.push_back(static_cast<std::uint8_t>(hex_value(t[d]) * 16 + hex_value(t[d + 1])));
        bytes.push_back(static_cast<std::uint8_t>(hex_value(t[d + 2]) * 16 + hex_value(t[d + 3])));
      } else if (digits == 2) {
        bytes.push_back(static_cast<std::uint8_t>(hex_value(t[d]) * 16 + hex_value(t[d + 1])));
      }
      k = d + digits;
    }
    // An entry holds a shift code and a scancode; further bytes are ignored.
    if (!bytes.empty()) {
      ctx.custom_deadkeys[entry][0] = bytes[0];
      ctx.custom_deadkeys[entry][1] = bytes.size() > 1 ? bytes[1] : 0;
    }
    ++entry;
    i = end + 1;
    if (end == t.size()) break;
  }
}

namespace {

std::vector<Builtin> build_set(int set) {
  std::vector<Builtin> rows;
  struct Nav {
    const char* name;
    const char* t;
    int n;
  };
  static const Nav nav[] = {{"KEY-LEFT", "Left", 0x4B}, {"KEY-RIGHT", "Right", 0x4D}, {"KEY-UP", "Up", 0x48},
                            {"KEY-DOWN", "Down", 0x50}, {"KEY-DEL", "Del", 0x53},     {"KEY-END", "End", 0x4F},
                            {"KEY-INS", "Ins", 0x52},   {"KEY-HOME", "Home", 0x47},   {"KEY-PGDN", "PgDn", 0x51},
                            {"KEY-PGUP", "PgUp", 0x49}};
  auto raw = [](std::initializer_list<int> bytes) {
    std::string s;
    char buf[16];
    for (int b : bytes) {
      std::snprintf(buf, sizeof buf, "{\\x%02X}", b & 0xFF);
      s += buf;
    }
    return s;
  };
  if (set == 1) {
    for (const Nav& k : nav) {
      rows.push_back({k.name, "+K/A/P/M/R:", std::string("{") + k.t + "}"});
      rows.push_back({k.name, "+NL-C-S/A/P/M/R:", std::string("{E0Shift+") + k.t + "}"});
      rows.push_back({k.name, "+NL-C-S-K/P/M/R:", raw({0xE0, k.n, 0xE0, 0xAA})});
    }
    rows.push_back({"KEY-PRTSC", "-C-S-A/A/P/R:", raw({0xE0, 0x2A, 0xE0, 0x37})});
    rows.push_back({"KEY-PRTSC", "-K-C-S-A/A/P/R:", raw({0xE0, 0xB7, 0xE0, 0xAA})});
    rows.push_back({"KEY-PRTSC", "+K+S/A/P/M/R", raw({0xE0, 0x37})});
    rows.push_back({"KEY-PRTSC", "+K+C/A/P/M/R", raw({0xE0, 0x37})});
    rows.push_back({"KEY-PRTSC", "+K/A/P/M/R:", raw({0x54})});
  } else {
    for (const Nav& k : nav) rows.push_back({k.name, "+K/A/M/R:", std::string("{") + k.t + "}"});
    rows.push_back({"KEY-PRTSC", "+K/A/M/R:", "{PrtSc}"});
  }
  rows.push_back({"KEY-N00", "-S+NL/P/R:", "{N0}{N0}"});
  rows.push_back({"KEY-N00", "+S-NL/P/R:", "{Shift+N0+N0}"});
  if (set == 1) {
    rows.push_back({"KEY-PAUSE", "+C/P/R:", "{Break}"});
    rows.push_back({"KEY-PAUSE", "/P/R:", "{Pause}"});
  } else {
    rows.push_back({"KEY-PAUSE", "+K/A/M/R:", "{Break}"});
  }
  struct Fn {
    const char* name;
    int r;
    const char* p;
  };
  static const Fn fn[] = {{"K-FN0", 0x32, "N0"},   {"K-FN.", 0x34, "N."},    {"K-FNDIV", 0x35, "DIV"},
                          {"K-FN1", 0x24, "N1"},   {"K-FN2", 0x25, "N2"},    {"K-FN3", 0x26, "N3"},
                          {"K-FNPLUS", 0x27, "PLUS"}, {"K-FNENTER", -1, "Enter"}, {"K-FN4", 0x16, "N4"},
                          {"K-FN5", 0x17, "N5"},   {"K-FN6", 0x18, "N6"},    {"K-FNMINUS", 0x19, "MINUS"},
                          {"K-FN7", 0x08, "N7"},   {"K-FN8", 0x09, "N8"},    {"K-FN9", 0x0A, "N9"},
                          {"K-FNMUL", 0x0B, "MUL"}};
  for (const Fn& k : fn) {
    rows.push_back({k.name, "+K/A/P/M/R:", k.r < 0 ? std::string("{Return}") : raw({k.r})});
    rows.push_back({k.name, "+NL-L+K/A/P/M/R:", std::string("{") + k.p + "}"});
    rows.push_back({k.name, "-NL+L+K/A/P/M/R:", std::string("{") + k.p + "}"});
  }
  rows.push_back({"K-FNNUMSCROLL", "+K/P/M/R:", "{MakeNum}"});
  rows.push_back({"K-FNNUMSCROLL", "+L+K/P/M/R:", "{MakeScroll}"});
  rows.push_back({"K-FNPRTSCPAUSE", "+K/A/P/M/R:", "{\\x54}"});
  rows.push_back({"K-FNPRTSCPAUSE", "-L-C-S-A/A/P/R:", "{\\xE0\\x2A\\xE0\\x37}"});
  rows.push_back({"K-FNPRTSCPAUSE", "-L-K-C-S-A/P/R:", "{\\xE0\\xB7\\xE0\\xAA}"});
  rows.push_back({"K-FNPRTSCPAUSE", "-L+K+S/A/P/M/R:", "{\\xE0\\x37}"});
  rows.push_back({"K-FNPRTSCPAUSE", "-L+K+C/A/P/M/R:", "{\\xE0\\x37}"});
  rows.push_back({"K-FNPRTSCPAUSE", "+L/P/R:", "{Pause}"});
  rows.push_back({"K-FNPRTSCPAUSE", "+L+C/P/R:", "{Break}"});
  rows.push_back({"K-FNDELINS", "+K/A/P/M/R:", "{Del}"});
  rows.push_back({"K-FNDELINS", "+NL-C-S/A/P/M/R:", "{E0Shift+Del}"});
  rows.push_back({"K-FNDELINS", "+NL-C-S-K/P/M/R:", "{\\xE0\\x53\\xE0\\xAA}"});
  rows.push_back({"K-FNDELINS", "+L+K/A/P/M/R:", "{Ins}"});
  rows.push_back({"K-FNDELINS", "+L+NL-C-S/A/P/M/R:", "{E0Shift+Ins}"});
  rows.push_back({"K-FNDELINS", "+L+NL-C-S-K/P/M/R:", "{\\xE0\\x52\\xE0\\xAA}"});
  rows.push_back({"KEY-FN", "-K/P/R:", "{FN_OFF}"});
  rows.push_back({"KEY-FN", "/P/R:", "{FN_ON}"});
  return rows;
}

}  // namespace

const std::vector<Builtin>& builtin_set(int set) {
  static const std::vector<Builtin> one = build_set(1);
  static const std::vector<Builtin> two = build_set(2);
  return set == 2 ? two : one;
}

}  // namespace compiler
