#include "compiler/scancode.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "compiler/chartables.h"
#include "compiler/keynames.h"

namespace compiler {

namespace {

// Modifier state bits.
constexpr std::uint8_t kRShift = 0x01, kLShift = 0x02, kCtrl = 0x04, kAlt = 0x08;
constexpr std::uint8_t kScrollOn = 0x10, kNumOn = 0x20, kCapsOn = 0x40;
// Extended state bits.
constexpr std::uint8_t kE0 = 0x01, kE1 = 0x02, kRCtrl = 0x04, kAltGr = 0x08;
constexpr std::uint8_t kScrollDown = 0x10, kNumDown = 0x20, kCapsDown = 0x40;
// Windows state bits.
constexpr std::uint8_t kLWin = 0x01, kRWin = 0x02, kExtShift = 0x04, kApp = 0x08;

constexpr std::uint8_t kPadDigits[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};

enum Mod { LShift, RShift, Ctrl, RCtrl, Alt, AltGr, LWin, RWin, ExtShift, App };

struct Saved {
  std::uint8_t mod, ext, win;
};

// The simulated keyboard while a text is turned into scancodes.
class Converter {
 public:
  Converter(const ConvertSettings& s, std::uint8_t initial, bool make_only)
      : s_(s), mod_(initial), make_only_(make_only) {}

  bool run(std::string_view text, std::vector<std::uint8_t>& result);

 private:
  // Output through the state tracker. The code string ends at its limit, and a zero byte would
  // end it on the keyboard, so neither gets through.
  void send(std::uint8_t b) {
    track(b);
    if (b != 0 && out_.size() < kMaxCodeString) out_.push_back(b);
  }
  void track(std::uint8_t b);

  bool held(Mod m) const {
    switch (m) {
      case LShift: return mod_ & kLShift;
      case RShift: return mod_ & kRShift;
      case Ctrl: return mod_ & kCtrl;
      case RCtrl: return ext_ & kRCtrl;
      case Alt: return mod_ & kAlt;
      case AltGr: return ext_ & kAltGr;
      case LWin: return win_ & kLWin;
      case RWin: return win_ & kRWin;
      case ExtShift: return win_ & kExtShift;
      case App: return win_ & kApp;
    }
    return false;
  }
  void press(Mod m);
  void release(Mod m);
  void caps_on();
  void caps_off();
  void apply(int code);
  void emit(std::uint8_t ch, bool with_release);
  void dead_key(int index);
  enum class Item { Done, Empty, Failed };
  Item item(std::string_view text, std::size_t& i, bool& first_item);
  bool layer_item(std::string_view text, std::size_t& i);
  void end_caps();
  void push() { stack_.push_back({mod_, ext_, win_}); }
  void pop_restore();
  void cleanup();
  std::uint16_t value(std::uint8_t ch) const { return character_value(s_, ch); }

