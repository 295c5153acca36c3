#include "platform/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/registry.h"

namespace platform {

namespace {

struct Speed {
  std::uint32_t baud;
  speed_t code;
};
constexpr Speed kSpeeds[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool speed_code(std::uint32_t baud, speed_t& code) {
  for (const Speed& s : kSpeeds)
    if (s.baud == baud) {
      code = s.code;
      return true;
    }
  return false;
}

std::uint32_t baud_of(speed_t code) {
  for (const Speed& s : kSpeeds)
    if (s.code == code) return s.baud;
  return 9600;
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Waits until fd is ready for `events` or `deadline` passes (none: no limit). Returns the
// events that occurred (0 on timeout).
short wait_ready(int fd, short events, const Deadline* deadline) {
  pollfd p{fd, events, 0};
  timespec ts{};
  if (deadline) {
    auto ns = deadline->remaining().count();
    ts.tv_sec = static_cast<time_t>(ns / 1000000000);
    ts.tv_nsec = static_cast<long>(ns % 1000000000);
  }
  int r = ppoll(&p, 1, deadline ? &ts : nullptr, nullptr);
  return r > 0 ? p.revents : 0;
}

const Deadline* earlier(const Deadline* a, const Deadline* b) {
  if (!a) return b;
  if (!b) return a;
  return a->when() <= b->when() ? a : b;
}

}  // namespace

std::string SerialPort::device_path(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  std::string n = name;
  if (n.rfind("\\\\.\\", 0) == 0) n = n.substr(4);
  std::string u = upper(n);
  if (u.size() < 4 || u.rfind("COM", 0) != 0 ||
      !std::all_of(u.begin() + 3, u.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    return n;
  const char* kMap = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
  Registry reg = Registry::open_default();
  for (const std::string& value : reg.value_names(kMap)) {
    std::string data;
    if (reg.read_string(kMap, value, data) == RegResult::Ok && upper(data) == u) return value;
  }
  unsigned long number = std::strtoul(u.c_str() + 3, nullptr, 10);
  if (number == 0 || number > 256) return n;
  return "/dev/ttyS" + std::to_string(number - 1);
}

std::unique_ptr<SerialPort> SerialPort::open(const std::string& name, SerialError* error, std::string* error_text) {
  std::string path = device_path(name);
  auto fail = [&](SerialError e, int os) {
    if (error) *error = e;
    if (error_text) *error_text = path + ": " + std::strerror(os);
    return std::unique_ptr<SerialPort>();
  };
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    int e = errno;
    if (e == ENOENT || e == ENXIO || e == ENODEV) return fail(SerialError::NotFound, e);
    if (e == EACCES || e == EBUSY || e == EPERM) return fail(SerialError::AccessDenied, e);
    return fail(SerialError::Io, e);
  }
  if (!isatty(fd)) {
    ::close(fd);
    return fail(SerialError::NotFound, ENOTTY);
  }
  // One user at a time, as the port is opened without sharing.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int e = errno;
    ::close(fd);
    return fail(SerialError::AccessDenied, e == EWOULDBLOCK ? EBUSY : e);
  }
  ioctl(fd, TIOCEXCL);
  std::unique_ptr<SerialPort> port(new SerialPort(fd, path));
  // Ports are binary: apply the present speed and framing in raw mode.
  termios t{};
  if (tcgetattr(fd, &t) == 0) {
    LineSettings& s = port->settings_;
    s.baud = baud_of(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
      case CS5: s.data_bits = 5; break;
      case CS6: s.data_bits = 6; break;
      case CS7: s.data_bits = 7; break;
      default: s.data_bits = 8; break;
    }
    s.parity = !(t.c_cflag & PARENB) ? Parity::None
               : (t.c_cflag & CMSPAR) ? ((t.c_cflag & PARODD) ? Parity::Mark : Parity::Space)
               : (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    s.stop_bits = (t.c_cflag & CSTOPB) ? StopBits::Two : StopBits::One;
  }
  if (!port->set_settings(port->settings_)) {
    port->settings_ = LineSettings{};
    if (!port->set_settings(port->settings_)) {
      SerialError e = port->error_;
      if (error) *error = e;
      if (error_text) *error_text = port->error_text_;
      return nullptr;
    }
  }
  if (error) *error = SerialError::None;
  return port;
}

SerialPort::SerialPort(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

SerialPort::~SerialPort() {
  if (fd_ >= 0) ::close(fd_);
}

bool SerialPort::fail(SerialError e, int os_error) {
  error_ = e;
  error_text_ = os_error ? path_ + ": " + std::strerror(os_error) : path_;
  return false;
}

bool SerialPort::get_settings(LineSettings& out) {
  if (fd_ < 0) return fail(SerialError::Closed, EBADF);
  out = settings_;
  return true;
}

bool SerialPort::set_settings(const LineSettings& s) {
  if (fd_ < 0) return fail(SerialError::Closed, EBADF);
  speed_t speed;
  if (!speed_code(s.baud, speed) || s.data_bits < 5 || s.data_bits > 8) return fail(SerialError::InvalidParameter, EINVAL);
  termios t{};
  if (tcgetattr(fd_, &t) != 0) return fail(SerialError::Io, errno);
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                      IXANY | INPCK | IGNPAR);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= CLOCAL | CREAD;
  static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[s.data_bits - 5];
  switch (s.parity) {
    case Parity::None: break;
    case Parity::Odd: t.c_cflag |= PARENB | PARODD; break;
    case Parity::Even: t.c_cflag |= PARENB; break;
    case Parity::Mark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case Parity::Space: t.c_cflag |= PARENB | CMSPAR; break;
  }
  if (s.stop_bits != StopBits::One) t.c_cflag |= CSTOPB;  // 1.5 stop bits are sent as 2
  if (s.parity_check && s.parity != Parity::None) t.c_iflag |= INPCK;
  if (s.cts_flow || s.rts == RtsControl::Handshake) t.c_cflag |= CRTSCTS;
  if (s.xon_xoff_out) t.c_iflag |= IXON;
  if (s.xon_xoff_in) t.c_iflag |= IXOFF;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  if (tcsetattr(fd_, TCSANOW, &t) != 0) return fail(errno == EINVAL ? SerialError::InvalidParameter : SerialError::Io, errno);
  // Modem lines; a pseudo-terminal has none, which is no failure.
  int dtr = TIOCM_DTR, rts = TIOCM_RTS;
  if (s.dtr != DtrControl::Handshake) ioctl(fd_, s.dtr == DtrControl::Enable ? TIOCMBIS : TIOCMBIC, &dtr);
  if (s.rts == RtsControl::Enable || s.rts == RtsControl::Disable)
    ioctl(fd_, s.rts == RtsControl::Enable ? TIOCMBIS : TIOCMBIC, &rts);
  settings_ = s;
  return true;
}

bool SerialPort::set_buffer_sizes(std::size_t in, std::size_t out) {
  if (fd_ < 0) return fail(SerialError::Closed, EBADF);
  if (in == 0 || out == 0) return fail(SerialError::InvalidParameter, EINVAL);
  return true;
}

bool SerialPort::get_timeouts(Timeouts& out) {
  if (fd_ < 0) return fail(SerialError::Closed, EBADF);
  out = timeouts_;
  return true;
}

bool SerialPort::set_timeouts(const Timeouts& timeouts) {
  if (fd_ < 0) return fail(SerialError::Closed, EBADF);
  timeouts_ = timeouts;
  return true;
}

bool SerialPort::purge(bool receive, bool transmit) {
  if (fd_ < 0) return fail(SerialError::Closed, EBADF);
  if (transmit) {
    // Let what was written leave first, for at most twice the time it takes on the line.
    int pending = 0;
    if (ioctl(fd_, TIOCOUTQ, &pending) == 0 && pending > 0) {
      std::uint32_t bits = settings_.data_bits + 2u + (settings_.parity != Parity::None ? 1u : 0u);
      std::int64_t ms = static_cast<std::int64_t>(pending) * bits * 2000 / std::max<std::uint32_t>(settings_.baud, 1) + 100;
      Deadline limit(ms);
      while (ioctl(fd_, TIOCOUTQ, &pending) == 0 && pending > 0 && !limit.expired()) sleep_ms(1);
    }
    // Only what could not leave is discarded. Flushing an already empty queue is not harmless:
    // on a pseudo-terminal it discards what the other side has not read yet.
    if (ioctl(fd_, TIOCOUTQ, &pending) != 0 || pending > 0)
      if (tcflush(fd_, TCOFLUSH) != 0) return fail(SerialError::Io, errno);
  }
  if (receive && tcflush(fd_, TCIFLUSH) != 0) return fail(SerialError::Io, errno);
  return true;
}

bool SerialPort::read(void* buffer, std::size_t size, std::size_t& done) {
  done = 0;
  if (fd_ < 0) return fail(SerialError::Closed, EBADF);
  if (size == 0) return true;
  auto* out = static_cast<std::uint8_t*>(buffer);
  const Timeouts& t = timeouts_;
  constexpr std::uint32_t kMax = kReadReturnAtOnce;
  bool at_once = t.read_interval == kMax && t.read_total_multiplier == 0 && t.read_total_constant == 0;
  // Interval "at once" with a total multiplier of all ones: wait up to the constant for the
  // first byte, then return what is there.
  bool first_byte = t.read_interval == kMax && t.read_total_multiplier == kMax && t.read_total_constant > 0 &&
                    t.read_total_constant < kMax;
  std::unique_ptr<Deadline> total;
  if (first_byte) {
    total = std::make_unique<Deadline>(t.read_total_constant);
  } else if (!at_once && (t.read_total_multiplier || t.read_total_constant)) {
    total = std::make_unique<Deadline>(static_cast<std::int64_t>(t.read_total_multiplier) * static_cast<std::int64_t>(size) +
                                       t.read_total_constant);
  }
  std::unique_ptr<Deadline> interval;
  bool hung_up = false;
  for (;;) {
    ssize_t n = ::read(fd_, out + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      hung_up = false;
      if (done == size || at_once || first_byte) return true;
      if (t.read_interval && t.read_interval != kMax) interval = std::make_unique<Deadline>(t.read_interval);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return fail(SerialError::Io, errno);
    if (at_once) return true;
    const Deadline* until = earlier(total.get(), interval.get());
    if (until && until->expired()) return true;
    // A line that hung up reports itself readable; the read that follows finds nothing.
    if (hung_up) return fail(SerialError::Io, EIO);
    hung_up = (wait_ready(fd_, POLLIN, until) & (POLLHUP | POLLERR)) != 0;
  }
}

bool SerialPort::write(const void* buffer, std::size_t size, std::size_t& done) {
  done = 0;
  if (fd_ < 0) return fail(SerialError::Closed, EBADF);
  auto* in = static_cast<const std::uint8_t*>(buffer);
  const Timeouts& t = timeouts_;
  std::unique_ptr<Deadline> total;
  if (t.write_total_multiplier || t.write_total_constant)
    total = std::make_unique<Deadline>(static_cast<std::int64_t>(t.write_total_multiplier) * static_cast<std::int64_t>(size) +
                                       t.write_total_constant);
  while (done < size) {
    ssize_t n = ::write(fd_, in + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return fail(SerialError::Io, errno);
    if (total && total->expired()) return true;
    short ev = wait_ready(fd_, POLLOUT, total.get());
    if ((ev & (POLLHUP | POLLERR)) && !(ev & POLLOUT)) return fail(SerialError::Io, EIO);
  }
  return true;
}

bool SerialPort::close() {
  if (fd_ < 0) return fail(SerialError::Closed, EBADF);
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return fail(SerialError::Io, errno);
  return true;
}

}  // namespace platform
