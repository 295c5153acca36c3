#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/serial.h"

using namespace platform;

namespace {

// A pseudo-terminal: the port side is opened as a serial port, the other side plays the keyboard.
class Serial : public ::testing::Test {
 protected:
  void SetUp() override {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    path = ptsname(master);
    port = SerialPort::open(path);
    ASSERT_TRUE(port);
  }
  void TearDown() override {
    port.reset();
    if (master >= 0) close(master);
  }

  // Reads from the far side what the port sent (waits up to a generous limit).
  std::string far_read(std::size_t n) {
    std::string got;
    while (got.size() < n) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 10000) <= 0) break;
      char buf[256];
      ssize_t r = ::read(master, buf, std::min(sizeof buf, n - got.size()));
      if (r <= 0) break;
      got.append(buf, static_cast<std::size_t>(r));
    }
    return got;
  }
  void far_write(const std::string& s) { ASSERT_EQ(::write(master, s.data(), s.size()), static_cast<ssize_t>(s.size())); }

  int master = -1;
  std::string path;
  std::unique_ptr<SerialPort> port;
};

}  // namespace

TEST_F(Serial, BytesGoBothWays) {
  LineSettings s;
  s.baud = 9600;
  s.parity = Parity::Even;
  s.data_bits = 7;
  ASSERT_TRUE(port->set_settings(s));
  Timeouts t;
  t.read_total_multiplier = 50;
  t.read_total_constant = 200;
  t.write_total_constant = 200;
  ASSERT_TRUE(port->set_timeouts(t));

  std::size_t done = 0;
  const std::string out = std::string("\xEE\x00\xFA\x0D\x0A\x11", 6);  // no byte is special on a binary port
  ASSERT_TRUE(port->write(out.data(), out.size(), done));
  EXPECT_EQ(done, out.size());
  EXPECT_EQ(far_read(out.size()), out);

  far_write(std::string("\xFA\x0D\x13\x00", 4));
  char in[4] = {};
  ASSERT_TRUE(port->read(in, sizeof in, done));
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(std::string(in, 4), std::string("\xFA\x0D\x13\x00", 4));
}

// A pseudo-terminal reads back 8 data bits without parity whatever was set; the port reports
// what was set.
TEST_F(Serial, SettingsReportWhatWasSet) {
  LineSettings s;
  s.baud = 2400;
  s.parity = Parity::Odd;
  s.data_bits = 7;
  s.stop_bits = StopBits::Two;
  ASSERT_TRUE(port->set_settings(s));
  LineSettings back;
  ASSERT_TRUE(port->get_settings(back));
  EXPECT_EQ(back.baud, 2400u);
  EXPECT_EQ(back.parity, Parity::Odd);
  EXPECT_EQ(back.data_bits, 7);
  EXPECT_EQ(back.stop_bits, StopBits::Two);

  struct Bad {
    std::uint32_t baud;
    std::uint8_t bits;
  };
  for (Bad b : {Bad{1000, 8}, Bad{9600, 4}, Bad{9600, 9}}) {
    LineSettings x;
    x.baud = b.baud;
    x.data_bits = b.bits;
    EXPECT_FALSE(port->set_settings(x)) << b.baud << " " << int(b.bits);
    EXPECT_EQ(port->error(), SerialError::InvalidParameter);
  }
  ASSERT_TRUE(port->get_settings(back));
  EXPECT_EQ(back.baud, 2400u);
}

TEST_F(Serial, ReadTimeoutEndsOnTheScaledClock) {
  Timeouts t;
  t.read_total_multiplier = 50;
  t.read_total_constant = 200;
  ASSERT_TRUE(port->set_timeouts(t));
  char in[2];
  std::size_t done = 99;
  std::int64_t start = tick_ms();
  ASSERT_TRUE(port->read(in, sizeof in, done));
  std::int64_t took = tick_ms() - start;
  EXPECT_EQ(done, 0u);
  EXPECT_GE(took, 299);        // 50 x 2 + 200 system milliseconds
  EXPECT_LT(took, 60 * 1000);  // and it does end
}