  const ConvertSettings& s_;
  std::uint8_t mod_ = 0, ext_ = 0, win_ = 0;
  bool caps_switched_ = false, raw_ = false, hex_ = false;
  bool make_only_;
  std::vector<Saved> stack_;
  std::vector<std::uint8_t> out_;
};

void Converter::track(std::uint8_t b) {
  if (b == 0xE0) { ext_ |= kE0; return; }
  if (b == 0xE1) { ext_ |= kE1; return; }
  if (b == 0xE2) { ext_ |= kE0 | kE1; return; }
  const std::uint8_t c = b & 0x7F;
  const bool make = b < 0x80;
  auto lock_key = [&](std::uint8_t down_bit, std::uint8_t on_bit) {
    if (!make) {
      ext_ &= static_cast<std::uint8_t>(~down_bit);
    } else if (!(mod_ & kCtrl) && !(ext_ & down_bit)) {
      ext_ |= down_bit;
      if (on_bit == kCapsOn && s_.shift_lock) mod_ |= kCapsOn;
      else mod_ ^= on_bit;
    }
  };
  auto lock = [&](std::uint8_t code) -> bool {
    switch (code) {
      case 0x46: lock_key(kScrollDown, kScrollOn); return true;
      case 0x45: lock_key(kNumDown, kNumOn); return true;
      case 0x3A: lock_key(kCapsDown, kCapsOn); return true;
    }
    return false;
  };
  if (!(ext_ & (kE0 | kE1))) {
    std::uint8_t bit = c == 0x36 ? kRShift : c == 0x2A ? kLShift : c == 0x1D ? kCtrl : c == 0x38 ? kAlt : 0;
    if (bit) {
      if (make) {
        mod_ |= bit;
        if (s_.shift_lock && (bit == kRShift || bit == kLShift)) mod_ &= static_cast<std::uint8_t>(~kCapsOn);
      } else {
        mod_ &= static_cast<std::uint8_t>(~bit);
      }
    } else {
      lock(c);
    }
  } else if (ext_ & kE1) {
    if (c == 0x38 || c == 0x1D || c == 0x2A || c == 0x36) return;  // the prefix stays pending
  } else {
    auto set = [&](std::uint8_t& field, std::uint8_t bit) {
      if (make) field |= bit;
      else field &= static_cast<std::uint8_t>(~bit);
    };
    switch (c) {
      case 0x2A: set(win_, kExtShift); break;
      case 0x5B: set(win_, kLWin); break;
      case 0x5C: set(win_, kRWin); break;
      case 0x5D: set(win_, kApp); break;
      case 0x1D: set(ext_, kRCtrl); break;
      case 0x38: set(ext_, kAltGr); break;
      default: lock(c); break;
    }
  }
  ext_ &= static_cast<std::uint8_t>(~(kE0 | kE1));
}

void Converter::press(Mod m) {
  switch (m) {
    case LShift:
    case RShift:
      if (!held(m) && !(s_.shift_lock && (mod_ & kCapsOn))) send(m == LShift ? 0x2A : 0x36);
      break;
    case Ctrl: if (!held(m)) send(0x1D); break;
    case RCtrl: if (!held(m)) { send(0xE0); send(0x1D); } break;
    case Alt: if (!held(m)) send(0x38); break;
    case AltGr: if (!held(m)) { send(0xE0); send(0x38); } break;
    case LWin: if (!held(m)) { send(0xE0); send(0x5B); } break;
    case RWin: if (!held(m)) { send(0xE0); send(0x5C); } break;
    case App: if (!held(m)) { send(0xE0); send(0x5D); } break;
    case ExtShift: if (!held(m)) { send(0xE0); send(0x2A); } break;
  }
}

void Converter::release(Mod m) {
  switch (m) {
    case LShift:
    case RShift: {
      const std::uint8_t make = m == LShift ? 0x2A : 0x36;
      if (held(m)) send(make | 0x80);
      // In shift-lock mode a Shift stroke ends the lock.
      if (s_.shift_lock && (mod_ & kCapsOn)) {
        send(make);
        send(make | 0x80);
      }
      break;
    }
    case Ctrl: if (held(m)) send(0x9D); break;
    case RCtrl: if (held(m)) { send(0xE0); send(0x9D); } break;
    case Alt: if (held(m)) send(0xB8); break;
    case AltGr: if (held(m)) { send(0xE0); send(0xB8); } break;
    case LWin: if (held(m)) { send(0xE0); send(0xDB); } break;
    case RWin: if (held(m)) { send(0xE0); send(0xDC); } break;
    case App: if (held(m)) { send(0xE0); send(0xDD); } break;
    case ExtShift: if (held(m)) { send(0xE0); send(0xAA); } break;
  }
}

void Converter::caps_on() {
  if (s_.shift_lock || (mod_ & kCapsOn)) return;
  caps_switched_ = true;
  if (ext_ & kCapsDown) { send(0xBA); send(0x3A); }
  else { send(0x3A); send(0xBA); }
}

void Converter::caps_off() {
  if (s_.shift_lock || !(mod_ & kCapsOn)) return;
  caps_switched_ = false;
  if (ext_ & kCapsDown) { send(0xBA); send(0x3A); }
  else { send(0x3A); send(0xBA); }
}

void Converter::apply(int code) {
  if (raw_) return;
  if (code < 6 && caps_switched_) {
    caps_off();
    caps_switched_ = false;
  }
  auto rel = [&](std::initializer_list<Mod> mods) {
    for (Mod m : mods) release(m);
  };
  const Mod order[] = {LShift, RShift, Ctrl, RCtrl, Alt, AltGr, LWin, RWin, ExtShift, App};
  switch (code) {
    case 1: rel({ExtShift, LWin, RWin, App, RShift, LShift, RCtrl, Ctrl, AltGr, Alt}); break;
    case 2: rel({ExtShift, LWin, RWin, App, RCtrl, Ctrl, AltGr, Alt}); press(LShift); break;
    case 3: rel({ExtShift, LWin, RWin, App, RShift, LShift, AltGr, Alt}); press(Ctrl); break;
    case 4: rel({ExtShift, LWin, RWin, App, RShift, LShift, RCtrl, Ctrl, AltGr}); press(Alt); break;
    case 5: rel({ExtShift, LWin, RWin, App, RShift, LShift, RCtrl, Ctrl, Alt}); press(AltGr); break;
    case 6:
      rel({RCtrl, Ctrl, Alt, AltGr});
      if (s_.shift_lock) rel({RShift, LShift});
      else if (mod_ & kCapsOn) press(LShift);
      else rel({RShift, LShift});
      break;
    case 7:
      rel({RCtrl, Ctrl, Alt, AltGr});
      if (s_.shift_lock) press(LShift);
      else if (mod_ & kCapsOn) rel({RShift, LShift});
      else press(LShift);
      break;
    case 8:
      rel({RCtrl, Ctrl, Alt, AltGr});
      if (mod_ & kNumOn) rel({RShift, LShift});
      else press(LShift);
      break;
    case 9: rel({RShift, LShift, RCtrl, Ctrl, AltGr, Alt}); caps_on(); break;
    case 10: rel({RCtrl, Ctrl, AltGr, Alt}); caps_on(); press(LShift); break;
    case 11:
      rel({RCtrl, Ctrl, Alt, AltGr});
      if (mod_ & kNumOn) press(LShift);
      else rel({RShift, LShift});
      break;
    case 40: rel({ExtShift, LWin, RWin, App, RShift, LShift, AltGr, Alt}); press(LShift); press(Ctrl); break;
    case 41: rel({ExtShift, LWin, RWin, App, RShift, LShift, RCtrl, Ctrl, Alt}); press(LShift); press(AltGr); break;
    case 99: rel({AltGr, RShift, LShift}); break;
    default:
      if (code >= 20 && code <= 29) press(order[code - 20]);
      else if (code >= 30 && code <= 39) release(order[code - 30]);
      break;
  }
}

void Converter::dead_key(int index) {
  if (index <= 0 || index > 7) return;
  std::vector<std::uint8_t> entry;
  if (s_.custom_table_used) {
    entry = s_.custom_deadkeys[static_cast<std::size_t>(index)];
  } else {
    const std::uint8_t* e = kDeadKeyTables[s_.language & 7][index];
    if (e[0] || e[1]) entry.assign(e, e + 2);
  }
  if (entry.empty()) return;
  if (!make_only_) apply(entry[0]);
  for (std::size_t i = 1; i < entry.size(); ++i) {
    send(entry[i]);
    send(static_cast<std::uint8_t>(entry[i] + 0x80));
  }
}

void Converter::emit(std::uint8_t ch, bool with_release) {
  const std::uint16_t v = value(ch);
  if (v == 0) {
    // No key types it: Alt and its decimal code on the numeric keypad.
    for (Mod m : {ExtShift, LWin, RWin, App, LShift, Ctrl, AltGr, Alt}) release(m);
    press(Alt);
    for (int d : {ch / 100, ch / 10 % 10, ch % 10}) {
      send(kPadDigits[d]);
      send(static_cast<std::uint8_t>(kPadDigits[d] | 0x80));
    }
    release(Alt);
    return;
  }
  const int shift = (v >> 8) & 0x0F;
  const int dead = v >> 12;
  if (with_release) {
    dead_key(dead);
    if (!make_only_) apply(shift <= 10 ? shift : shift + 29);
  } else if (!make_only_) {
    if (shift == 2 || shift == 7) {
      dead_key(dead);
      apply(20);
    } else if (shift == 5) {
      apply(25);
    }
  }
  const std::uint8_t make = static_cast<std::uint8_t>(v & 0xFF);
  send(make);
  if (!make_only_) send(static_cast<std::uint8_t>(make | 0x80));
}

void Converter::pop_restore() {
  if (stack_.empty()) return;
  const Saved want = stack_.back();
  if (!make_only_ && !raw_) {
    struct Bit {
      std::uint8_t Saved::*field;
      std::uint8_t bit;
      bool e0;
      std::uint8_t make;
    };
    static const Bit bits[] = {{&Saved::mod, kRShift, false, 0x36}, {&Saved::mod, kLShift, false, 0x2A},
                               {&Saved::mod, kCtrl, false, 0x1D},   {&Saved::mod, kAlt, false, 0x38},
                               {&Saved::ext, kRCtrl, true, 0x1D},   {&Saved::ext, kAltGr, true, 0x38},
                               {&Saved::win, kLWin, true, 0x5B},    {&Saved::win, kRWin, true, 0x5C},
                               {&Saved::win, kApp, true, 0x5D},     {&Saved::win, kExtShift, true, 0x2A}};
    for (const Bit& b : bits) {
      Saved now{mod_, ext_, win_};
      const bool is = now.*(b.field) & b.bit;
      const bool was = want.*(b.field) & b.bit;
      if (is == was) continue;
      if (b.e0) send(0xE0);
      send(was ? b.make : static_cast<std::uint8_t>(b.make | 0x80));
    }
  }
  stack_.pop_back();
}

bool in_cleanup_set(std::uint8_t b) {
  return b == 0x1D || b == 0x2A || b == 0x36 || b == 0x9D || b == 0xAA || b == 0xB6;
}

// Removes Ctrl and Shift strokes that cancel out: a release directly followed by the press of
// the same key, or a press directly followed by its release, within one run of such codes.
void Converter::cleanup() {
  static const std::uint8_t pairs[3][2] = {{0x1D, 0x9D}, {0x2A, 0xAA}, {0x36, 0xB6}};
  std::size_t i = 0;
  while (i < out_.size()) {
    if (!in_cleanup_set(out_[i])) {
      ++i;
      continue;
    }
    std::size_t start = i;
    if (start > 0 && out_[start - 1] == 0xE0) ++start;  // the byte after a prefix belongs to it
    std::size_t end = start;
    while (end < out_.size() && in_cleanup_set(out_[end])) ++end;
    for (const auto& p : pairs) {
      if (end - start < 2) break;
      const std::uint8_t a = out_[start], b = out_[start + 1];
      if (!((a == p[0] && b == p[1]) || (a == p[1] && b == p[0]))) continue;
      // In shift-lock mode a Shift stroke of its own ends the lock: it is not redundant.
      if (s_.shift_lock && a == p[0] && p[0] != 0x1D) continue;
      for (std::uint8_t target : {p[0], p[1]}) {
        for (std::size_t k = start; k < end; ++k) {
          if (out_[k] == target) {
            out_.erase(out_.begin() + static_cast<std::ptrdiff_t>(k));
            --end;
            break;
          }
        }
      }
    }
    i = std::max(end, i + 1);
  }
}

// Caps Lock that a Swiss capital switched on for itself is switched off before the text ends;
// left on, it would change everything typed after the key.
void Converter::end_caps() {
  if (caps_switched_ && !raw_) caps_off();
  caps_switched_ = false;
}

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool starts_with_upper(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (std::toupper(static_cast<unsigned char>(text[k])) != word[k]) return false;
  return true;
}

// A name in braces is at most this long; nothing beyond it is looked at.
constexpr std::size_t kMaxItem = 19;

}  // namespace

// LAYER n or EASYLAYER n (one blank allowed before the number): switch to layer n, 0-127.
bool Converter::layer_item(std::string_view text, std::size_t& i) {
  const std::string_view window = text.substr(i, kMaxItem);
  for (std::string_view word : {std::string_view("EASYLAYER"), std::string_view("LAYER")}) {
    if (!starts_with_upper(window, word)) continue;
    std::size_t k = word.size();
    if (k < window.size() && window[k] == ' ') ++k;
    const std::size_t first = k;
    int layer = 0;
    while (k < window.size() && is_digit(window[k]) && layer <= 127) layer = layer * 10 + (window[k++] - '0');
    if (k == first || layer > 127 || (k < window.size() && is_digit(window[k]))) return false;
    send(0xF9);
    send(layer == 0 ? 0x80 : static_cast<std::uint8_t>(layer));
    i += k;
    return true;
  }
  return false;
}

// One item inside braces: a character or a name of the key-name table.
Converter::Item Converter::item(std::string_view text, std::size_t& i, bool& first_item) {
  if (layer_item(text, i)) return Item::Done;
  const std::size_t n = text.size();
  std::size_t end = i;
  while (end < n && text[end] != '}' && text[end] != '+') {
    if (end - i == kMaxItem) return Item::Failed;  // longer than any name
    ++end;
  }
  if (end - i == 1) {
    emit(static_cast<std::uint8_t>(text[i]), mod_ == 0 && ext_ != kAltGr);
    first_item = false;
    i = end;
    return Item::Done;
  }
  std::string name;
  for (std::size_t k = i; k < end; ++k) name += static_cast<char>(std::toupper(static_cast<unsigned char>(text[k])));
  if ((mod_ & kCtrl) && name == "PAUSE") name = "BREAK";
  int row = find_key_name(name);
  if (row == kRowEmpty) return Item::Empty;
  if (row >= 0) {
    const auto& rows = key_names();
    if (!make_only_ || row == kRowE0Shift) {
      const int mode = rows[static_cast<std::size_t>(row)].mode;
      if (row >= kRowNormal && mode == 0) {
        if (first_item) apply(1);
      } else {
        apply(mode);
      }
    }
    // Make-only: a modifier named alone is its make code.
    if (make_only_ && row < 10 && end < n && text[end] == '}') row += 10;
    const auto& codes = rows[static_cast<std::size_t>(row)].codes;
    for (std::size_t k = 0; k < codes.size(); ++k) {
      const std::uint8_t b = codes[k];
      if (make_only_) {
        const bool make = b < 0x80;
        const bool prefix = b >= 0xE0 && k + 1 < codes.size() && codes[k + 1] < 0x80;
        const bool final_special = k + 1 == codes.size() && b >= 0xFB;
        if (!make && !prefix && !final_special) continue;
      }
      send(b);
    }
    first_item = false;
    i = end;
    return Item::Done;
  }
  // ALT and decimal digits: Alt held while the digits are typed on the numeric keypad.
  if (name.size() >= 4 && name.compare(0, 3, "ALT") == 0 &&
      std::all_of(name.begin() + 3, name.end(), is_digit)) {
    send(0x38);
    for (std::size_t k = 3; k < name.size(); ++k) {
      const std::uint8_t pad = kPadDigits[name[k] - '0'];
      send(pad);
      send(static_cast<std::uint8_t>(pad | 0x80));
    }
    send(0xB8);
    first_item = false;
    i = end;
    return Item::Done;
  }
  return Item::Failed;
}

bool Converter::run(std::string_view text, std::vector<std::uint8_t>& result) {
  raw_ = text.size() >= 2 && text[0] == '{' && text[1] == '\\';
  push();
  if (!text.empty() && text[0] == '{') apply(1);
  int depth = 0;
  bool first_item = true;
  auto finish = [&](bool clean) {
    end_caps();
    while (!stack_.empty()) pop_restore();
    if (clean && !hex_) cleanup();
    result = out_;
    return true;
  };
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (c == '+') {
      ++i;
      if (depth == 0) {
        emit('+', true);
      } else if (i < n && text[i] == '+') {
        // "++" inside braces: the plus character itself, under the modifiers held.
        emit('+', false);
        ++i;
      }
      continue;
    }
    if (c == '\\') {
      if (i + 1 >= n) {
        if (depth > 0) return finish(false);
        emit('\\', true);
        ++i;
        continue;
      }
      const char d = text[i + 1];
      i += 2;
      if (d == '+' || d == '\\' || d == '{' || d == '}') {
        emit(static_cast<std::uint8_t>(d), true);
      } else if (depth == 0) {
        emit('\\', true);
        emit(static_cast<std::uint8_t>(d), true);
      } else if (d == 'X' || d == 'x') {
        // A raw byte in hexadecimal; the clean-up then leaves the string alone.
        hex_ = true;
        const int hi = i < n ? hex_digit(text[i]) : -1;
        const int lo = i + 1 < n ? hex_digit(text[i + 1]) : -1;
        if (hi >= 0 && lo >= 0) {
          send(static_cast<std::uint8_t>(hi * 16 + lo));
          i += 2;
        } else if (hi >= 0) {
          ++i;
        }
      } else {
        return false;
      }
      continue;
    }
    if (c == '{') {
      if (depth == 0) apply(1);
      push();
      ++depth;
      ++i;
      continue;
    }
    if (c == '}') {
      ++i;
      if (depth == 0) {
        emit('}', true);
      } else {
        pop_restore();
        --depth;
      }
      continue;
    }
    if (depth == 0) {
      emit(static_cast<std::uint8_t>(c), true);
      ++i;
      continue;
    }
    switch (item(text, i, first_item)) {
      case Item::Done: break;
      case Item::Failed: return false;
      case Item::Empty:
        // EMPTY: the definition sends nothing, whatever else the text holds.
        stack_.clear();
        result.clear();
        return true;
    }
  }
  return finish(true);
}
}  // namespace

