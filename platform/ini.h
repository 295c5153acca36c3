// Private-profile (INI) files with the semantics programs expect of them: sections and keys
// match without regard to case, the first matching section and key win, ";" starts a comment only
// at the start of a line, blanks around names and values are trimmed, and one pair of double
// quotes around a value is not part of it. Lines may end in CR LF; a file with a UTF-8 or UTF-16
// byte-order mark is converted, any other is taken as Windows-1252. A missing or unreadable file
// reads as empty: every query then gives its default.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/api.h"

namespace platform {

class ZPX_PLATFORM_API IniFile {
 public:
  static IniFile load(const std::string& path);
  static IniFile from_text(const std::string& text);

  bool section_exists(const std::string& section) const;
  bool key_exists(const std::string& section, const std::string& key) const;

  // The value, or def when the key is missing; at most limit - 1 characters are returned when a
  // limit is given (the caller's buffer size, as with a fixed buffer), 0 = no limit.
  std::string read_string(const std::string& section, const std::string& key, const std::string& def,
                          std::size_t limit = 0) const;

  // Toolkit style: the whole value must be a decimal integer (optional sign, or $/0x hex);
  // anything else, or a missing key, gives def.
  int read_integer(const std::string& section, const std::string& key, int def) const;

  // Profile style: a missing key gives def; otherwise the leading decimal digits (optional
  // sign) are read and a value without digits gives 0.
  int read_profile_int(const std::string& section, const std::string& key, int def) const;

  // Whether the file was read (false for a missing or unreadable file).
  bool readable() const;

  IniFile();
  ~IniFile();
  IniFile(IniFile&&) noexcept;
  IniFile& operator=(IniFile&&) noexcept;
  IniFile(const IniFile&);
  IniFile& operator=(const IniFile&);

 struct Data;  // the parsed file, shared by copies

 private:
  std::shared_ptr<const Data> d_;
};

}  // namespace platform
