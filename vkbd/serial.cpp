#include "vkbd/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vkbd {

namespace {

bool write_all(int fd, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::unique_ptr<PtyLine> PtyLine::open(std::string* error) {
  auto fail = [&](const char* what) {
    if (error) *error = std::string(what) + ": " + std::strerror(errno);
    return nullptr;
  };
  std::unique_ptr<PtyLine> line(new PtyLine);
  line->master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (line->master_ < 0) return fail("cannot open a pseudo-terminal");
  if (::grantpt(line->master_) != 0 || ::unlockpt(line->master_) != 0) return fail("cannot unlock the pseudo-terminal");
  char name[128];
  if (::ptsname_r(line->master_, name, sizeof name) != 0) return fail("cannot name the pseudo-terminal");
  line->device_ = name;
  line->slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (line->slave_ < 0) return fail("cannot open the pseudo-terminal's device");
  // Raw until the host sets its own line settings: no echo, no line editing, no translation.
  termios t{};
  if (::tcgetattr(line->slave_, &t) == 0) {
    ::cfmakeraw(&t);
    ::tcsetattr(line->slave_, TCSANOW, &t);
  }
  if (::pipe2(line->wake_, O_CLOEXEC | O_NONBLOCK) != 0) return fail("cannot create a pipe");
  return line;
}

PtyLine::~PtyLine() {
  for (int fd : {master_, slave_, wake_[0], wake_[1]})
    if (fd >= 0) ::close(fd);
}

void PtyLine::stop() {
  char c = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
}

bool PtyLine::serve(Keyboard& keyboard, std::string* error) {
  std::uint8_t buffer[256];
  bool ok = true;
  auto writer = [&](const std::vector<std::uint8_t>& bytes) {
    if (!write_all(master_, bytes)) ok = false;
  };
  for (;;) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      if (error) *error = std::string("poll: ") + std::strerror(errno);
      return false;
    }
    if (fds[1].revents) return true;
    if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      if (error) *error = std::string("line read: ") + (n == 0 ? "closed" : std::strerror(errno));
      return false;
    }
    for (ssize_t i = 0; i < n; ++i) keyboard.line_byte(buffer[i], writer);
    if (!ok) {
      if (error) *error = std::string("line write: ") + std::strerror(errno);
      return false;
    }
  }
}

}  // namespace vkbd
