// The programs as a user runs them: zpxc and r4t in an empty folder.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/process.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int code;
  std::string output;  // standard output and standard error
};

Result run(const std::string& command) {
  std::string cmd = command + " 2>&1";
  Result r{-1, {}};
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[512];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string read_all(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class Programs : public ::testing::Test {
 protected:
  void SetUp() override {
    bin_ = platform::executable_dir();
    dir_ = fs::temp_directory_path() / ("zpx-programs-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string in_dir(const std::string& command) { return "cd '" + dir_.string() + "' && " + command; }
  fs::path bin_, dir_;
};

}  // namespace

TEST_F(Programs, ZpxcCompilesAndReportsErrors) {
  std::ofstream(dir_ / "ok.zpf") << "! comment\nTYPE ZK01\n";
  Result ok = run(in_dir(bin_.string() + "/zpxc -q ok.zpf"));
  EXPECT_EQ(ok.code, 0) << ok.output;
  EXPECT_EQ(fs::file_size(dir_ / "ok.zpx"), 317u);
  EXPECT_EQ(read_all(dir_ / "zpxc.out"), "OK\n");

  std::ofstream(dir_ / "bad.zpf") << "TYPE ZK01\nFOO\nLANG XX\n";
  Result bad = run(in_dir(bin_.string() + "/zpxc bad -l bad.lst"));
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.output.find("bad.zpf:2: error: unknown command"), std::string::npos) << bad.output;
  EXPECT_NE(bad.output.find("bad.zpf:3: error: unknown language"), std::string::npos) << bad.output;
  EXPECT_EQ(read_all(dir_ / "bad.lst"),
            "002: FOO\nERROR (line 2): unknown command\n003: LANG XX\nERROR (line 3): unknown language\n2 error(s)\n");

  // The errors are found where the library put the listing: in a folder, or with ".out" added
  // (an older file of the bare name is not read); an error of a last line without line end.
  fs::create_directories(dir_ / "lists");
  std::ofstream(dir_ / "tail.zpf") << "TYPE ZK01\nERROR (line 7): x\nBAR";
  std::ofstream(dir_ / "l") << "ERROR (line 9): stale\n";
  for (const char* listing : {"lists", "l"}) {
    Result tail = run(in_dir(bin_.string() + "/zpxc tail.zpf -l " + listing));
    EXPECT_EQ(tail.code, 1);
    EXPECT_EQ(tail.output, "tail.zpf:2: error: unknown command\ntail.zpf:3: error: unknown command\n") << listing;
  }

  EXPECT_EQ(run(in_dir(bin_.string() + "/zpxc")).code, 2);
  EXPECT_EQ(run(in_dir(bin_.string() + "/zpxc ok.zpf -o")).code, 2);
  EXPECT_EQ(run(in_dir(bin_.string() + "/zpxc ok.zpf -l /nonexistent/x.out")).code, 3);
  Result help = run(bin_.string() + "/zpxc --help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.output.find("Exit codes"), std::string::npos);
}

#ifdef ZPX_HAVE_R4T
TEST_F(Programs, R4tAutomaticModeCompilesThenNeedsTheInterfaceLibrary) {
  // r4t looks for libraries beside itself first: run a copy that has only the compiler.
  fs::path app = dir_ / "app";
  fs::create_directories(app);
  for (const char* f : {"r4t", "libzpxplatform.so", "libzpxc32.so"}) fs::copy_file(bin_ / f, app / f);
  fs::create_directories(dir_ / "work");
  std::ofstream(dir_ / "work" / "demo.zpf") << "! demo\nTYPE ZK01\nLANG GR\n";
  std::ofstream(dir_ / "work" / "r4t.ini") << "[R4T]\nR4Ttxt=1\n";
  const std::string env = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ZPX_LIBRARY_PATH=/nonexistent ";
  Result r = run("cd '" + (dir_ / "work").string() + "' && " + env + (app / "r4t").string() + " '\"" +
                 (dir_ / "work" / "demo.zpf").string() + "\"' /A");
  EXPECT_EQ(r.code, 1) << r.output;
  EXPECT_EQ(read_all(dir_ / "work" / "zpxc.out"), "OK\n");
  EXPECT_TRUE(fs::exists(dir_ / "work" / "demo.zpx"));
  EXPECT_EQ(read_all(dir_ / "work" / "r4t.txt"), " Error: Can\xB4t load ZPXI32.DLL !");
  EXPECT_NE(r.output.find("Error: Can\xC2\xB4t load ZPXI32.DLL !"), std::string::npos) << r.output;

  // Started the way a shell passes a path, without quotes, it works the same.
  fs::remove(dir_ / "work" / "demo.zpx");
  Result plain = run("cd '" + (dir_ / "work").string() + "' && " + env + (app / "r4t").string() + " demo.zpf /A");
  EXPECT_EQ(plain.code, 1) << plain.output;
  EXPECT_TRUE(fs::exists(dir_ / "work" / "demo.zpx"));
}
#endif
