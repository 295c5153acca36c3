#include "compiler/keynames.h"

#include <array>
#include <string>

namespace compiler {

namespace {

using Codes = std::vector<std::uint8_t>;

// Make and break of one key, with the E0 prefix where it has one.
Codes key(std::uint8_t make) { return {make, static_cast<std::uint8_t>(make | 0x80)}; }
Codes ext(std::uint8_t make) { return {0xE0, make, 0xE0, static_cast<std::uint8_t>(make | 0x80)}; }

std::vector<KeyName> build() {
  std::vector<KeyName> t;
  auto add = [&](std::string_view name, Codes codes, int mode = 0) { t.push_back({name, std::move(codes), mode}); };
  // Modifiers: shift codes 20-29 press them.
  const std::string_view mods[] = {"SHIFT", "RSHIFT", "CTRL", "RCTRL", "ALT", "ALTGR", "LWIN", "RWIN", "APP", "E0SHIFT"};
  const int mod_codes[] = {20, 21, 22, 23, 24, 25, 26, 27, 29, 28};
  for (int i = 0; i < 10; ++i) add(mods[i], {}, mod_codes[i]);
  const std::string_view makes[] = {"MAKESHIFT", "MAKERSHIFT", "MAKECTRL", "MAKERCTRL", "MAKEALT",
                                    "MAKEALTGR", "MAKELWIN",   "MAKERWIN", "MAKEAPP",   "MAKEE0SHIFT"};
  const Codes make_codes[] = {{0x2A}, {0x36}, {0x1D}, {0xE0, 0x1D}, {0x38}, {0xE0, 0x38}, {0xE0, 0x5B}, {0xE0, 0x5C}, {0xE0, 0x5D}, {0xE0, 0x2A}};
  for (int i = 0; i < 10; ++i) add(makes[i], make_codes[i]);
  const std::string_view breaks[] = {"BREAKSHIFT", "BREAKRSHIFT", "BREAKCTRL", "BREAKRCTRL", "BREAKALT",
                                     "BREAKALTGR", "BREAKLWIN",   "BREAKRWIN", "BREAKAPP",   "BREAKE0SHIFT"};
  for (int i = 0; i < 10; ++i) {
    Codes c = make_codes[i];
    c.back() |= 0x80;
    add(breaks[i], c);
  }
  add("NORMAL", {}, 1);
  add("SPACE", key(0x39));
  static const char* f[] = {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12"};
  static const char* fs[] = {"FS1", "FS2", "FS3", "FS4", "FS5", "FS6", "FS7", "FS8", "FS9", "FS10", "FS11", "FS12"};
  static const char* fc[] = {"FC1", "FC2", "FC3", "FC4", "FC5", "FC6", "FC7", "FC8", "FC9", "FC10", "FC11", "FC12"};
  static const char* fa[] = {"FA1", "FA2", "FA3", "FA4", "FA5", "FA6", "FA7", "FA8", "FA9", "FA10", "FA11", "FA12"};
  auto fkey = [](int i) { return key(static_cast<std::uint8_t>(i < 10 ? 0x3B + i : 0x57 + (i - 10))); };
  for (int i = 0; i < 12; ++i) add(f[i], fkey(i));
  for (int i = 0; i < 12; ++i) add(fs[i], fkey(i), 20);
  for (int i = 0; i < 12; ++i) add(fc[i], fkey(i), 22);
  for (int i = 0; i < 12; ++i) add(fa[i], fkey(i), 24);
  static const char* pad[] = {"N.", "N,", "N0", "N1", "N2", "N3", "N4", "N5", "N6", "N7", "N8", "N9"};
  static const char* hashpad[] = {"#.", "#,", "#0", "#1", "#2", "#3", "#4", "#5", "#6", "#7", "#8", "#9"};
  const std::uint8_t pad_codes[] = {0x53, 0x53, 0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
  for (int i = 0; i < 12; ++i) add(pad[i], key(pad_codes[i]));
  for (int i = 0; i < 12; ++i) add(hashpad[i], key(pad_codes[i]), 8);
  add("BACKSPACE", key(0x0E));
  add("BS", key(0x0E));
  add("PAUSE", {0xE1, 0x1D, 0x45, 0xE1, 0x9D, 0xC5}, 1);
  add("BREAK", ext(0x46), 3);
  add("INS", ext(0x52));
  add("DEL", ext(0x53));
  add("PGUP", ext(0x49));
  add("PGDN", ext(0x51));
  add("HOME", ext(0x47));
  add("END", ext(0x4F));
  add("SYS", {0x54});
  add("MAKESYS", {0x54});
  add("BREAKSYS", {0xD4});
  add("NUMLOCK", key(0x45));
  add("NUM", key(0x45));
  add("MAKENUM", {0x45});
  add("BREAKNUM", {0xC5});
  add("SCROLL-LOCK", key(0x46));
  add("SCROLL", key(0x46));
  add("MAKESCROLL", {0x46});
  add("BREAKSCROLL", {0xC6});
  add("SHIFTLOCK", key(0x3A));
  add("MAKESHIFTLOCK", {0x3A});
  add("BREAKSHIFTLOCK", {0xBA});
  add("CAPSLOCK", key(0x3A));
  add("CAPS", key(0x3A));
  add("MAKECAPS", {0x3A});
  add("BREAKCAPS", {0xBA});
  add("PRTSC", ext(0x37));
  add("ESC", key(0x01));
  add("TAB", key(0x0F));
  add("LEFT", ext(0x4B));
  add("\x1B", ext(0x4B));
  add("RIGHT", ext(0x4D));
  add("\x1A", ext(0x4D));
  add("UP", ext(0x48));
  add("\x18", ext(0x48));
  add("DOWN", ext(0x50));
  add("\x19", ext(0x50));
  add("RETURN", key(0x1C));
  add("ENTER", ext(0x1C));
  add("PLUS", key(0x4E));
  add("MINUS", key(0x4A));
  add("STAR", key(0x37));
  add("MUL", key(0x37));
  add("DIV", ext(0x35));
  add("BEEP", {0xFF});
  add("DELAY", {0xFE});
  add("LED_ON", {0xFC});
  add("LED_OFF", {0xFD});
  add("NO_DATA", {0xFB});
  add("RESET", {0x38, 0x53, 0xD3, 0xB8}, 3);
  add("NUL", key(0x03), 3);
  add("EMPTY", {});
  // POS keys 1-128.
  std::vector<Codes> pos;
  auto range = [&](int from, int to, bool e0) {
    for (int c = from; c <= to; ++c) {
      if (e0) pos.push_back({0x68, 0xE0, static_cast<std::uint8_t>(c)});
      else pos.push_back({0x68, static_cast<std::uint8_t>(c)});
    }
  };
  range(0x01, 0x1C, false); range(0x1E, 0x29, false); range(0x2B, 0x35, false);
  range(0x3B, 0x44, false); range(0x47, 0x53, false); range(0x56, 0x58, false);
  range(0x01, 0x0F, true); range(0x11, 0x18, true); range(0x1A, 0x1B, true); range(0x1E, 0x1F, true);
  range(0x23, 0x23, true); range(0x25, 0x29, true); range(0x2B, 0x2D, true); range(0x2F, 0x2F, true);
  range(0x31, 0x32, true); range(0x34, 0x34, true); range(0x39, 0x39, true); range(0x3B, 0x44, true);
  // The names live as long as the table that refers to them.
  static const std::array<std::string, 128> pos_names = [] {
    std::array<std::string, 128> names;
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string number = std::to_string(i + 1);
      names[i] = "POSKEY" + std::string(3 - number.size(), '0') + number;
    }
    return names;
  }();
  for (std::size_t i = 0; i < pos.size() && i < pos_names.size(); ++i) add(pos_names[i], pos[i]);
  add("POSKEYLOCK", {0x66});
  add("POSMSR1", {0x62});
  add("POSMSR2", {0x63});
  add("POSMSR3", {0x64});
  add("POSBARCODE", {0x65});
  add("POSFC", {0x67});
  add("LAYER", {0xF9});
  add("EASYLAYER", {0xF9});
  add("FN_ON", {0xFC});
  add("FN_OFF", {0xFD});
  add("RESETSTATUS", {0xAA, 0x9D, 0xB6, 0xE0, 0x9D, 0xB8, 0xE0, 0xB8, 0xE0, 0xDB, 0xE0, 0xDC});
  const std::pair<std::string_view, std::uint8_t> media[] = {
      {"MEDIA_PREV", 0x10},       {"MEDIA_NEXT", 0x19},       {"VOLUME_MUTE", 0x20},     {"LAUNCH_CALCULATOR", 0x21},
      {"MEDIA_PLAY_PAUSE", 0x22}, {"MEDIA_STOP", 0x24},       {"VOLUME_DOWN", 0x2E},     {"VOLUME_UP", 0x30},
      {"BROWSER_HOME", 0x32},     {"BROWSER_SEARCH", 0x65},   {"BROWSER_FAVORITES", 0x66}, {"BROWSER_REFRESH", 0x67},
      {"BROWSER_STOP", 0x68},     {"BROWSER_FORWARD", 0x69},  {"BROWSER_BACK", 0x6A},    {"LAUNCH_EXPLORER", 0x6B},
      {"LAUNCH_MAIL", 0x6C},      {"LAUNCH_MEDIA", 0x6D}};
  for (const auto& [n, c] : media) add(n, {0xE0, c});
  add("SPCSEQ", {0xF8, 0x03, 0x9C, 0x01});
  add("POWER", {0xE0, 0x5E});
  add("SLEEP", {0xE0, 0x5F});
  add("WAKE", {0xE0, 0x63});
  return t;
}

}  // namespace

const std::vector<KeyName>& key_names() {
  static const std::vector<KeyName> table = build();
  return table;
}

int find_key_name(std::string_view upper_name) {
  const auto& t = key_names();
  for (std::size_t i = 0; i < t.size(); ++i)
    if (t[i].name == upper_name) return static_cast<int>(i);
  return -1;
}

}  // namespace compiler
