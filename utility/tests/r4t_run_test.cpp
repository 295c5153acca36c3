// Runs the built r4t program unattended, the way a service script does: no display, a keytable
// source and the switch /A, in a folder of its own where no interface library can be found.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class R4tRun : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("r4t-run-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "bin");
    fs::create_directories(root_ / "work");
    // r4t looks for libraries beside itself first: give it a folder with everything the output
    // folder holds (the compiler once it has been built, the platform library) except the
    // interface libraries.
    const fs::path out = ZPX_OUT_DIR;
    fs::copy_file(out / "r4t", root_ / "bin/r4t");
    for (const auto& entry : fs::directory_iterator(out)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("lib", 0) != 0 || entry.path().extension() != ".so") continue;
      if (name == "libzpxi32.so" || name == "libzpxirs232.so") continue;
      fs::copy_file(entry.path(), root_ / "bin" / name);
    }
    compiler_ = fs::exists(root_ / "bin/libzpxc32.so");
    std::ofstream(root_ / "work/my keys.zpf")
        << "! comment lines only\n! compile to an empty keytable\n";
    std::ofstream(root_ / "work/r4t.ini") << "[R4T]\nR4Ttxt=1\n";
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs r4t in the work folder with a clean environment; returns the exit code.
  int run(const std::vector<std::string>& args) {
    std::vector<std::string> env = {
        "ZPX_TIME_SCALE=0.01", "ZPX_REGISTRY=" + (root_ / "none.reg").string(),
        "XDG_CONFIG_HOME=" + root_.string(), "HOME=" + root_.string(), "PATH=/usr/bin:/bin"};
    std::vector<std::string> argv = {(root_ / "bin/r4t").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir((root_ / "work").c_str()) != 0) _exit(127);
      FILE* err = std::freopen((root_ / "stderr.txt").c_str(), "w", stderr);
      if (!err) _exit(127);
      std::vector<char*> a, e;
      for (auto& s : argv) a.push_back(s.data());
      for (auto& s : env) e.push_back(s.data());
      a.push_back(nullptr);
      e.push_back(nullptr);
      execve(a[0], a.data(), e.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // What the automatic mode ends with: compiled, then the write finds no interface library.
  void expect_compiled_and_write_failed() {
    if (compiler_) {
      EXPECT_TRUE(fs::exists(root_ / "work/my keys.zpx"));
      EXPECT_EQ(read_file(root_ / "work/zpxc.out").substr(0, 2), "OK");
      EXPECT_EQ(read_file(root_ / "work/r4t.txt"), " Error: Can\xB4t load ZPXI32.DLL !");
    } else {
      // Without the compiler the name stays a ZPF name, which the write rejects.
      EXPECT_EQ(read_file(root_ / "work/r4t.txt"), " Invalid ZPX filename!");
    }
  }

  fs::path root_;
  bool compiler_ = false;
};

TEST_F(R4tRun, QuotedSourceAndAutoSwitch) {
  const std::string source = (root_ / "work/my keys.zpf").string();
  EXPECT_EQ(run({"\"" + source + "\"", "/A"}), 1) << read_file(root_ / "stderr.txt");
  expect_compiled_and_write_failed();
}

TEST_F(R4tRun, UnquotedSourceAndAutoSwitch) {
  EXPECT_EQ(run({(root_ / "work/my keys.zpf").string(), "/A"}), 1)
      << read_file(root_ / "stderr.txt");
  expect_compiled_and_write_failed();
  // The run says on standard error how it ended.
  EXPECT_NE(read_file(root_ / "stderr.txt").find("r4t: "), std::string::npos);
}

TEST_F(R4tRun, InteractiveStartWithoutDisplayIsRefused) {
  EXPECT_EQ(run({"keys.zpf"}), 2);
  EXPECT_NE(read_file(root_ / "stderr.txt").find("no display"), std::string::npos);
  EXPECT_FALSE(fs::exists(root_ / "work/r4t.txt"));
}

}  // namespace
