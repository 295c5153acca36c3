// The read-only registry of HKEY_LOCAL_MACHINE, kept in a registry export file.
//
// The file is the ".reg" text format:
//   Windows Registry Editor Version 5.00      (or REGEDIT4)
//   [HKEY_LOCAL_MACHINE\Software\Zelk\Keyboard]
//   "INTERFACE"=dword:ffffffff
//   "LOGFILENAME"="zpxi32.log"
//   "Data"=hex:01,02,03
// Its path comes from ZPX_REGISTRY, else $XDG_CONFIG_HOME/zelk/registry.reg (or
// ~/.config/zelk/registry.reg), else /etc/zelk/registry.reg. Key and value names match without
// regard to case. Values keep their type, so a reader can tell a wrong type. Nothing writes it.
// A malformed line is skipped and recorded in diagnostics(); the rest of the file still counts.
// Key deletions ("[-KEY]") and value deletions ("NAME"=-) mean nothing to a read-only registry:
// they are skipped with a diagnostic. Keys of other roots are skipped silently. A file with a
// UTF-16 or UTF-8 byte-order mark is converted; texts are returned as Windows-1252 bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/api.h"

namespace platform {

enum class RegType { String, ExpandString, MultiString, Dword, Qword, Binary };

struct RegValue {
  RegType type = RegType::String;
  std::string text;                // String, ExpandString; MultiString joined with '\0'
  std::uint64_t number = 0;        // Dword, Qword
  std::vector<std::uint8_t> data;  // Binary (and the raw bytes of hex(n): forms)
};

enum class RegResult {
  Ok,
  NoKey,      // the key does not exist (or there is no registry file)
  NoValue,    // the key exists, the value does not
  WrongType,  // the value exists with another type
};

class ZPX_PLATFORM_API Registry {
 public:
  // The registry file named by the environment (see above), read afresh.
  static Registry open_default();
  // A registry read from the given file; a missing or unreadable file gives an empty registry
  // (an unreadable one with a diagnostic).
  static Registry open_file(const std::string& path);
  // A registry parsed from text (tests).
  static Registry from_text(const std::string& text);

  // key is below HKEY_LOCAL_MACHINE, with or without a leading backslash:
  // "Software\\Zelk\\Keyboard" or "\\Software\\Zelk\\Keyboard".
  bool key_exists(const std::string& key) const;
  RegResult read(const std::string& key, const std::string& name, RegValue& out) const;
  RegResult read_dword(const std::string& key, const std::string& name, std::uint32_t& out) const;
  RegResult read_string(const std::string& key, const std::string& name, std::string& out) const;
  // All value names of a key, in file order (for device maps such as HARDWARE\DEVICEMAP\SERIALCOMM).
  std::vector<std::string> value_names(const std::string& key) const;

  // "line N: reason" for every line that was skipped ("<path>: cannot be read" for a file that
  // exists but cannot be read).
  const std::vector<std::string>& diagnostics() const;
  // Path the registry was read from (empty for from_text).
  const std::string& source() const;

  Registry();
  ~Registry();
  Registry(Registry&&) noexcept;
  Registry& operator=(Registry&&) noexcept;
  Registry(const Registry&);
  Registry& operator=(const Registry&);

 struct Data;  // the parsed file, shared by copies

 private:
  std::shared_ptr<const Data> d_;
};

}  // namespace platform
