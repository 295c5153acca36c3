// zpxdump as a user runs it: every sample survives compile -> dump -> compile byte for byte, and
// damaged keytables give one line of error and exit code 1.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/process.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int code;
  std::string out;
};

Outcome run(const std::string& command) {
  Outcome r{-1, {}};
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::vector<std::uint8_t> read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void write_bytes(const fs::path& p, const std::vector<std::uint8_t>& b) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

class Dump : public ::testing::Test {
 protected:
  void SetUp() override {
    bin_ = platform::executable_dir();
    dir_ = fs::temp_directory_path() / ("zpx-dump-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path compile(const fs::path& source, const std::string& name) {
    const fs::path target = dir_ / (name + ".zpx");
    Outcome r = run(bin_.string() + "/zpxc -q '" + source.string() + "' -o '" + target.string() + "' -l '" +
                (dir_ / "listing.out").string() + "'");
    EXPECT_EQ(r.code, 0) << source << r.out;
    return target;
  }
  fs::path bin_, dir_;
};

}  // namespace

TEST_F(Dump, EverySampleRoundTrips) {
  for (const auto& e : fs::directory_iterator(ZPX_SAMPLES_DIR)) {
    if (e.path().extension() != ".zpf") continue;
    const std::string name = e.path().stem().string();
    const fs::path first = compile(e.path(), name);
    Outcome dump = run(bin_.string() + "/zpxdump '" + first.string() + "'");
    ASSERT_EQ(dump.code, 0) << name << dump.out;
    const fs::path again = dir_ / (name + "-dump.zpf");
    std::ofstream(again, std::ios::binary) << dump.out;
    const fs::path second = compile(again, name + "-again");
    EXPECT_EQ(read_bytes(first), read_bytes(second)) << name << "\n" << dump.out;
  }
}

TEST_F(Dump, DamagedKeytables) {
  const fs::path good = compile(fs::path(ZPX_SAMPLES_DIR) / "peripherals.zpf", "good");
  const std::vector<std::uint8_t> bytes = read_bytes(good);
  ASSERT_GT(bytes.size(), 400u);
  const std::size_t first_record = (bytes[8 + 2 * 128] << 8) | bytes[8 + 2 * 128 + 1];  // key M1H
  ASSERT_GE(first_record, 302u);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  auto with = [&](std::size_t at, std::vector<std::uint8_t> values) {
    auto b = bytes;
    for (std::size_t i = 0; i < values.size(); ++i) b[at + i] = values[i];
    return b;
  };
  std::vector<Case> cases = {
      {"truncated", std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 100)},
      {"no magic", with(0, {'X'})},
      {"length beyond the file", with(6, {0x1F, 0xFF})},
      {"block offset outside", with(302, {0x1F, 0x00})},
      {"block chain loops", with(304, {0x01, 0x30})},
      {"record offset outside", with(8 + 2 * 128, {0x1F, 0x00})},
      {"record chain loops", with(first_record, {static_cast<std::uint8_t>(first_record >> 8),
                                                 static_cast<std::uint8_t>(first_record & 0xFF)})},
  };
  for (const auto& k : cases) {
    const fs::path p = dir_ / "bad.zpx";
    write_bytes(p, k.bytes);
    Outcome r = run("timeout 10 " + bin_.string() + "/zpxdump '" + p.string() + "'");
    EXPECT_EQ(r.code, 1) << k.what << ": " << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << k.what << ": " << r.out;
  }
  EXPECT_EQ(run(bin_.string() + "/zpxdump").code, 2);
  EXPECT_EQ(run(bin_.string() + "/zpxdump '" + (dir_ / "missing.zpx").string() + "'").code, 1);
}
