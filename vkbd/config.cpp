#include "vkbd/config.h"

#include <algorithm>
#include <cstdlib>

#include "platform/ini.h"

namespace vkbd {

namespace {

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::optional<unsigned long> parse_hex(const std::string& text) {
  std::string t = text;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
  if (!t.empty() && (t.back() == 'h' || t.back() == 'H')) t.pop_back();
  if (t.empty() || t.size() > 8) return std::nullopt;
  char* end = nullptr;
  unsigned long v = std::strtoul(t.c_str(), &end, 16);
  if (!end || *end != '\0') return std::nullopt;
  return v;
}

Config from_ini(const platform::IniFile& ini) {
  Config c;
  const std::string kb = "Keyboard";
  std::string identity = ini.read_string(kb, "Identity", "");
  if (identity.size() == 1 && (identity[0] == '0' || identity[0] == '1' || identity[0] == '2' || identity[0] == ','))
    c.identity = identity[0];
  if (auto id = parse_hex(ini.read_string(kb, "FirmwareId", "")); id && *id <= 0xFFFF)
    c.firmware_id = static_cast<std::uint16_t>(*id);
  if (ini.key_exists(kb, "Version")) c.version = ini.read_string(kb, "Version", c.version);
  if (auto lang = parse_hex(ini.read_string(kb, "Language", "")); lang && *lang <= 0xFF)
    c.language = static_cast<std::uint8_t>(*lang);
  if (ini.key_exists(kb, "StateFile")) c.state_file = ini.read_string(kb, "StateFile", "");
  c.secure = ini.read_integer(kb, "Secure", 0) != 0;

  const std::string f = "Faults";
  auto positive = [&](const char* key) { return std::max(0, ini.read_integer(f, key, 0)); };
  c.faults.resend_every = positive("ResendEvery");
  c.faults.corrupt_block = positive("CorruptBlock");
  c.faults.silent_after = positive("SilentAfter");
  c.faults.slow_answer_ms = positive("SlowAnswerMs");
  std::string drop = lower(ini.read_string(f, "DropAnswer", ""));
  if (!drop.empty()) {
    std::string kind = drop;
    int nth = 1;
    if (auto slash = drop.find('/'); slash != std::string::npos) {
      kind = drop.substr(0, slash);
      std::string count = drop.substr(slash + 1);
      char* end = nullptr;
      long v = std::strtol(count.c_str(), &end, 10);
      nth = (!count.empty() && end && *end == '\0' && v > 0 && v < 1000000) ? static_cast<int>(v) : 0;
    }
    static const std::pair<const char*, AnswerKind> kKinds[] = {
        {"identity", AnswerKind::kIdentity}, {"block", AnswerKind::kBlock},
        {"checksum", AnswerKind::kChecksum}, {"read", AnswerKind::kRead},
        {"version", AnswerKind::kVersion}};
    bool known = kind == "any";
    for (const auto& [name, k] : kKinds)
      if (kind == name) {
        c.faults.drop_kind = k;
        known = true;
      }
    if (known && nth > 0) {
      c.faults.drop_any = kind == "any";
      c.faults.drop_nth = nth;
    } else {
      c.faults.drop_kind.reset();
    }
  }
  return c;
}

}  // namespace

const char* answer_kind_name(AnswerKind kind) {
  switch (kind) {
    case AnswerKind::kIdentity: return "identity";
    case AnswerKind::kBlock: return "block";
    case AnswerKind::kChecksum: return "checksum";
    case AnswerKind::kRead: return "read";
    case AnswerKind::kVersion: return "version";
  }
  return "?";
}

Config Config::load(const std::string& path) { return from_ini(platform::IniFile::load(path)); }

Config Config::from_text(const std::string& text) { return from_ini(platform::IniFile::from_text(text)); }

Config Config::from_environment() {
  const char* path = std::getenv("ZPX_VKBD");
  return (path && *path) ? load(path) : Config{};
}

std::string state_path(const Config& config) {
  if (const char* env = std::getenv("ZPX_VKBD_STATE")) return env;
  if (config.state_file) return *config.state_file;
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg) return std::string(xdg) + "/zelk/vkbd.bin";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.local/state/zelk/vkbd.bin";
  return {};
}

}  // namespace vkbd
