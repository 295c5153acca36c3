#include "compiler/render.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "compiler/chartables.h"
#include "compiler/keynames.h"
#include "compiler/labels.h"

namespace compiler {

namespace {

// Modifier byte.
constexpr int kRShift = 0x01, kLShift = 0x02, kCtrl = 0x04, kAlt = 0x08, kScrollOn = 0x10, kNumOn = 0x20,
              kCapsOn = 0x40, kScrollDown = 0x80;
// Extended byte.
constexpr int kNumDown = 0x01, kCapsDown = 0x02, kAltGr = 0x10, kRCtrl = 0x20, kLWin = 0x40, kRWin = 0x80;
// Prefix byte.
constexpr int kApp = 0x01, kExtShift = 0x02, kE0 = 0x04, kE1 = 0x08, kAck = 0x20;

int key_index(int c) {
  if (c == 0x29) return 1;
  if (c >= 0x02 && c <= 0x0D) return c;
  if (c == 0x0E) return 15;
  if (c == 0x0F) return 16;
  if (c >= 0x10 && c <= 0x1B) return c + 1;
  if (c == 0x2B) return 29;
  if (c == 0x3A) return 30;
  if (c >= 0x1E && c <= 0x28) return c + 1;
  if (c == 0x1C) return 43;
  if (c == 0x2A) return 44;
  if (c == 0x56) return 45;
  if (c >= 0x2C && c <= 0x35) return c + 2;
  switch (c) {
    case 0x36: return 57;
    case 0x1D: return 58;
    case 0x38: return 60;
    case 0x39: return 61;
    case 0x01: return 110;
    case 0x57: return 122;
    case 0x58: return 123;
    case 0x45: return 90;
    case 0x46: return 125;
    case 0x37: return 100;
    case 0x4A: return 105;
    case 0x4E: return 106;
    case 0x47: return 91;
    case 0x48: return 96;
    case 0x49: return 101;
    case 0x4B: return 92;
    case 0x4C: return 97;
    case 0x4D: return 102;
    case 0x4F: return 93;
    case 0x50: return 98;
    case 0x51: return 103;
    case 0x52: return 99;
    case 0x53: return 104;
  }
  if (c >= 0x3B && c <= 0x44) return 112 + (c - 0x3B);
  return 0;
}

int extended_index(int c) {
  switch (c) {
    case 0x1C: return 108; case 0x1D: return 64; case 0x35: return 95; case 0x37: return 124;
    case 0x38: return 62;  case 0x47: return 80; case 0x48: return 83; case 0x49: return 85;
    case 0x4B: return 79;  case 0x4D: return 89; case 0x4F: return 81; case 0x50: return 84;
    case 0x51: return 86;  case 0x52: return 75; case 0x53: return 76; case 0x5B: return 127;
    case 0x5C: return 128; case 0x5D: return 129;
  }
  return 0;
}

std::string high_label(int index) {
  static const std::pair<int, const char*> labels[] = {
      {57, "{Rshift}"}, {58, "{Ctrl}"},  {60, "{Alt}"},     {61, " "},      {62, "{AltGr}"}, {64, "{RCtrl}"},
      {75, "{Ins}"},    {76, "{Del}"},   {79, "{Left}"},    {80, "{Home}"}, {81, "{End}"},   {83, "{Up}"},
      {84, "{Down}"},   {85, "{PgUp}"},  {86, "{PgDn}"},    {89, "{Right}"}, {90, "{Numlock}"}, {91, "{N7}"},
      {92, "{N4}"},     {93, "{N1}"},    {95, "{Div}"},     {96, "{N8}"},   {97, "{N5}"},    {98, "{N2}"},
      {99, "{N0}"},     {100, "{Mul}"},  {101, "{N9}"},     {102, "{N6}"},  {103, "{N3}"},   {104, "{N.}"},
      {105, "{Minus}"}, {106, "{Plus}"}, {108, "{Enter}"},  {110, "{Esc}"}, {124, "{PrtSc}"}, {125, "{Scroll}"},
      {126, "{Pause}"}, {127, "{LWin}"}, {128, "{RWin}"},   {129, "{App}"}};
  if (index >= 112 && index <= 123) return "{F" + std::to_string(index - 111) + "}";
  for (const auto& [i, t] : labels)
    if (i == index) return t;
  return "";
}

// AltGr characters per language: key index and character (code page 850).
struct AltGrChar {
  int index;
  const char* text;
};
const std::vector<AltGrChar>& altgr(int lang) {
  static const std::vector<AltGrChar> tables[8] = {
      {},
      {{3, "\xFD"}, {4, "\xFC"}, {8, "{"}, {9, "["}, {10, "]"}, {11, "}"}, {12, "\\"}, {17, "@"}, {28, "~"}, {45, "|"}, {52, "\xE6"}},
      {{3, "~"}, {4, "#"}, {5, "{"}, {6, "["}, {7, "|"}, {8, "`"}, {9, "\\"}, {10, "^"}, {11, "@"}, {12, "]"}, {13, "}"}, {28, "$"}},
      {{1, "\xDD"}},
      {{2, "|"}, {3, "@"}, {4, "#"}, {7, "\xAA"}, {8, "\xDD"}, {9, "\xBD"}, {12, "'"}, {13, "~"}, {27, "["}, {28, "]"}, {41, "{"}, {29, "}"}, {45, "\\"}},
      {{2, "|"}, {3, "@"}, {4, "#"}, {7, "\xAA"}, {8, "\xDD"}, {9, "\xBD"}, {12, "'"}, {13, "~"}, {27, "["}, {28, "]"}, {41, "{"}, {29, "}"}, {45, "\\"}},
      {{27, "["}, {28, "]"}, {40, "@"}, {41, "#"}},
      {{1, "\\"}, {2, "|"}, {3, "@"}, {4, "#"}, {7, "\xAA"}, {27, "["}, {28, "]"}, {41, "{"}, {29, "}"}},
  };
  return tables[lang & 7];
}

// Dead keys per language: make code, 100h for Shift, 800h for AltGr; position = index - 1.
const std::vector<int>& dead_keys(int lang) {
  static const std::vector<int> tables[8] = {
      {}, {0x10D, 0x0D, 0x29}, {-1, -1, 0x1A, 0x11A}, {}, {0x10D, 0x80C, 0x0D, 0x1B, 0x80D},
      {0x10D, 0x80C, 0x0D, 0x1B, 0x80D}, {}, {0x1A, 0x28, 0x11A, 0x128}};
  return tables[lang & 7];
}

const std::vector<int>& pos_codes() {
  static const std::vector<int> codes = [] {
    std::vector<int> r;
    for (const auto& k : key_names()) {
      if (k.name.substr(0, 6) != "POSKEY" || k.name.size() != 9) continue;
      r.push_back(k.codes.size() == 3 ? k.codes[2] + 0x80 : k.codes[1]);
    }
    return r;
  }();
  return codes;
}

class Renderer {
 public:
  Renderer(int language, bool shift_lock) : lang_(language & 7), shift_lock_(shift_lock) {}
  std::string render(const std::uint8_t* codes, std::size_t n, int flags);

