#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/sysversion.h"

using namespace platform;

TEST(SysVersion, NamesGiveTheNumbersTheSystemReports) {
  struct Case {
    const char* name;
    const char* canonical;
    std::uint32_t platform, major, minor;
    bool high_bit;
  };
  const Case cases[] = {
      {"95", "95", kPlatformWindows, 4, 0, true},   {"98", "98", kPlatformWindows, 4, 10, true},
      {"me", "ME", kPlatformWindows, 4, 90, true},  {"NT4", "NT4", kPlatformNt, 4, 0, false},
      {"2000", "2000", kPlatformNt, 5, 0, false},   {"xp", "XP", kPlatformNt, 5, 1, false},
      {"", "XP", kPlatformNt, 5, 1, false},         {"Vista", "XP", kPlatformNt, 5, 1, false},
  };
  for (const Case& c : cases) {
    SystemVersion v = system_version_named(c.name);
    EXPECT_EQ(v.name, c.canonical) << c.name;
    EXPECT_EQ(v.platform_id, c.platform) << c.name;
    EXPECT_EQ(v.major, c.major) << c.name;
    EXPECT_EQ(v.minor, c.minor) << c.name;
    std::uint32_t packed = packed_version(v);
    EXPECT_EQ((packed & 0x80000000u) != 0, c.high_bit) << c.name;
    EXPECT_EQ(packed & 0xFF, c.major) << c.name;
    EXPECT_EQ((packed >> 8) & 0xFF, c.minor) << c.name;
  }
}

TEST(SysVersion, ReadFromTheEnvironment) {
  setenv("ZPX_SYSTEM_VERSION", "NT4", 1);
  EXPECT_EQ(system_version().name, "NT4");
  unsetenv("ZPX_SYSTEM_VERSION");
  EXPECT_EQ(system_version().name, "XP");
}
