// Version records of the system's binaries. Every binary carries one in an ELF note (section
// ".note.zpx.version", owner "ZELK"): fixed version numbers, the translation list and a string
// table keyed "<language><code page>\<name>" (for example "040704E4\FileVersion").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/api.h"

namespace platform {

struct ZPX_PLATFORM_API VersionRecord {
  std::uint16_t file_version[4] = {0, 0, 0, 0};
  struct Translation {
    std::uint16_t language;
    std::uint16_t code_page;
  };
  std::vector<Translation> translations;
  std::vector<std::pair<std::string, std::string>> strings;  // key, value

  // The string under "\StringFileInfo\<LLLLCCCC>\<name>", if present.
  std::optional<std::string> string_value(const std::string& lang_cp, const std::string& name) const;
};

enum class VersionError {
  None,
  NotLoadable,   // "Can't find DLL (or sub-DLL)!"
  NoPath,        // "No DLL information available!"
  Empty,         // "DLL info empty!"
  Unreadable,    // "Can't read version info!"
  Undecodable,   // "Can't decode version info!"
  NoTranslation, // "Language error - ..."
  NoFileVersion, // "Unknown string (FileVersion)!"
};

// Reads the version record of a file. Returns the size of the record's data (0: none).
ZPX_PLATFORM_API std::size_t version_record_size(const std::string& path);
// Reads and decodes the record; nullopt with err set on failure.
ZPX_PLATFORM_API std::optional<VersionRecord> read_version_record(const std::string& path,
                                                                  VersionError& err);

// The FileVersion text of a binary or one of the failure texts, as the information window shows
// it. A name whose upper-cased form contains "DLL" is loaded as a library to find its path
// (library.h) and released again; any other name is used as the path unchanged (a bare program
// name like "r4t.exe" is looked for in the running executable's folder first).
ZPX_PLATFORM_API std::string file_version_text(const std::string& name);

}  // namespace platform
