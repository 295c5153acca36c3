// The version of the system the libraries believe they run on.
//
// ZPX_SYSTEM_VERSION names it: 95, 98, ME, NT4, 2000 or XP (without regard to case; anything
// else, or nothing, is XP). The numbers are those the system itself reports: the platform id
// (1 for the 95/98/ME family, 2 for the NT family), major and minor version and build, and the
// packed 32-bit version value (major in the low byte, minor in the next, the high bit set for
// the 95/98/ME family).
#pragma once

#include <cstdint>
#include <string>

#include "platform/api.h"

namespace platform {

inline constexpr std::uint32_t kPlatformWindows = 1;  // 95, 98, ME
inline constexpr std::uint32_t kPlatformNt = 2;       // NT 4.0, 2000, XP

struct SystemVersion {
  std::string name;  // "95", "98", "ME", "NT4", "2000", "XP"
  std::uint32_t platform_id = kPlatformNt;
  std::uint32_t major = 5;
  std::uint32_t minor = 1;
  std::uint32_t build = 2600;
};

// The system version named by ZPX_SYSTEM_VERSION (read on every call).
ZPX_PLATFORM_API SystemVersion system_version();
// The system version for a name as ZPX_SYSTEM_VERSION takes it.
ZPX_PLATFORM_API SystemVersion system_version_named(const std::string& name);
// The packed version value.
ZPX_PLATFORM_API std::uint32_t packed_version(const SystemVersion& version);

}  // namespace platform