TEST_F(Serial, IntervalTimeoutEndsAReadAfterTheLastByte) {
  Timeouts t;
  t.read_interval = 100;
  ASSERT_TRUE(port->set_timeouts(t));
  far_write("ab");
  char in[10];
  std::size_t done = 0;
  ASSERT_TRUE(port->read(in, sizeof in, done));
  EXPECT_EQ(std::string(in, done), "ab");

  t = Timeouts{};
  t.read_interval = kReadReturnAtOnce;
  ASSERT_TRUE(port->set_timeouts(t));
  ASSERT_TRUE(port->read(in, sizeof in, done));
  EXPECT_EQ(done, 0u);
}

TEST_F(Serial, PurgeKeepsWrittenBytesAndDropsReceivedOnes) {
  std::string block(300, '\x5A');
  std::size_t done = 0;
  ASSERT_TRUE(port->write(block.data(), block.size(), done));
  ASSERT_TRUE(port->purge(true, true));
  EXPECT_EQ(far_read(block.size()), block);

  far_write("stale");
  Timeouts t;
  t.read_interval = 20;
  t.read_total_constant = 100;
  ASSERT_TRUE(port->set_timeouts(t));
  // Wait until the bytes have arrived at the port, then empty the receive queue.
  char one;
  ASSERT_TRUE(port->read(&one, 1, done));
  ASSERT_EQ(done, 1u);
  ASSERT_TRUE(port->purge(true, false));
  char in[8];
  ASSERT_TRUE(port->read(in, sizeof in, done));
  EXPECT_EQ(done, 0u);
}

TEST_F(Serial, HungUpLineFailsTheRead) {
  close(master);
  master = -1;
  Timeouts t;
  t.read_total_constant = 100000;
  ASSERT_TRUE(port->set_timeouts(t));
  char in[1];
  std::size_t done = 0;
  EXPECT_FALSE(port->read(in, 1, done));
  EXPECT_EQ(port->error(), SerialError::Io);
}

TEST_F(Serial, PortIsOpenOnceAndClosesOnce) {
  SerialError error = SerialError::None;
  EXPECT_FALSE(SerialPort::open(path, &error));
  EXPECT_EQ(error, SerialError::AccessDenied);
  EXPECT_TRUE(port->close());
  EXPECT_FALSE(port->close());
  std::size_t done;
  EXPECT_FALSE(port->write("x", 1, done));
  EXPECT_EQ(port->error(), SerialError::Closed);
  EXPECT_TRUE(SerialPort::open(path));
}

TEST_F(Serial, ComNamesMapThroughTheRegistry) {
  namespace fs = std::filesystem;
  fs::path reg = fs::temp_directory_path() / ("zpx-serial-" + std::to_string(getpid()) + ".reg");
  std::ofstream(reg) << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\"" << path
                     << "\"=\"COM7\"\n";
  setenv("ZPX_REGISTRY", reg.c_str(), 1);
  EXPECT_EQ(SerialPort::device_path("COM7"), path);
  EXPECT_EQ(SerialPort::device_path("com7"), path);
  EXPECT_EQ(SerialPort::device_path("COM3"), "/dev/ttyS2");
  EXPECT_EQ(SerialPort::device_path("\\\\.\\COM12"), "/dev/ttyS11");
  EXPECT_EQ(SerialPort::device_path("/dev/ttyUSB0"), "/dev/ttyUSB0");
  port.reset();
  EXPECT_TRUE(SerialPort::open("COM7"));
  unsetenv("ZPX_REGISTRY");
  fs::remove(reg);

  SerialError error = SerialError::None;
  EXPECT_FALSE(SerialPort::open("/dev/zpx-no-such-port", &error));
  EXPECT_EQ(error, SerialError::NotFound);
}
