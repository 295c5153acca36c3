#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/process.h"
#include "platform/tests/test_util.h"

using namespace platform;
using namespace platform::test;

namespace {

// Viewers are small scripts that write their arguments, one a line, into a file of their folder.
class TextViewer : public testing::Test {
 protected:
  void SetUp() override {
    // Standard input is no terminal here, however the tests are started.
    saved_stdin_ = dup(STDIN_FILENO);
    int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    close(null);
  }
  void TearDown() override {
    dup2(saved_stdin_, STDIN_FILENO);
    close(saved_stdin_);
  }

  // A recording script named `name` in the folder; what it records lands in `name`.out.
  fs::path script(const std::string& name) {
    fs::path p = dir_ / name;
    const std::string out = (dir_ / (name + ".out")).string();
    write_file(p, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + out + ".tmp' && /bin/mv '" + out + ".tmp' '" + out + "'\n");
    fs::permissions(p, fs::perms::owner_all);
    return p;
  }
  std::string recorded(const std::string& name) {
    const fs::path out = dir_ / (name + ".out");
    return wait_for_file(out) ? read_file(out) : "(nothing recorded)";
  }

  TempDir dir_{"viewer"};
  ScopedEnv visual_{"VISUAL", std::nullopt};
  ScopedEnv editor_{"EDITOR", std::nullopt};
  ScopedEnv display_{"DISPLAY", std::nullopt};
  ScopedEnv wayland_{"WAYLAND_DISPLAY", std::nullopt};
  ScopedEnv path_{"PATH", std::nullopt};
  int saved_stdin_ = -1;
};

}  // namespace

TEST_F(TextViewer, VisualGetsTheFile) {
  setenv("VISUAL", (script("viewer").string() + " --readonly").c_str(), 1);
  EXPECT_TRUE(open_text_viewer("zpxc.out"));
  EXPECT_EQ(recorded("viewer"), "--readonly\nzpxc.out\n");
}

TEST_F(TextViewer, VisualOnPathAndOptionLikeNames) {
  script("myview");
  setenv("PATH", ("/nonexistent:" + dir_.path().string()).c_str(), 1);
  setenv("VISUAL", "myview", 1);
  EXPECT_TRUE(open_text_viewer("-listing"));
  EXPECT_EQ(recorded("myview"), "./-listing\n");
}

TEST_F(TextViewer, EditorNeedsATerminal) {
  script("x-terminal-emulator");
  script("xdg-open");
  setenv("PATH", dir_.path().c_str(), 1);
  setenv("EDITOR", script("ed").c_str(), 1);
  // No display and no terminal: the editor cannot be used, xdg-open is.
  EXPECT_TRUE(open_text_viewer("zpxc.out"));
  EXPECT_EQ(recorded("xdg-open"), "zpxc.out\n");
  // With a display the editor gets a terminal window of its own.
  setenv("DISPLAY", ":99", 1);
  EXPECT_TRUE(open_text_viewer("zpxc.out"));
  EXPECT_EQ(recorded("x-terminal-emulator"), "-e\n" + script("ed").string() + "\nzpxc.out\n");
  EXPECT_FALSE(fs::exists(dir_ / "ed.out"));
}

TEST_F(TextViewer, FalseWhenNothingCanBeStarted) {
  setenv("PATH", dir_.path().c_str(), 1);  // no xdg-open here
  EXPECT_FALSE(open_text_viewer("zpxc.out"));

  setenv("VISUAL", (dir_ / "missing").c_str(), 1);
  EXPECT_FALSE(open_text_viewer("zpxc.out"));

  // A program that exists but cannot be executed: the failing exec must be noticed.
  fs::path broken = dir_ / "broken";
  write_file(broken, "#!/nonexistent/interpreter\n");
  fs::permissions(broken, fs::perms::owner_all);
  setenv("VISUAL", broken.c_str(), 1);
  EXPECT_FALSE(open_text_viewer("zpxc.out"));

  fs::path plain = dir_ / "plain";
  write_file(plain, "#!/bin/sh\n");
  fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
  setenv("VISUAL", plain.c_str(), 1);
  EXPECT_FALSE(open_text_viewer("zpxc.out"));
}

TEST(Process, ExecutablePath) {
  EXPECT_EQ(fs::path(executable_path()).filename(), "platform_test");
  EXPECT_EQ(fs::path(executable_path()).parent_path().string(), executable_dir());
  EXPECT_TRUE(fs::exists(executable_dir() + "/libzpxtestlib.so"));
}