std::uint16_t character_value(const ConvertSettings& s, std::uint8_t ch) {
  if (s.custom_table_used) return s.custom_table[ch];
  return kCharTables[s.language & 7][ch];
}

bool convert_scancodes(const ConvertSettings& settings, std::string_view text, std::uint8_t initial_modifiers,
                       bool make_only, std::vector<std::uint8_t>& out) {
  Converter c(settings, initial_modifiers, make_only);
  std::vector<std::uint8_t> result;
  if (!c.run(text, result)) return false;
  out = std::move(result);
  return true;
}

bool convert_characters(std::string_view text, std::vector<std::uint8_t>& out) {
  std::vector<std::uint8_t> r;
  auto put = [&](std::uint8_t c) {
    if (c != 0 && r.size() < kMaxCodeString) r.push_back(c);
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '{') {
      if (i + 1 < text.size() && text[i + 1] == '{') {
        put('{');
        i += 2;
        continue;
      }
      std::size_t end = i + 1;
      while (end < text.size() && text[end] != '}' && text[end] != '+') ++end;
      std::string name;
      for (std::size_t k = i + 1; k < end; ++k) name += static_cast<char>(std::toupper(static_cast<unsigned char>(text[k])));
      if (name == "SHIFT" || name == "CTRL") {
        if (end >= text.size() || text[end] != '+') return false;
        std::size_t close = text.find('}', end + 1);
        if (close == std::string_view::npos || close != end + 2) return false;
        const auto operand = static_cast<std::uint8_t>(text[end + 1]);
        put(name == "SHIFT" ? static_cast<std::uint8_t>(std::toupper(operand)) : static_cast<std::uint8_t>(operand & 0x1F));
        i = close + 1;
        continue;
      }
      static const std::pair<std::string_view, std::uint8_t> plain[] = {
          {"BACKSPACE", 0x08}, {"BS", 0x08}, {"ESC", 0x1B}, {"TAB", 0x09}, {"HT", 0x09}, {"RETURN", 0x0D},
          {"ENTER", 0x0D}, {"CR", 0x0D}, {"LINEFEED", 0x0A}, {"LF", 0x0A}, {"DEL", 0x7F}};
      bool found = false;
      for (const auto& [n, ch] : plain) {
        if (n == name && end < text.size() && text[end] == '}') {
          put(ch);
          found = true;
          break;
        }
      }
      if (!found) return false;  // also an empty item "{}"
      i = end + 1;
      continue;
    }
    if (c == '\\' && i + 1 < text.size()) {
      put(static_cast<std::uint8_t>(text[i + 1]));
      i += 2;
      continue;
    }
    put(static_cast<std::uint8_t>(c));
    ++i;
  }
  out = std::move(r);
  return true;
}

