#include "vkbd/protocol.h"

#include <cstdio>

namespace vkbd {

namespace {

constexpr std::uint8_t kPrefix = 0xEF;
constexpr std::uint8_t kDisplayPrefix = 0xEC;
constexpr std::uint8_t kEnable = 0xF4;
constexpr std::uint8_t kReset = 0x88;

constexpr std::size_t kHexHeaderDigits = 8;   // address 4, length 2, header sum 2
constexpr std::size_t kPackedBytes = 16;      // 15 tagged bytes and the check byte
constexpr std::size_t kTextLimit = 512;       // longest peripheral text kept

std::string format(const char* fmt, unsigned a, unsigned b = 0, unsigned c = 0) {
  char buf[96];
  std::snprintf(buf, sizeof buf, fmt, a, b, c);
  return buf;
}

}  // namespace

char hex_digit_char(unsigned value) { return "0123456789ABCDEF"[value & 0x0F]; }

int hex_digit_value(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Engine::Engine(const Config& config, Memory& memory, Display& display, Peripherals& peripherals,
               Transcript& transcript, Hooks hooks)
    : config_(config),
      memory_(memory),
      display_(display),
      peripherals_(peripherals),
      transcript_(transcript),
      hooks_(std::move(hooks)) {}

void Engine::reset() {
  if (state_ == State::kDisplay) display_.end();
  state_ = State::kIdle;
  nibbles_ = false;
  collected_.clear();
}

void Engine::abandon(const char* why) {
  transcript_.note(why);
  reset();
}

void Engine::answer(AnswerKind kind, std::string text) {
  if (hooks_.answer) hooks_.answer(kind, std::move(text));
}

void Engine::byte(std::uint8_t b, Context context) {
  // The nibble marker tells a display byte from a command byte even where the prefix that
  // chose it never travelled: a display byte opens a display sequence, a command byte ends one.
  if (context == Context::kNibbleEC && state_ != State::kDisplay) {
    if (state_ != State::kIdle) abandon("command broken off by a display sequence");
    state_ = State::kDisplay;
    nibbles_ = true;
    display_.begin();
    transcript_.note("display sequence (ECh)");
  } else if (context == Context::kNibbleEF && state_ == State::kDisplay) {
    abandon("display sequence broken off by a command");
  }

  switch (state_) {
    case State::kIdle:
      if (context == Context::kNibbleEF) {
        nibbles_ = true;
        command(b);
        return;
      }
      nibbles_ = false;
      if (b == kPrefix) {
        state_ = State::kCommand;
      } else if (b == kDisplayPrefix) {
        state_ = State::kDisplay;
        display_.begin();
        transcript_.note("display sequence (ECh)");
      } else if (b == kEnable) {
        transcript_.note("keyboard enable");
      } else if (b == kReset) {
        transcript_.note("reset");
      } else {
        transcript_.note(format("byte %02Xh ignored", b));
      }
      return;
    case State::kCommand:
      command(b);
      return;
    case State::kFrameStart:
      if (hex_digit_value(b) >= 0) {
        state_ = State::kHexFrame;
        hex_digit(b);
      } else if ((b & 0xC0) == 0x80) {
        state_ = State::kPackedFrame;
        packed_byte(b);
      } else {
        abandon("block write without a frame");
        byte(b, context);
      }
      return;
    case State::kHexFrame:
      if (hex_digit_value(b) < 0) {
        abandon("hex frame broken off");
        byte(b, context);
        return;
      }
      hex_digit(b);
      return;
    case State::kPackedFrame:
      packed_byte(b);
      return;
    case State::kReadRequest:
      if (hex_digit_value(b) < 0) {
        abandon("block read request broken off");
        byte(b, context);
        return;
      }
      read_digit(b);
      return;
    case State::kText:
      if (b == 0) {
        std::string text(collected_.begin(), collected_.end());
        if (command_ == 0x27) {
          peripherals_.barcode_config = text;
          transcript_.note("barcode configuration \"" + text + "\"");
        } else {
          peripherals_.barcode_data = text;
          transcript_.note("barcode data \"" + text + "\"");
        }
        reset();
      } else if (collected_.size() < kTextLimit) {
        collected_.push_back(b);
      }
      return;
    case State::kValue:
      peripherals_.msr_tracks = b;
      transcript_.note(format("MSR tracks %u", b));
      reset();
      return;
    case State::kDisplay:
      if (b == 0) {
        reset();
      } else {
        display_.byte(b);
      }
      return;
  }
}

void Engine::command(std::uint8_t cmd) {
  command_ = cmd;
  collected_.clear();
  state_ = State::kIdle;
  switch (cmd) {
    case 0x00:
      transcript_.note(std::string("identity query: answer '") + config_.identity + "'");
      answer(AnswerKind::kIdentity, std::string(1, config_.identity));
      break;
    case kReset:
      transcript_.note("reset");
      break;
    case 0x0F:
    case 0x55:
      state_ = State::kFrameStart;
      break;
    case 0x12: {
      std::uint16_t sum = memory_.update_checksum();
      transcript_.note(format("checksum update: %04X over 0004h-%04Xh", sum, memory_.length() ? memory_.length() - 1u : 0u));
      if (hooks_.memory_changed) hooks_.memory_changed();
      if (config_.new_keyboard()) answer(AnswerKind::kChecksum, std::string(1, '\x02'));
      break;
    }
    case 0x0E:
      state_ = State::kReadRequest;
      break;
    case 0x10:
      transcript_.note("version request");
      answer(AnswerKind::kVersion, config_.version);
      break;
    case 0x18: peripherals_.msr_autoinput = true; transcript_.note("MSR automatic input on"); break;
    case 0x19: peripherals_.msr_autoinput = false; transcript_.note("MSR automatic input off"); break;
    case 0x1B: peripherals_.fc_autoinput = true; transcript_.note("function card automatic input on"); break;
    case 0x1C: peripherals_.fc_autoinput = false; transcript_.note("function card automatic input off"); break;
    case 0x1E: peripherals_.kl_autoinput = true; transcript_.note("keylock automatic input on"); break;
    case 0x1F: peripherals_.kl_autoinput = false; transcript_.note("keylock automatic input off"); break;
    case 0x21: peripherals_.bar_autoinput = true; transcript_.note("barcode automatic input on"); break;
    case 0x22: peripherals_.bar_autoinput = false; transcript_.note("barcode automatic input off"); break;
    case 0x24: peripherals_.kvk_mode = 2; transcript_.note("KVK mode 2"); break;
    case 0x25: peripherals_.kvk_mode = 1; transcript_.note("KVK mode 1"); break;
    case 0x1A: case 0x1D: case 0x20: case 0x23: case 0x26:
      transcript_.note(format("read request %02Xh: no data waiting", cmd));
      break;
    case 0x27:
    case 0x28:
      state_ = State::kText;
      break;
    case 0x2B:
      ++peripherals_.beeps;
      transcript_.note("beep");
      break;
    case 0x31: transcript_.note("MSR data deleted"); break;
    case 0x32: peripherals_.fat_finger = false; transcript_.note("fat finger off"); break;
    case 0x33: peripherals_.fat_finger = true; transcript_.note("fat finger on"); break;
    case 0x36:
      state_ = State::kValue;
      break;
    case 0x37: transcript_.note("MSR read cancelled"); break;
    case 0x42: case 0x43: case 0x44:
      peripherals_.msr_leds = cmd - 0x42;
      transcript_.note(format("MSR LEDs %u", cmd - 0x42u));
      break;
    case 0x57: transcript_.note("secure download start"); break;
    default:
      transcript_.note(format("command %02Xh ignored", cmd));
      break;
  }
}

void Engine::hex_digit(std::uint8_t b) {
  collected_.push_back(static_cast<std::uint8_t>(hex_digit_value(b)));
  if (collected_.size() < kHexHeaderDigits) return;
  std::size_t length = static_cast<std::size_t>(collected_[4] << 4 | collected_[5]);
  if (collected_.size() == kHexHeaderDigits + 2 * length + 2) finish_hex_frame();
}

void Engine::finish_hex_frame() {
  const auto& d = collected_;
  unsigned address = static_cast<unsigned>(d[0] << 12 | d[1] << 8 | d[2] << 4 | d[3]);
  std::size_t length = static_cast<std::size_t>(d[4] << 4 | d[5]);
  unsigned header_sum = 0;
  for (std::size_t i = 0; i < 6; ++i) header_sum += d[i];
  header_sum &= 0xFF;
  unsigned header_sent = static_cast<unsigned>(d[6] << 4 | d[7]);
  std::vector<std::uint8_t> data;
  unsigned data_sum = 0;
  for (std::size_t i = 0; i < length; ++i) {
    std::uint8_t hi = d[kHexHeaderDigits + 2 * i], lo = d[kHexHeaderDigits + 2 * i + 1];
    data.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    data_sum += hi + lo;
  }
  data_sum &= 0xFF;
  unsigned data_sent = static_cast<unsigned>(d[d.size() - 2] << 4 | d.back());
  const char* kind = command_ == 0x55 ? "serial-number " : "";
  if (header_sum != header_sent) {
    transcript_.note(format("hex frame refused: header sum %02X, sent %02X", header_sum, header_sent));
  } else if (data_sum != data_sent) {
    transcript_.note(format("hex frame refused: data sum %02X, sent %02X", data_sum, data_sent));
  } else if (address + length > kMemorySize) {
    transcript_.note(format("hex frame refused: %04Xh + %u bytes is beyond the memory", address,
                            static_cast<unsigned>(length)));
  } else {
    memory_.write(address, data);
    transcript_.note(std::string(kind) +
                     format("block write %04Xh, %u bytes (hex frame)", address, static_cast<unsigned>(length)));
    if (hooks_.memory_changed) hooks_.memory_changed();
  }
  reset();
}

void Engine::packed_byte(std::uint8_t b) {
  static constexpr std::uint8_t kTags[3] = {0x80, 0x40, 0x00};
  std::size_t i = collected_.size();
  if (i < kPackedBytes - 1 && (b & 0xC0) != kTags[i % 3]) {
    abandon("packed frame broken off");
    byte(b, nibbles_ ? Context::kNibbleEF : Context::kRaw);
    return;
  }
  collected_.push_back(b);
  if (collected_.size() == kPackedBytes) finish_packed_frame();
}

void Engine::finish_packed_frame() {
  const auto& f = collected_;
  unsigned address = static_cast<unsigned>((f[0] & 0x3F) << 10 | (f[1] & 0x3F) << 4 | (f[2] & 0x0F));
  unsigned sequence = (f[2] >> 4) & 3u;
  std::uint8_t check = 0;
  for (std::size_t i = 0; i < 15; ++i) check ^= f[i];
  check &= 0x3F;
  // Twelve groups of six bits: d0..d7 and their XOR, most significant bit first.
  std::uint8_t bytes[9] = {};
  for (std::size_t bit = 0; bit < 72; ++bit) {
    std::size_t group = bit / 6, in_group = bit % 6;
    unsigned v = (f[3 + group] >> (5 - in_group)) & 1u;
    bytes[bit / 8] = static_cast<std::uint8_t>(bytes[bit / 8] | v << (7 - bit % 8));
  }
  std::uint8_t x = 0;
  for (int i = 0; i < 8; ++i) x ^= bytes[i];

  if (!config_.new_keyboard()) {
    transcript_.note("packed frame not understood by an old keyboard");
  } else if (check != f[15] || x != bytes[8]) {
    transcript_.note(format("packed frame %04Xh refused: ", address) +
                     (check != f[15] ? "check byte" : "data XOR"));
    answer(AnswerKind::kBlock, std::string(1, '\x10'));
  } else {
    memory_.write(address, std::span<const std::uint8_t>(bytes, 8));
    transcript_.note(std::string(command_ == 0x55 ? "serial-number " : "") +
                     format("block write %04Xh, 8 bytes (packed frame, sequence %u)", address, sequence));
    if (hooks_.memory_changed) hooks_.memory_changed();
    answer(AnswerKind::kBlock, std::string(1, static_cast<char>(0x20 + sequence)));
  }
  reset();
}

void Engine::read_digit(std::uint8_t b) {
  collected_.push_back(static_cast<std::uint8_t>(hex_digit_value(b)));
  if (collected_.size() == kHexHeaderDigits) finish_read_request();
}

void Engine::finish_read_request() {
  const auto& d = collected_;
  unsigned address = static_cast<unsigned>(d[0] << 12 | d[1] << 8 | d[2] << 4 | d[3]);
  unsigned length = static_cast<unsigned>(d[4] << 4 | d[5]);
  unsigned sum = 0;
  for (std::size_t i = 0; i < 6; ++i) sum += d[i];
  sum &= 0xFF;
  unsigned sent = static_cast<unsigned>(d[6] << 4 | d[7]);
  reset();
  if (sum != sent) {
    transcript_.note(format("block read request refused: sum %02X, sent %02X", sum, sent));
    return;
  }
  // Addresses beyond the memory read as 00h, so the answer always has the requested length.
  std::string text;
  unsigned data_sum = 0;
  for (unsigned i = 0; i < length; ++i) {
    std::uint8_t v = memory_.at(address + i);
    text += hex_digit_char(v >> 4);
    text += hex_digit_char(v);
    data_sum += (v >> 4) + (v & 0x0Fu);
  }
  data_sum &= 0xFF;
  text += hex_digit_char(data_sum >> 4);
  text += hex_digit_char(data_sum);
  transcript_.note(format("block read %04Xh, %u bytes", address, length));
  answer(AnswerKind::kRead, std::move(text));
}

}  // namespace vkbd
