#include "platform/kbddev.h"

#include <strings.h>

#include <cstring>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/input_detail.h"
#include "platform/keyboard_link.h"

namespace platform {

namespace {

// Answers the NT 4.0 device keeps while it captures; more are dropped.
constexpr std::size_t kAnswerLimit = 4096;

struct Controller {
  std::mutex m;
  std::uint8_t output = 0;
  bool output_full = false;
  bool timeout = false;
  bool command_last = false;
  bool expect_command_byte = false;
  std::uint8_t command_byte = 0x41;
};

struct Nt4Device {
  std::mutex m;
  bool open = false;
  bool capturing = false;
  bool translate = true;
  std::deque<std::uint8_t> answers;
  // While a byte is with the keyboard, what it types waits here: its reply to the byte comes
  // first, as on the wire.
  int sending = 0;
  std::deque<std::uint8_t> typed_while_sending;
};

struct Driver {
  std::mutex m;
  bool open = false;
};

Controller& controller() {
  static Controller* c = new Controller;
  return *c;
}
Nt4Device& nt4() {
  static Nt4Device* d = new Nt4Device;
  return *d;
}
Driver& driver() {
  static Driver* d = new Driver;
  return *d;
}

std::optional<std::uint8_t> send_to_keyboard(std::uint8_t byte, bool& present) {
  auto link = keyboard_link();
  present = link != nullptr;
  if (!link) return std::nullopt;
  return link->host_byte(byte);
}

}  // namespace

std::uint8_t port_read(std::uint16_t port) {
  Controller& c = controller();
  std::lock_guard<std::mutex> lock(c.m);
  if (port == kKbcDataPort) {
    c.output_full = false;
    return c.output;
  }
  if (port == kKbcStatusPort) {
    std::uint8_t status = kKbcSystemFlag;
    if (c.output_full) status |= kKbcOutputFull;
    if (c.command_last) status |= kKbcCommandLast;
    if (c.timeout) status |= kKbcTimeout;
    return status;
  }
  return 0xFF;  // nothing on other ports
}

void port_write(std::uint16_t port, std::uint8_t value) {
  Controller& c = controller();
  if (port == kKbcStatusPort) {
    std::lock_guard<std::mutex> lock(c.m);
    c.command_last = true;
    c.expect_command_byte = false;
    if (value == kKbcWriteCommandByte) {
      c.expect_command_byte = true;
    } else if (value == kKbcReadCommandByte) {
      c.output = c.command_byte;
      c.output_full = true;
    }
    return;
  }
  if (port != kKbcDataPort) return;
  {
    std::lock_guard<std::mutex> lock(c.m);
    c.command_last = false;
    if (c.expect_command_byte) {
      c.expect_command_byte = false;
      c.command_byte = value;
      return;
    }
  }
  // The keyboard is called without the controller's lock: it may type while it answers.
  bool present = false;
  auto reply = send_to_keyboard(value, present);
  std::lock_guard<std::mutex> lock(c.m);
  c.timeout = !reply.has_value();
  if (reply) {
    c.output = *reply;
    c.output_full = true;
  }
}

std::uint8_t kbc_command_byte() {
  Controller& c = controller();
  std::lock_guard<std::mutex> lock(c.m);
  return c.command_byte;
}

std::unique_ptr<KeyboardDevice> KeyboardDevice::open(const std::string& name, DeviceError* error) {
  auto fail = [&](DeviceError e) {
    if (error) *error = e;
    return std::unique_ptr<KeyboardDevice>();
  };
  Kind kind;
  if (strcasecmp(name.c_str(), kKeyboardDeviceName) == 0)
    kind = Kind::Keyboard;
  else if (strcasecmp(name.c_str(), kKeyboardDriverName) == 0)
    kind = Kind::Driver;
  else
    return fail(DeviceError::NotFound);
  // Without a keyboard behind them neither device exists.
  if (!keyboard_link()) return fail(DeviceError::NotFound);
  if (kind == Kind::Keyboard) {
    Nt4Device& d = nt4();
    std::lock_guard<std::mutex> lock(d.m);
    if (d.open) return fail(DeviceError::SharingViolation);
    d.open = true;
  } else {
    Driver& d = driver();
    std::lock_guard<std::mutex> lock(d.m);
    if (d.open) return fail(DeviceError::SharingViolation);
    d.open = true;
  }
  if (error) *error = DeviceError::None;
  return std::unique_ptr<KeyboardDevice>(new KeyboardDevice(kind));
}

KeyboardDevice::~KeyboardDevice() { close(); }

bool KeyboardDevice::close() {
  if (!open_) {
    error_ = DeviceError::InvalidHandle;
    return false;
  }
  open_ = false;
  if (kind_ == Kind::Keyboard) {
    std::lock_guard<std::mutex> lock(nt4().m);
    nt4().open = false;
  } else {
    std::lock_guard<std::mutex> lock(driver().m);
    driver().open = false;
  }
  return true;
}

bool KeyboardDevice::control(std::uint32_t code, const void* in, std::size_t in_size, void* out,
                             std::size_t out_size, std::size_t* returned) {
  if (returned) *returned = 0;
  auto fail = [&](DeviceError e) {
    error_ = e;
    return false;
  };
  if (!open_) return fail(DeviceError::InvalidHandle);
  auto* out_bytes = static_cast<std::uint8_t*>(out);
  auto* in_bytes = static_cast<const std::uint8_t*>(in);
  auto need_out = [&](std::size_t n) { return out_bytes != nullptr && out_size >= n; };
  auto give = [&](std::size_t n) {
    if (returned) *returned = n;
    error_ = DeviceError::None;
    return true;
  };

  if (kind_ == Kind::Driver) {
    if (code != kDrvSendByte) return fail(DeviceError::InvalidFunction);
    if (!in_bytes || in_size < 4 || !need_out(1)) return fail(DeviceError::InvalidParameter);
    std::uint16_t request = static_cast<std::uint16_t>(in_bytes[0] | (in_bytes[1] << 8));
    std::uint16_t data = static_cast<std::uint16_t>(in_bytes[2] | (in_bytes[3] << 8));
    if (request != kDrvRequestSend || data > 0xFF) return fail(DeviceError::InvalidFunction);
    bool present = false;
    auto reply = send_to_keyboard(static_cast<std::uint8_t>(data), present);
    if (!reply) return fail(present ? DeviceError::IoError : DeviceError::NotFound);
    out_bytes[0] = *reply;
    return give(1);
  }

  Nt4Device& d = nt4();
  switch (code) {
    case kKbdTranslateOn:
    case kKbdTranslateOff:
    case kKbdCapture:
    case kKbdRelease:
    case kKbdClear: {
      if (!need_out(1)) return fail(DeviceError::InvalidParameter);
      std::lock_guard<std::mutex> lock(d.m);
      if (code == kKbdTranslateOn) d.translate = true;
      if (code == kKbdTranslateOff) d.translate = false;
      if (code == kKbdCapture) d.capturing = true;
      if (code == kKbdRelease) d.capturing = false;
      if (code == kKbdClear) d.answers.clear();
      out_bytes[0] = 0;
      return give(1);
    }
    case kKbdAnswerAvailable: {
      if (!need_out(4)) return fail(DeviceError::InvalidParameter);
      std::uint32_t n;
      {
        std::lock_guard<std::mutex> lock(d.m);
        n = static_cast<std::uint32_t>(d.answers.size());
      }
      for (int i = 0; i < 4; ++i) out_bytes[i] = static_cast<std::uint8_t>(n >> (8 * i));
      return give(4);
    }
    case kKbdAnswerGet: {
      if (!need_out(1)) return fail(DeviceError::InvalidParameter);
      std::lock_guard<std::mutex> lock(d.m);
      out_bytes[0] = 0;
      if (!d.answers.empty()) {
        out_bytes[0] = d.answers.front();
        d.answers.pop_front();
      }
      return give(1);
    }
    case kKbdSendByte: {
      if (!in_bytes || in_size < 1 || !need_out(1)) return fail(DeviceError::InvalidParameter);
      {
        std::lock_guard<std::mutex> lock(d.m);
        ++d.sending;
      }
      bool present = false;
      auto reply = send_to_keyboard(in_bytes[0], present);
      {
        std::lock_guard<std::mutex> lock(d.m);
        if (reply && d.capturing && d.answers.size() < kAnswerLimit) d.answers.push_back(*reply);
        if (--d.sending == 0) {
          for (auto b : d.typed_while_sending)
            if (d.answers.size() < kAnswerLimit) d.answers.push_back(b);
          d.typed_while_sending.clear();
        }
      }
      if (!reply) return fail(present ? DeviceError::IoError : DeviceError::NotFound);
      out_bytes[0] = *reply;
      return give(1);
    }
    default:
      return fail(DeviceError::InvalidFunction);
  }
}

void reset_keyboard_devices() {
  {
    Controller& c = controller();
    std::lock_guard<std::mutex> lock(c.m);
    c.output = 0;
    c.output_full = c.timeout = c.command_last = c.expect_command_byte = false;
    c.command_byte = 0x41;
  }
  {
    Nt4Device& d = nt4();
    std::lock_guard<std::mutex> lock(d.m);
    d.capturing = false;
    d.translate = true;
    d.answers.clear();
    d.typed_while_sending.clear();
  }
}

namespace detail {

bool capture_typed(std::uint8_t scancode) {
  Nt4Device& d = nt4();
  std::lock_guard<std::mutex> lock(d.m);
  if (!d.capturing) return false;
  auto& to = d.sending ? d.typed_while_sending : d.answers;
  if (to.size() < kAnswerLimit) to.push_back(scancode);
  return true;
}

}  // namespace detail

}  // namespace platform