ConvertStatus convert_pending(const ConvertSettings& settings, std::uint8_t value, std::uint8_t mask,
                              std::uint8_t& mode, std::string_view text, std::vector<std::uint8_t>& out) {
  if (text.empty()) return ConvertStatus::Ok;
  // The condition's Shift, Ctrl, Alt and lock bits are what the keyboard holds when the string
  // starts; bit 0 and the K bit are no modifier state.
  std::uint8_t initial = value & mask & 0x7E;
  if (!out.empty() || (mode & 0x80)) initial = 0;
  const std::uint8_t previous = mode;
  // With the character-mode option a text is first tried as characters, unless scancodes are
  // already in the string: the mode byte says what the whole string holds.
  if (settings.char_mode_option && !(mode & 0x40) && !(mode & 0x08) && out.empty()) mode |= 0x40;
  std::vector<std::uint8_t> bytes;
  bool converted = false;
  if (mode & 0x40) {
    converted = convert_characters(text, bytes);
    if (!converted) {
      if (!settings.char_mode_option || (previous & 0x40)) return ConvertStatus::AsciiFailed;
      mode = previous;
    }
  }
  if (!converted && !convert_scancodes(settings, text, initial, (mode & 0x08) != 0, bytes))
    return ConvertStatus::ScancodeFailed;
  if (out.size() + bytes.size() >= kMaxCodeString) {
    mode = previous;
    return ConvertStatus::TooLong;
  }
  out.insert(out.end(), bytes.begin(), bytes.end());
  return ConvertStatus::Ok;
}

}  // namespace compiler
