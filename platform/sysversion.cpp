#include "platform/sysversion.h"

#include <strings.h>

#include <cstdlib>

namespace platform {

SystemVersion system_version_named(const std::string& name) {
  struct Row {
    const char* name;
    std::uint32_t platform, major, minor, build;
  };
  static const Row kRows[] = {
      {"95", kPlatformWindows, 4, 0, 950},  {"98", kPlatformWindows, 4, 10, 1998},
      {"ME", kPlatformWindows, 4, 90, 3000}, {"NT4", kPlatformNt, 4, 0, 1381},
      {"2000", kPlatformNt, 5, 0, 2195},     {"XP", kPlatformNt, 5, 1, 2600},
  };
  const Row* row = &kRows[5];
  for (const Row& r : kRows)
    if (strcasecmp(r.name, name.c_str()) == 0) row = &r;
  return SystemVersion{row->name, row->platform, row->major, row->minor, row->build};
}

SystemVersion system_version() {
  const char* s = std::getenv("ZPX_SYSTEM_VERSION");
  return system_version_named(s ? s : "");
}

std::uint32_t packed_version(const SystemVersion& v) {
  std::uint32_t value = (v.major & 0xFF) | ((v.minor & 0xFF) << 8);
  if (v.platform_id == kPlatformNt) return value | ((v.build & 0x7FFF) << 16);
  return value | 0x80000000u | ((v.build & 0x7FFF) << 16);
}

}  // namespace platform
