#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host.h"
#include "platform/clock.h"
#include "platform/keyboard_link.h"

namespace fs = std::filesystem;
using namespace vkbd;
using namespace vkbd::test;

namespace {

fs::path temp_dir(const std::string& name) {
  fs::path p = fs::temp_directory_path() / ("zpx-vkbd-" + std::to_string(getpid()) + "-" + name);
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

Config faults(const std::string& ini) { return Config::from_text("[Faults]\n" + ini); }

}  // namespace

TEST(VkbdState, MemoryPersistsAcrossInstances) {
  fs::path dir = temp_dir("persist");
  std::string path = (dir / "sub" / "vkbd.bin").string();  // the folder is created on the way
  {
    Rig first({}, path);
    first.port(led_nibbles(packed_frame(0x0F, 0x0004, {0, 0, 0, 0x0C, 5, 6, 7, 8}, 1)));
    first.port(led_nibbles({0xEF, 0x12}));
  }
  ASSERT_EQ(fs::file_size(path), 8192u);
  for (const auto& e : fs::directory_iterator(dir / "sub"))
    EXPECT_EQ(e.path().filename(), "vkbd.bin") << "no temporary file is left behind";

  Rig second({}, path);
  Memory m = second.keyboard.memory();
  EXPECT_EQ(m.at(11), 8);
  EXPECT_EQ(m.length(), 0x000C);
  EXPECT_EQ(m.checksum(), 0x0C + 5 + 6 + 7 + 8);
  second.port(read_request(4, 8));
  EXPECT_EQ(typed_hex(second.typed).substr(0, 16), "0000000C05060708");
}

TEST(VkbdState, UnfitFileStartsFresh) {
  fs::path dir = temp_dir("unfit");
  struct Case {
    const char* name;
    std::size_t size;  // 0: no file
  } cases[] = {{"missing", 0}, {"short", 100}, {"long", 8193}};
  for (const auto& c : cases) {
    fs::path path = dir / c.name;
    if (c.size) std::ofstream(path, std::ios::binary) << std::string(c.size, '\x55');
    Config config = Config::from_text("[Keyboard]\nLanguage=30\nFirmwareId=0x0207\n");
    Rig rig(config, path.string());
    Memory m = rig.keyboard.memory();
    EXPECT_EQ(m.firmware_id(), 0x0207) << c.name;
    EXPECT_EQ(m.at(4), 0x30) << c.name;
    EXPECT_EQ(m.at(100), 0) << c.name;
  }
}

TEST(VkbdState, PathChoice) {
  Config config;
  ::setenv("XDG_STATE_HOME", "/x/state", 1);
  ::unsetenv("ZPX_VKBD_STATE");
  EXPECT_EQ(state_path(config), "/x/state/zelk/vkbd.bin");
  config.state_file = "/from/config.bin";
  EXPECT_EQ(state_path(config), "/from/config.bin");
  ::setenv("ZPX_VKBD_STATE", "/from/env.bin", 1);
  EXPECT_EQ(state_path(config), "/from/env.bin");
  ::unsetenv("ZPX_VKBD_STATE");
  ::unsetenv("XDG_STATE_HOME");
}

TEST(VkbdConfig, ReadsKeyboardAndFaults) {
  Config c = Config::from_text(
      "[Keyboard]\nIdentity=,\nFirmwareId=1A2Bh\nVersion=ZK 9\nSecure=1\n"
      "[Faults]\nResendEvery=4\nDropAnswer=Block/3\nCorruptBlock=2\nSilentAfter=99\nSlowAnswerMs=15\n");
  EXPECT_EQ(c.identity, ',');
  EXPECT_EQ(c.firmware_id, 0x1A2B);
  EXPECT_EQ(c.version, "ZK 9");
  EXPECT_TRUE(c.secure);
  EXPECT_EQ(c.faults.resend_every, 4);
  EXPECT_EQ(c.faults.drop_kind, AnswerKind::kBlock);
  EXPECT_EQ(c.faults.drop_nth, 3);
  EXPECT_EQ(c.faults.corrupt_block, 2);
  EXPECT_EQ(c.faults.silent_after, 99);
  EXPECT_EQ(c.faults.slow_answer_ms, 15);

  Config bad = Config::from_text("[Keyboard]\nIdentity=7\nFirmwareId=xyz\n[Faults]\nDropAnswer=nothing/2\nResendEvery=-3\n");
  EXPECT_EQ(bad.identity, '1');
  EXPECT_FALSE(bad.firmware_id);
  EXPECT_EQ(bad.faults.drop_nth, 0);
  EXPECT_EQ(bad.faults.resend_every, 0);
}

TEST(VkbdFaults, ResendEveryNthByte) {
  Rig rig(faults("ResendEvery=3"));
  // The third byte is refused and not taken; sent again it completes the query.
  EXPECT_EQ(rig.port({0xED, 0x10, 0xED}), (Bytes{0xFA, 0xFA, 0xFE}));
  EXPECT_TRUE(rig.typed.empty());
  EXPECT_EQ(rig.port({0xED, 0x20}), (Bytes{0xFA, 0xFA}));
  EXPECT_EQ(rig.take_typed(), (Bytes{0x31, 0xB1}));
  EXPECT_EQ(rig.line({0xEE, 0xEE}), (Bytes{0xFE, 0xEE}));
}

TEST(VkbdFaults, SilentAfterNBytes) {
  Rig rig(faults("SilentAfter=4"));
  EXPECT_EQ(rig.port({0xED, 0x10, 0xED, 0x20, 0xED, 0x10}), (Bytes{0xFA, 0xFA, 0xFA, 0xFA, 0, 0}));
  EXPECT_EQ(rig.take_typed(), (Bytes{0x31, 0xB1}));
  EXPECT_EQ(rig.line({0xEE}), Bytes{});
}

TEST(VkbdFaults, DropAnswer) {
  struct Case {
    const char* setting;
    std::vector<bool> answered;  // of four identity queries and one checksum update
  } cases[] = {
      {"DropAnswer=identity/2", {true, false, true, true, true}},
      {"DropAnswer=identity", {false, true, true, true, true}},
      {"DropAnswer=checksum/1", {true, true, true, true, false}},
      {"DropAnswer=any/3", {true, true, false, true, true}},
  };
  for (const auto& c : cases) {
    Rig rig(faults(c.setting));
    for (std::size_t i = 0; i < 5; ++i) {
      rig.port(i < 4 ? Bytes{0xEF, 0x00} : Bytes{0xEF, 0x12});
      EXPECT_EQ(!rig.take_typed().empty(), c.answered[i]) << c.setting << " answer " << i;
    }
  }
}

TEST(VkbdFaults, CorruptBlock) {
  Rig rig(faults("CorruptBlock=2"));
  rig.port(hex_frame(0x0F, 0x0010, {1, 2, 3, 4}));
  for (int i = 1; i <= 3; ++i) {
    rig.port(read_request(0x0010, 4));
    auto data = decode_read(typed_hex(rig.take_typed()));
    EXPECT_EQ(data.has_value(), i != 2) << "read " << i;
    if (data) {
      EXPECT_EQ(*data, (Bytes{1, 2, 3, 4}));
    }
  }
}

TEST(VkbdFaults, SlowAnswer) {
  Rig rig(faults("SlowAnswerMs=300"));
  std::int64_t start = platform::tick_ms();
  rig.port({0xEF, 0x00});
  EXPECT_GE(platform::tick_ms() - start, 300);
  EXPECT_EQ(rig.take_typed(), (Bytes{0x31, 0xB1}));
  start = platform::tick_ms();
  EXPECT_EQ(rig.line({0xEE}), (Bytes{0xEE}));  // no answer, no wait
  rig.line({0xEF, 0x00});
  EXPECT_GE(platform::tick_ms() - start, 300);
}

TEST(VkbdDefaultLink, ConfiguredByTheEnvironment) {
  fs::path dir = temp_dir("default");
  std::ofstream(dir / "vkbd.ini") << "[Keyboard]\nIdentity=0\nStateFile=\n";
  ::setenv("ZPX_VKBD", (dir / "vkbd.ini").c_str(), 1);
  auto keyboard = Keyboard::from_environment([](std::uint8_t) {});
  ::unsetenv("ZPX_VKBD");
  EXPECT_EQ(keyboard->state_path(), "");
  keyboard->host_byte(0xEF);
  keyboard->host_byte(0x00);
  auto entries = keyboard->transcript();
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.back().byte, 0xB0);  // '0' typed
}

TEST(VkbdDefaultLink, IsThePlatformsKeyboard) {
  ::setenv("ZPX_VKBD_STATE", "", 1);  // keep no state file of this run
  auto link = platform::keyboard_link();
  ::unsetenv("ZPX_VKBD_STATE");
  ASSERT_TRUE(link);
  EXPECT_EQ(link.get(), default_keyboard().get());
  EXPECT_EQ(link->host_byte(0xF4), 0xFA);
  EXPECT_EQ(default_keyboard()->state_path(), "");
}

TEST(VkbdTranscript, BoundedForALongLivedKeyboard) {
  Rig rig;
  for (int i = 0; i < 70000; ++i) rig.keyboard.host_byte(0xF4);  // two entries each
  auto entries = rig.keyboard.transcript();
  EXPECT_LE(entries.size(), Transcript::kLimit);
  EXPECT_GE(entries.size(), Transcript::kLimit / 2);
  EXPECT_EQ(entries.back().direction, Direction::kNote);  // the latest survive
}