 private:
  std::string token(std::uint8_t b, bool& alt_number);
  std::string label(int index, int variant) const {
    if (index >= 56) {
      if (index == 61 && (variant != 0 || (mod_ & (kCtrl | kAlt)))) return "{Space}";
      return high_label(index);
    }
    return kKeyLabels[lang_][index][variant];
  }
  std::string label_of(int c, int variant) const { return label(key_index(c), variant); }
  // The composed character of a dead key and a key, as the character tables type it.
  std::string compose(int c, int variant);

  int lang_;
  bool shift_lock_;
  int mod_ = 0, ext_ = 0, prefix_ = 0;
  int alt_number_ = 0;
  std::string alt_text_;
  int dead_ = 0xFF;
  bool pos_ = false;
 public:
  bool composed_ = false;  // the last token is a character composed with a dead key
};

std::string Renderer::compose(int c, int variant) {
  composed_ = true;
  const int index = (dead_ & 7) + 1;
  const int shifts[2] = {variant == 1 ? 7 : 6, variant == 1 ? 2 : 1};
  for (int shift : shifts) {
    const int want = index << 12 | shift << 8 | c;
    for (int ch = 0x20; ch < 256; ++ch) {
      if (kCharTables[lang_][ch] == want) return std::string(1, static_cast<char>(ch));
    }
  }
  return label_of(c, variant);
}

std::string Renderer::token(std::uint8_t b, bool& alt_number) {
  alt_number = false;
  const int c = b & 0x7F;
  const bool make = b < 0x80;
  const bool shift = mod_ & (kLShift | kRShift);
  // Keys that follow a dead key.
  if (dead_ != 0xFF && dead_ >= 8 && dead_ <= 15) {
    dead_ += 8;
    return make ? compose(c, 0) : label_of(c, 0);
  }
  if (dead_ != 0xFF && dead_ >= 24 && dead_ <= 31) {
    const int old = dead_;
    dead_ += 8;
    if (b == 0x2A) {
      dead_ = old + 16;
      return "";
    }
    return make ? compose(c, 0) : label_of(c, 0);
  }
  if (dead_ != 0xFF && dead_ >= 40 && dead_ <= 47) {
    dead_ += 8;
    return make ? compose(c, 1) : label_of(c, 1);
  }
  if (b == 0xAA && dead_ != 0xFF && dead_ < 8) {
    dead_ += 8;
    return "";
  }
  auto special = [&](const char* t) {
    prefix_ &= ~(kE0 | kE1);
    return std::string(t);
  };
  switch (b) {
    case 0xFF: return special("{Beep}");
    case 0x62: return special("{POSMSR1}");
    case 0x63: return special("{POSMSR2}");
    case 0x64: return special("{POSMSR3}");
    case 0x65: return special("{POSBarcode}");
    case 0x66: return special("{POSKeylock}");
    case 0x67: return special("{POSFC}");
    case 0xFE: return special("{Delay}");
    case 0xFB: return special("{NO_DATA}");
    case 0xFC: return special("{FN_ON}");
    case 0xFD: return special("{FN_OFF}");
    case 0xFA: prefix_ |= kAck; return special("{ACK}");
    case 0x68: prefix_ &= ~(kE0 | kE1); pos_ = true; return "";
    case 0xE0: prefix_ |= kE0; return "";
    case 0xE1: prefix_ |= kE1; return "";
  }
  if (pos_) {
    const int code = (prefix_ & kE0) ? c + 0x80 : c;
    const auto& codes = pos_codes();
    for (std::size_t i = 0; i < codes.size(); ++i) {
      if (codes[i] == code) {
        pos_ = false;
        prefix_ &= ~kE0;
        char buf[24];
        std::snprintf(buf, sizeof buf, "{POSKey%03d}", static_cast<int>(i + 1));
        return buf;
      }
    }
    pos_ = false;
  }
  if (prefix_ & kE0) {
    auto hold = [&](int& field, int bit, const char* open) -> std::string {
      prefix_ &= ~kE0;
      if (make) {
        if (field & bit) return "";
        field |= bit;
        return open;
      }
      if (field & bit) {
        field &= ~bit;
        return "}";
      }
      return "";
    };
    switch (c) {
      case 0x46: prefix_ &= ~kE0; return make ? "{Break}" : "";
      case 0x1D: return hold(ext_, kRCtrl, "{RCtrl+");
      case 0x2A:
      case 0x36: return hold(prefix_, kExtShift, "{E0Shift+");
      case 0x38:
        if (!make && dead_ != 0xFF && dead_ < 8) {
          dead_ += 24;
          return "";
        }
        return hold(ext_, kAltGr, "{AltGr+");
      case 0x5B: return hold(ext_, kLWin, "{LWIN+");
      case 0x5C: return hold(ext_, kRWin, "{RWIN+");
      case 0x5D: return hold(prefix_, kApp, "{APP+");
    }
    prefix_ &= ~kE0;
    if (!make) return "";
    const std::string l = high_label(extended_index(c));
    if (!l.empty()) return l;
    char buf[24];
    std::snprintf(buf, sizeof buf, "{\\xE0+\\x%02X}", b);
    return buf;
  }
  if (prefix_ & kE1) {
    if (c == 0x2A || c == 0x36 || c == 0x1D || c == 0x38) return "";
    prefix_ &= ~kE1;
    if (c == 0x45) return make ? "{Pause}" : "";
    char buf[24];
    std::snprintf(buf, sizeof buf, "{\\xE1+\\x%02X}", b);
    return buf;
  }
  {
    const int code = c | (shift ? 0x100 : 0) | ((ext_ & kAltGr) ? 0x800 : 0);
    const auto& dk = dead_keys(lang_);
    for (std::size_t i = 0; i < dk.size(); ++i) {
      if (dk[i] == code) {
        dead_ = static_cast<int>(i);
        return "";
      }
    }
  }
  switch (c) {
    case 0x3A:
      if (make) {
        if (mod_ & kCtrl) return "";
        ext_ |= kCapsDown;
        if (shift_lock_) {
          mod_ |= kCapsOn;
          return "{MakeSHIFTLOCK}";
        }
        mod_ ^= kCapsOn;
        return "{MakeCAPS}";
      }
      ext_ &= ~kCapsDown;
      return shift_lock_ ? "{BreakSHIFTLOCK}" : "{BreakCAPS}";
    case 0x1D:
      if (make) {
        mod_ |= kCtrl;
        return "{Ctrl+";
      }
      mod_ &= ~kCtrl;
      return "}";
    case 0x2A:
    case 0x36: {
      const int bit = c == 0x2A ? kLShift : kRShift;
      if (make) {
        mod_ |= bit;
        if (shift_lock_) mod_ &= ~kCapsOn;
        return c == 0x2A ? "{Shift+" : "{RShift+";
      }
      mod_ &= ~bit;
      return "}";
    }
    case 0x38:
      if (make) {
        mod_ |= kAlt;
        alt_number_ = 0;
        alt_text_ = "{Alt";
        return "{Alt+";
      } else {
        mod_ &= ~kAlt;
        alt_text_ += "}";
        std::string t = alt_number_ != 0 ? alt_text_ : "}";
        alt_number_ = 0;
        alt_number = t != "}";
        return t;
      }
    case 0x45:
      if (make) {
        if (mod_ & kCtrl) return "";
        mod_ ^= kNumOn;
        ext_ |= kNumDown;
        return "{MakeNUM}";
      }
      ext_ &= ~kNumDown;
      return "{BreakNUM}";
    case 0x46:
      if (make) {
        if (mod_ & kCtrl) return "";
        mod_ ^= kScrollOn;
        mod_ |= kScrollDown;
        return "{MakeSCROLL}";
      }
      mod_ &= ~kScrollDown;
      return "{BreakSCROLL}";
    case 0x54: return make ? "{MakeSYS}" : "{BreakSYS}";
  }
  if (!make) return "";
  if (c == 0x55 || c > 0x58) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "{\\x%02X}", b);
    return buf;
  }
  const int index = key_index(c);
  if (ext_ & kAltGr) {
    for (const auto& a : altgr(lang_)) {
      if (a.index == index) return std::string(a.text) == "{" ? "\\{" : a.text;
    }
    return label(index, 0);
  }
  if (mod_ & kAlt) {
    static const int pad[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
    if (!(mod_ & kCtrl)) {
      for (int d = 0; d < 10; ++d) {
        if (pad[d] == c) {
          alt_number_ = (alt_number_ * 10 + d) & 0xFF;
          if (alt_text_.size() < 38) alt_text_ += static_cast<char>('0' + d);
          return "";
        }
      }
      alt_number_ = 0;
      alt_text_ = "{Alt";
      return label(index, 0);
    }
    if (c == 0x53) return "{Del}";
    return label(index, 0);
  }
  if (dead_ != 0xFF && dead_ < 8) {
    std::string r = compose(c, shift ? 1 : 0);
    dead_ = 0xFF;
    return r;
  }
  if (mod_ & kCapsOn) {
    if ((lang_ == 4 || lang_ == 5) && (c == 0x1A || c == 0x27 || c == 0x28)) {
      const int k = c == 0x1A ? 0 : c == 0x27 ? 1 : 2;
      static const char* sg_shift[] = {"\xD4", "\x90", "\xB7"};  // È É À
      static const char* sg_plain[] = {"\x9A", "\x99", "\x8E"};  // Ü Ö Ä
      const bool sg = lang_ == 4;
      return shift ? (sg ? sg_shift[k] : sg_plain[k]) : (sg ? sg_plain[k] : sg_shift[k]);
    }
    return label(index, shift ? 0 : 2);
  }
  return label(index, shift ? 1 : 0);
}

int depth_of(const std::string& t) {
  int d = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '{' && !(i > 0 && t[i - 1] == '\\')) ++d;
    else if (t[i] == '}' && !(i > 0 && t[i - 1] == '\\')) --d;
  }
  return d;
}

