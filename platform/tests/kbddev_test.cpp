#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <vector>

#include "platform/input.h"
#include "platform/kbddev.h"
#include "platform/keyboard_link.h"
#include "platform/queue.h"

using namespace platform;

namespace {

// A keyboard that answers FAh unless told otherwise, and types a scripted answer after a byte.
class FakeKeyboard : public KeyboardLink {
 public:
  std::optional<std::uint8_t> host_byte(std::uint8_t byte) override {
    received.push_back(byte);
    for (auto b : types[byte]) keyboard_typed(b);
    if (silent) return std::nullopt;
    if (!replies.empty()) {
      auto r = replies.front();
      replies.pop_front();
      return r;
    }
    return 0xFA;
  }

  std::vector<std::uint8_t> received;
  std::deque<std::uint8_t> replies;
  std::map<std::uint8_t, std::vector<std::uint8_t>> types;
  bool silent = false;
};

class KbdDev : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_keyboard_devices();
    reset_keyboard_input();
    set_input_thread(current_thread_id());
    set_key_sink([this](std::uint32_t, std::uint32_t param) { typed.push_back(keystroke_scan(param)); });
    kbd = std::make_shared<FakeKeyboard>();
    set_keyboard_link(kbd);
  }
  void TearDown() override {
    set_keyboard_link(nullptr);
    set_key_sink(nullptr);
    reset_keyboard_devices();
  }

  // One call of the NT 4.0 device, opened and closed around it as the library does.
  std::uint32_t nt4(std::uint32_t code, int in = -1) {
    auto dev = KeyboardDevice::open(kKeyboardDeviceName);
    EXPECT_TRUE(dev);
    if (!dev) return 0xDEAD;
    std::uint8_t in_byte = static_cast<std::uint8_t>(in);
    std::uint8_t out[4] = {};
    std::size_t got = 0;
    bool ok = dev->control(code, in < 0 ? nullptr : &in_byte, in < 0 ? 0 : 1, out,
                           code == kKbdAnswerAvailable ? 4 : 1, &got);
    EXPECT_TRUE(ok) << std::hex << code;
    EXPECT_TRUE(dev->close());
    return out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<std::uint32_t>(out[3]) << 24);
  }

  std::shared_ptr<FakeKeyboard> kbd;
  std::vector<std::uint8_t> typed;
};

void write_command_byte(std::uint8_t value) {
  port_write(kKbcStatusPort, kKbcWriteCommandByte);
  port_write(kKbcDataPort, value);
}

}  // namespace

TEST_F(KbdDev, ControllerPortsCarryOneByteAndItsReply) {
  write_command_byte(0x00);
  EXPECT_EQ(kbc_command_byte(), 0x00);
  EXPECT_TRUE(kbd->received.empty());  // the command byte is the controller's, not the keyboard's

  EXPECT_EQ(port_read(kKbcStatusPort) & (kKbcOutputFull | kKbcInputFull), 0);
  kbd->replies = {0xFE};
  port_write(kKbcDataPort, 0xEF);
  EXPECT_EQ(kbd->received, (std::vector<std::uint8_t>{0xEF}));
  std::uint8_t status = port_read(kKbcStatusPort);
  EXPECT_EQ(status & kKbcOutputFull, kKbcOutputFull);
  EXPECT_NE(status & (kKbcAuxiliary | kKbcTimeout), kKbcAuxiliary | kKbcTimeout);
  EXPECT_EQ(port_read(kKbcDataPort), 0xFE);
  EXPECT_EQ(port_read(kKbcStatusPort) & kKbcOutputFull, 0);
  port_write(kKbcDataPort, 0xEF);
  EXPECT_EQ(port_read(kKbcDataPort), 0xFA);

  port_write(kKbcStatusPort, kKbcReadCommandByte);
  EXPECT_EQ(port_read(kKbcStatusPort) & kKbcOutputFull, kKbcOutputFull);
  EXPECT_EQ(port_read(kKbcDataPort), 0x00);
  write_command_byte(0x41);
  EXPECT_EQ(kbc_command_byte(), 0x41);
}

TEST_F(KbdDev, SilentKeyboardLeavesTheOutputBufferEmpty) {
  kbd->silent = true;
  port_write(kKbcDataPort, 0xEF);
  std::uint8_t status = port_read(kKbcStatusPort);
  EXPECT_EQ(status & kKbcOutputFull, 0);
  EXPECT_EQ(status & kKbcTimeout, kKbcTimeout);
  kbd->silent = false;
  port_write(kKbcDataPort, 0xEF);
  EXPECT_EQ(port_read(kKbcStatusPort) & kKbcTimeout, 0);
}

