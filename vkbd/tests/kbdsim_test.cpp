#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host.h"
#include "platform/clock.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace vkbd::test;

namespace {

// Bound on every wait for the process and the line, in system time. The answers come at once;
// the bound only ends a test that has already failed, so it is wide enough for a sanitized
// process starting on a busy machine under the tests' time scale.
constexpr std::int64_t kWaitMs = 600000;

int poll_ms(const platform::Deadline& d) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(d.remaining()).count()) + 1;
}

// zpx-kbdsim in a process of its own, its standard output on a pipe.
class Kbdsim {
 public:
  explicit Kbdsim(const std::vector<std::string>& args) {
    fs::path exe = fs::read_symlink("/proc/self/exe").parent_path() / "zpx-kbdsim";
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> all{exe.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    stdout_ = out[0];
  }
  ~Kbdsim() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (stdout_ >= 0) ::close(stdout_);
  }

  // The first line of its output, waited for at most kWaitMs.
  std::string first_line() {
    std::string line;
    platform::Deadline d(kWaitMs);
    while (!d.expired()) {
      pollfd p{stdout_, POLLIN, 0};
      if (::poll(&p, 1, poll_ms(d)) <= 0) continue;
      char c;
      if (::read(stdout_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }

  // Sends a signal and waits for the exit; the exit status, or -1 when it did not end in time.
  int stop(int sig) {
    ::kill(pid_, sig);
    platform::Deadline d(kWaitMs);
    int status = 0;
    while (!d.expired()) {
      pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      platform::sleep_ms(10);
    }
    return -1;
  }

  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
};

// The host's end of the line: a terminal opened and set up as the serial transport does.
class HostLine {
 public:
  explicit HostLine(const std::string& device) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) return;
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    t.c_cflag |= PARENB | CS8 | CLOCAL | CREAD;
    t.c_cflag &= ~(PARODD | CSTOPB);
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  ~HostLine() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

  // Writes the bytes one at a time, reading the expected count of bytes after each.
  Bytes exchange(const Bytes& bytes, std::size_t per_byte, std::size_t after_last = 0) {
    Bytes got;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (::write(fd_, &bytes[i], 1) != 1) break;
      Bytes r = read(per_byte + (i + 1 == bytes.size() ? after_last : 0));
      got.insert(got.end(), r.begin(), r.end());
    }
    return got;
  }

  Bytes read(std::size_t n) {
    Bytes got;
    platform::Deadline d(kWaitMs);
    while (got.size() < n && !d.expired()) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, poll_ms(d)) <= 0) continue;
      std::uint8_t buf[256];
      ssize_t k = ::read(fd_, buf, std::min(sizeof buf, n - got.size()));
      if (k <= 0) break;
      got.insert(got.end(), buf, buf + k);
    }
    return got;
  }

 private:
  int fd_ = -1;
};

}  // namespace

TEST(VkbdKbdsim, ServesASerialKeyboardOnAPseudoTerminal) {
  fs::path dir = fs::temp_directory_path() / ("zpx-kbdsim-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "kbd.ini") << "[Keyboard]\nFirmwareId=0207\n";
  Kbdsim sim({"--config", (dir / "kbd.ini").string(), "--state", (dir / "state.bin").string(),
              "--transcript", (dir / "transcript.txt").string()});
  ASSERT_TRUE(sim.running());
  std::string device = sim.first_line();
  ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;

  {
    HostLine line(device);
    ASSERT_TRUE(line.ok());
    EXPECT_EQ(line.exchange({0xEE}, 1), (Bytes{0xEE}));

    Bytes image{0x00, 0x0C, 0xA1, 0xB2, 0xC3, 0xD4, 0x00, 0x00};  // addresses 6-13
    Bytes frame = hex_frame(0x0F, 0x0006, image);
    EXPECT_EQ(line.exchange(frame, 1), Bytes(frame.size(), 0xFA));
    EXPECT_EQ(line.exchange({0xEF, 0x12}, 1, 1), (Bytes{0xFA, 0xFA, 0x02}));

    Bytes request = read_request(0, 8);
    Bytes answer = line.exchange(request, 1, 18);
    ASSERT_EQ(answer.size(), request.size() + 18);
    EXPECT_EQ(Bytes(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(request.size())),
              Bytes(request.size(), 0xFA));
    auto header = decode_read(std::string(answer.begin() + static_cast<std::ptrdiff_t>(request.size()), answer.end()));
    ASSERT_TRUE(header);
    unsigned sum = 0x0C + 0xA1 + 0xB2 + 0xC3 + 0xD4;  // bytes 4 to 11 of the memory
    EXPECT_EQ(*header, (Bytes{0x02, 0x07, static_cast<std::uint8_t>(sum >> 8), static_cast<std::uint8_t>(sum),
                              0x00, 0x00, 0x00, 0x0C}));
  }

  {
    // The serial transport opens the port anew for every operation.
    HostLine again(device);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.exchange({0xEE}, 1), (Bytes{0xEE}));
  }

  EXPECT_EQ(sim.stop(SIGTERM), 0);
  ASSERT_EQ(fs::file_size(dir / "state.bin"), 8192u);
  std::ifstream state(dir / "state.bin", std::ios::binary);
  std::string memory((std::istreambuf_iterator<char>(state)), {});
  EXPECT_EQ(static_cast<std::uint8_t>(memory[8]), 0xA1);
  std::stringstream transcript;
  transcript << std::ifstream(dir / "transcript.txt").rdbuf();
  EXPECT_NE(transcript.str().find(">EE  echo request\n<EE  echo\n"), std::string::npos);
  fs::remove_all(dir);
}

TEST(VkbdKbdsim, HelpAndBadArguments) {
  struct Case {
    std::vector<std::string> args;
    int status;
  } cases[] = {{{"--help"}, 0}, {{"--bogus"}, 2}, {{"--state"}, 2}};
  for (const auto& c : cases) {
    Kbdsim sim(c.args);
    ASSERT_TRUE(sim.running());
    EXPECT_EQ(sim.stop(0), c.status) << c.args[0];
  }
}