// The last group opened and not closed: its position, or npos.
std::size_t last_group(const std::string& t) {
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '{' && !(i > 0 && t[i - 1] == '\\')) open.push_back(i);
    else if (t[i] == '}' && !(i > 0 && t[i - 1] == '\\') && !open.empty()) open.pop_back();
  }
  return open.empty() ? std::string::npos : open.back();
}

bool ends_with(const std::string& t, std::string_view s) { return t.size() >= s.size() && t.compare(t.size() - s.size(), s.size(), s) == 0; }

// Removes the last open group if it is exactly the given opener at the end of... anywhere.
bool remove_last_group(std::string& t, std::string_view opener) {
  std::size_t g = last_group(t);
  if (g == std::string::npos || t.compare(g, opener.size(), opener) != 0) return false;
  t.erase(g, opener.size());
  return true;
}

std::string Renderer::render(const std::uint8_t* codes, std::size_t n, int flags) {
  if (n == 0) return "{EMPTY}";
  std::string text;
  if (flags & 8) text += "{Alt+";
  if (flags & 4) text += "{Ctrl+";
  if (flags & 2) text += "{Shift+";
  if (flags & 1) text += "{RShift+";
  auto append_item = [&](const std::string& item) {
    if (text.empty() || text.back() != '+') text += '+';
    text += item;
  };
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = codes[i];
    bool alt_number = false;
    composed_ = false;
    std::string tok = token(b, alt_number);
    if (tok.empty()) continue;
    if (composed_) {
      // The dead key's own modifier group goes: the character brings its dead key with it.
      if (ends_with(text, "{Shift+")) text.erase(text.size() - 7);
      else if (ends_with(text, "{AltGr+")) text.erase(text.size() - 7);
      if (depth_of(text) > 0) append_item(tok);
      else text += tok;
      continue;
    }
    const int depth = depth_of(text);
    const char e = text.empty() ? '\0' : text.back();
    if (e == '+' && depth > 0 && (ends_with(text, "WIN+") || ends_with(text, "APP+")) && tok.rfind("{LWIN", 0) != 0 &&
        tok.rfind("{RWIN", 0) != 0 && tok.rfind("{APP", 0) != 0 && (b == 0x5B || b == 0x5C || b == 0x5D) && i + 1 < n &&
        (codes[i + 1] == 0xE0 || codes[i + 1] == 0xE1 || codes[i + 1] == 0xE2))
      text.back() = '}';
    const char last = text.empty() ? '\0' : text.back();
    if (tok == "{Break}") {
      remove_last_group(text, "{Ctrl+");
      text += tok;
    } else if (tok == "}") {
      if (b < 0x80) {
        if (text.find('{') != std::string::npos) {
          if (!remove_last_group(text, "{AltGr+")) remove_last_group(text, "{Shift+");
          text += "\\}";
        }
      } else if (depth > 0) {
        if (last == '+') {
          if (text.size() >= 2 && text[text.size() - 2] == '+') text += '}';
          else text.back() = '}';
        } else {
          text += '}';
        }
      }
    } else if (alt_number) {
      if (!text.empty() && text.back() == '+') text.pop_back();
      const std::string digits = tok.substr(4);
      if (lang_ == 6 && (tok == "{Alt123}" || tok == "{Alt125}")) {
        remove_last_group(text, "{Alt");
        text += "\\" + tok;
      } else {
        text += digits;
      }
    } else if (depth > 0 && tok.size() > 2 && tok.front() == '{' && tok.back() == '}' && tok[1] != '\\') {
      append_item(tok.substr(1, tok.size() - 2));
    } else if (depth > 0 && tok.size() > 1 && tok.front() == '{' && tok.back() == '+') {
      append_item(tok);
    } else if (tok == "\\") {
      remove_last_group(text, "{AltGr+");
      text += "\\\\";
    } else if (depth > 0 && tok == "+") {
      text += tok;
    } else if (depth > 0 && tok.size() == 1) {
      int found_index = -1, found_variant = -1;
      for (int idx = 0; idx < 56 && found_index < 0; ++idx) {
        for (int v = 0; v < 3; ++v) {
          if (tok == kKeyLabels[lang_][idx][v]) {
            found_index = idx;
            found_variant = v;
            break;
          }
        }
      }
      if (found_index < 0) {
        append_item(tok);
        continue;
      }
      const std::size_t g = last_group(text);
      if (g != std::string::npos && text.size() - g < 9) {
        if (depth == 1 && found_variant == 1) remove_last_group(text, "{Shift+");
        if (depth == 1 && found_variant == 2) remove_last_group(text, "{AltGr+");
        if (found_variant == 1 || found_variant == 2) remove_last_group(text, "{AltGr+");
      }
      if (depth_of(text) > 0) tok = kKeyLabels[lang_][found_index][0];
      if (depth_of(text) > 0) append_item(tok);
      else text += tok;
    } else if (depth > 0 && tok == "\\{") {
      if (depth == 1 && !remove_last_group(text, "{Shift+")) remove_last_group(text, "{AltGr+");
      if (depth_of(text) > 0) append_item(tok);
      else text += tok;
    } else if (depth == 1 && tok == "{{") {
      remove_last_group(text, "{Shift+");
      text += "\\{";
    } else if (tok == "{BreakCAPS}" && ends_with(text, "{MakeCAPS}")) {
      text.erase(text.size() - 10);
    } else {
      text += tok;
    }
  }
  if (text.empty()) {
    if (codes[0] == 0x0D) {
      text = "'";
    } else {
      const std::string l = label_of(codes[0] & 0x7F, 0);
      if (l.size() == 1) text = l;
    }
  }
  std::size_t current = n;
  while (depth_of(text) > 0) {
    if (!text.empty() && text.back() == '+') {
      const std::uint8_t cb = current > 0 ? codes[current - 1] : 0;
      const char* opener = cb == 0x1D ? "{Ctrl+" : cb == 0x2A ? "{Shift+" : cb == 0x36 ? "{RShift+" : cb == 0x38 ? "{Alt+" : nullptr;
      if (flags && opener && (ends_with(text, opener) || (cb == 0x38 && ends_with(text, "{AltGr+")))) {
        text.erase(text.size() - (ends_with(text, opener) ? std::strlen(opener) : 7));
        if (current > 0) --current;
        continue;
      }
      if (text.size() >= 2 && text[text.size() - 2] == '+') text += '}';
      else text.back() = '}';
    } else {
      text += '}';
    }
  }
  if (!text.empty() && text.back() == ' ') {
    text.pop_back();
    text += "{Space}";
  }
  return text;
}

}  // namespace

std::string render_codes(const std::uint8_t* codes, std::size_t length, int flags, int language, bool shift_lock) {
  Renderer r(language, shift_lock);
  std::string text = r.render(codes, length, flags);
  if (text.size() > kRenderMax) text.resize(kRenderMax);
  return text;
}

}  // namespace compiler