TEST_F(KbdDev, Nt4DeviceQueuesRepliesAndTypedBytesWhileCapturing) {
  kbd->types[0x00] = {0x02, 0x82};  // the answer to EF 00 typed as a key
  nt4(kKbdCapture);
  kbd->replies = {0xFA, 0xFE};
  EXPECT_EQ(nt4(kKbdSendByte, 0xEF), 0xFAu);
  EXPECT_EQ(nt4(kKbdSendByte, 0x00), 0xFEu);
  EXPECT_EQ(nt4(kKbdAnswerAvailable), 4u);
  std::vector<std::uint32_t> answers;
  for (int i = 0; i < 4; ++i) answers.push_back(nt4(kKbdAnswerGet));
  EXPECT_EQ(answers, (std::vector<std::uint32_t>{0xFA, 0xFE, 0x02, 0x82}));  // the reply comes first
  EXPECT_EQ(nt4(kKbdAnswerAvailable), 0u);
  pump_messages();
  EXPECT_TRUE(typed.empty());

  nt4(kKbdSendByte, 0xEF);
  EXPECT_EQ(nt4(kKbdAnswerAvailable), 1u);
  nt4(kKbdClear);
  EXPECT_EQ(nt4(kKbdAnswerAvailable), 0u);

  nt4(kKbdRelease);
  nt4(kKbdSendByte, 0x00);
  EXPECT_EQ(nt4(kKbdAnswerAvailable), 0u);
  pump_messages();
  EXPECT_EQ(typed, (std::vector<std::uint8_t>{0x02, 0x02}));
}

TEST_F(KbdDev, Nt4DeviceRefusesBadCallsAndASecondOpening) {
  auto dev = KeyboardDevice::open("\\\\.\\keyboard");
  ASSERT_TRUE(dev);
  DeviceError error = DeviceError::None;
  EXPECT_FALSE(KeyboardDevice::open(kKeyboardDeviceName, &error));
  EXPECT_EQ(error, DeviceError::SharingViolation);

  std::uint8_t out[4];
  EXPECT_FALSE(dev->control(0x12345, nullptr, 0, out, 1));
  EXPECT_EQ(dev->error(), DeviceError::InvalidFunction);
  EXPECT_FALSE(dev->control(kKbdAnswerAvailable, nullptr, 0, out, 1));  // needs four bytes
  EXPECT_EQ(dev->error(), DeviceError::InvalidParameter);
  EXPECT_FALSE(dev->control(kKbdSendByte, nullptr, 0, out, 1));
  EXPECT_EQ(dev->error(), DeviceError::InvalidParameter);
  EXPECT_TRUE(kbd->received.empty());

  EXPECT_TRUE(dev->close());
  EXPECT_FALSE(dev->close());
  EXPECT_FALSE(dev->control(kKbdClear, nullptr, 0, out, 1));
  EXPECT_TRUE(KeyboardDevice::open(kKeyboardDeviceName));

  EXPECT_FALSE(KeyboardDevice::open("\\\\.\\NOSUCHDEVICE", &error));
  EXPECT_EQ(error, DeviceError::NotFound);
}

TEST_F(KbdDev, DriverSendsOneByteARequest) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> request;
    bool silent;
    bool ok;
    std::uint8_t out;
  };
  const Case cases[] = {
      {"byte sent, reply given", {0xEF, 0x00, 0x88, 0x00}, false, true, 0xFA},
      {"keyboard silent", {0xEF, 0x00, 0x88, 0x00}, true, false, 0x01},
      {"unknown request", {0xEE, 0x00, 0x88, 0x00}, false, false, 0x01},
      {"data wider than a byte", {0xEF, 0x00, 0x88, 0x01}, false, false, 0x01},
      {"request too short", {0xEF, 0x00, 0x88}, false, false, 0x01},
  };
  for (const Case& c : cases) {
    kbd->received.clear();
    kbd->silent = c.silent;
    auto dev = KeyboardDevice::open(kKeyboardDriverName);
    ASSERT_TRUE(dev) << c.what;
    std::uint8_t out = 0x01;
    EXPECT_EQ(dev->control(kDrvSendByte, c.request.data(), c.request.size(), &out, 1), c.ok) << c.what;
    EXPECT_EQ(out, c.out) << c.what;
    EXPECT_EQ(kbd->received.size(), c.ok || c.silent ? 1u : 0u) << c.what;
    EXPECT_TRUE(dev->close());
  }
}
