#include "vkbd/keyboard.h"

#include <cstdio>

#include "platform/clock.h"

namespace vkbd {

namespace {

constexpr std::uint8_t kAck = 0xFA;
constexpr std::uint8_t kResend = 0xFE;
constexpr std::uint8_t kEcho = 0xEE;
constexpr std::uint16_t kDefaultFirmwareId = 0x0130;

std::string hex2(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", v & 0xFFu);
  return buf;
}

}  // namespace

Keyboard::Keyboard(Config config, std::string state_path, Typist typist)
    : config_(std::move(config)),
      state_path_(std::move(state_path)),
      typist_(std::move(typist)),
      engine_(config_, memory_, display_, peripherals_, transcript_,
              Engine::Hooks{[this](AnswerKind kind, std::string text) {
                              pending_.push_back({kind, std::move(text)});
                            },
                            [this] { persist(); }}) {
  if (!memory_.load(state_path_)) {
    memory_.write(4, std::span<const std::uint8_t>(&config_.language, 1));
    memory_.set_firmware_id(kDefaultFirmwareId);
    memory_.update_checksum();
  }
  if (config_.firmware_id) memory_.set_firmware_id(*config_.firmware_id);
}

std::shared_ptr<Keyboard> Keyboard::from_environment(Typist typist) {
  Config config = Config::from_environment();
  std::string path = vkbd::state_path(config);
  return std::make_shared<Keyboard>(std::move(config), std::move(path), std::move(typist));
}

Keyboard::Fault Keyboard::host_fault(std::uint8_t b) {
  ++host_bytes_;
  const Faults& f = config_.faults;
  if (f.silent_after > 0 && host_bytes_ > f.silent_after) {
    transcript_.add(Direction::kHost, b, "no reply: the keyboard has fallen silent");
    return Fault::kSilent;
  }
  if (f.resend_every > 0 && host_bytes_ % f.resend_every == 0) {
    transcript_.add(Direction::kHost, b, "not taken");
    transcript_.add(Direction::kReply, kResend, "send again");
    return Fault::kResend;
  }
  return Fault::kNone;
}

std::optional<std::uint8_t> Keyboard::host_byte(std::uint8_t b) {
  std::vector<std::uint8_t> typed;
  {
    std::lock_guard lock(mutex_);
    switch (host_fault(b)) {
      case Fault::kSilent: return std::nullopt;
      case Fault::kResend: return kResend;
      case Fault::kNone: break;
    }
    if (config_.secure && !repeats_.take(b)) {
      transcript_.add(Direction::kHost, b, "repetition");
      transcript_.add(Direction::kReply, kAck, "acknowledge");
      return kAck;
    }
    std::string meaning;
    auto decoded = port_.feed(b, engine_.takes_raw_bytes(), meaning);
    peripherals_.keyboard_leds = port_.leds();
    transcript_.add(Direction::kHost, b, meaning);
    transcript_.add(Direction::kReply, kAck, "acknowledge");
    if (decoded) engine_.byte(decoded->byte, decoded->context);
    typed = take_answers(Transport::kPort);
  }
  if (!typed.empty()) {
    if (config_.faults.slow_answer_ms > 0) platform::sleep_ms(config_.faults.slow_answer_ms);
    type(typed);
  }
  return kAck;
}

void Keyboard::line_byte(std::uint8_t b, const LineWriter& write) {
  std::vector<std::uint8_t> reply, answer;
  {
    std::lock_guard lock(mutex_);
    switch (host_fault(b)) {
      case Fault::kSilent: return;
      case Fault::kResend: reply = {kResend}; break;
      case Fault::kNone:
        if (config_.secure && !repeats_.take(b)) {
          transcript_.add(Direction::kHost, b, "repetition");
          transcript_.add(Direction::kReply, kAck, "acknowledge");
          reply = {kAck};
        } else if (b == kEcho && !engine_.takes_any_byte()) {
          // A frame the host left unfinished does not stand in the way of its echo test.
          if (!engine_.idle()) engine_.abandon("command broken off by an echo request");
          transcript_.add(Direction::kHost, b, "echo request");
          transcript_.add(Direction::kReply, kEcho, "echo");
          reply = {kEcho};
        } else {
          transcript_.add(Direction::kHost, b);
          transcript_.add(Direction::kReply, kAck, "acknowledge");
          reply = {kAck};
          engine_.byte(b, Context::kRaw);
          answer = take_answers(Transport::kLine);
        }
        break;
    }
  }
  if (write) write(reply);
  if (!answer.empty()) {
    if (config_.faults.slow_answer_ms > 0) platform::sleep_ms(config_.faults.slow_answer_ms);
    if (write) write(answer);
  }
}

std::vector<std::uint8_t> Keyboard::line_bytes(std::uint8_t b) {
  std::vector<std::uint8_t> out;
  line_byte(b, [&](const std::vector<std::uint8_t>& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); });
  return out;
}

std::vector<std::uint8_t> Keyboard::take_answers(Transport transport) {
  std::vector<std::uint8_t> out;
  const Faults& f = config_.faults;
  for (auto& p : pending_) {
    const char* name = answer_kind_name(p.kind);
    int of_kind = ++answers_of_kind_[static_cast<std::size_t>(p.kind)];
    int any = ++answers_;
    if (f.drop_nth > 0 && ((f.drop_any && any == f.drop_nth) || (f.drop_kind == p.kind && of_kind == f.drop_nth))) {
      transcript_.note(std::string(name) + " answer dropped");
      continue;
    }
    std::string text = p.text;
    if (p.kind == AnswerKind::kRead && ++reads_ == f.corrupt_block && !text.empty()) {
      int v = hex_digit_value(static_cast<std::uint8_t>(text[0]));
      text[0] = hex_digit_char(static_cast<unsigned>(v ^ 1));
      transcript_.note("block read answer corrupted");
    }
    std::vector<std::uint8_t> bytes;
    if (transport == Transport::kLine) {
      bytes.assign(text.begin(), text.end());
    } else if (p.kind == AnswerKind::kVersion) {
      bytes = type_text(text);
    } else if (p.kind == AnswerKind::kRead) {
      for (char c : text)
        if (auto key = hex_key(c)) press_release(bytes, *key);
    } else {
      // Answer bytes are typed as the scan code of their own value.
      for (char c : text) press_release(bytes, static_cast<std::uint8_t>(c & 0x7F));
    }
    for (std::uint8_t byte : bytes) {
      if (transport == Transport::kLine) {
        transcript_.add(Direction::kLine, byte, name);
      } else {
        transcript_.add(Direction::kTyped, byte, std::string(name) + (byte & kBreakBit ? " break" : " make"));
      }
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  pending_.clear();
  return out;
}

void Keyboard::type(const std::vector<std::uint8_t>& codes) {
  for (std::uint8_t c : codes) {
    if (typist_) {
      typist_(c);
    } else {
      platform::keyboard_typed(c);
    }
  }
}

void Keyboard::type_block(Marker marker, std::string_view data) {
  std::vector<std::uint8_t> codes;
  {
    std::lock_guard lock(mutex_);
    auto m = static_cast<std::uint8_t>(marker);
    press_release(codes, m);
    auto text = type_text(data);
    codes.insert(codes.end(), text.begin(), text.end());
    press_release(codes, m);
    transcript_.note("peripheral data, marker " + hex2(m) + "h: \"" + std::string(data) + "\"");
    for (std::uint8_t c : codes) transcript_.add(Direction::kTyped, c, c == m ? "marker" : "");
  }
  type(codes);
}

bool Keyboard::type_msr_track(int track, std::string_view data) {
  static constexpr Marker kTracks[] = {Marker::kTrack1, Marker::kTrack2, Marker::kTrack3};
  if (track < 1 || track > 3) return false;
  type_block(kTracks[track - 1], data);
  return true;
}

void Keyboard::type_barcode(std::string_view data) { type_block(Marker::kBarcode, data); }
void Keyboard::type_keylock(std::string_view position) { type_block(Marker::kKeylock, position); }
void Keyboard::type_function_card(std::string_view data) { type_block(Marker::kFunctionCard, data); }

Memory Keyboard::memory() const {
  std::lock_guard lock(mutex_);
  return memory_;
}

Display Keyboard::display() const {
  std::lock_guard lock(mutex_);
  return display_;
}

Peripherals Keyboard::peripherals() const {
  std::lock_guard lock(mutex_);
  return peripherals_;
}

std::vector<Entry> Keyboard::transcript() const {
  std::lock_guard lock(mutex_);
  return transcript_.entries();
}

std::string Keyboard::transcript_compact() const {
  std::lock_guard lock(mutex_);
  return transcript_.compact();
}

void Keyboard::clear_transcript() {
  std::lock_guard lock(mutex_);
  transcript_.clear();
}

void Keyboard::set_transcript_sink(std::function<void(const Entry&)> sink, bool keep) {
  std::lock_guard lock(mutex_);
  transcript_.set_sink(std::move(sink));
  transcript_.set_keep(keep);
}

void Keyboard::persist() {
  if (state_path_.empty()) return;
  std::string error;
  if (!memory_.save(state_path_, &error)) transcript_.note("memory not kept: " + error);
}

bool Keyboard::save(std::string* error) const {
  std::lock_guard lock(mutex_);
  if (state_path_.empty()) return true;
  return memory_.save(state_path_, error);
}

std::shared_ptr<Keyboard> default_keyboard() {
  static const std::shared_ptr<Keyboard> keyboard = Keyboard::from_environment();
  return keyboard;
}

}  // namespace vkbd

std::shared_ptr<platform::KeyboardLink> vkbd_default_link() { return vkbd::default_keyboard(); }
