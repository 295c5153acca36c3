// The virtual POS keyboard: memory, command protocol, answers, peripherals and faults, seen from
// the host either on the keyboard port (a byte in, FAh/FEh back, answers typed as scan codes)
// or on a serial line (a byte in, the acknowledge or echo back, answers written on the line).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/api.h"
#include "platform/keyboard_link.h"
#include "vkbd/config.h"
#include "vkbd/display.h"
#include "vkbd/keys.h"
#include "vkbd/memory.h"
#include "vkbd/port.h"
#include "vkbd/protocol.h"
#include "vkbd/transcript.h"

namespace vkbd {

class ZPX_PLATFORM_API Keyboard : public platform::KeyboardLink {
 public:
  // Receives each scan code the keyboard types, in order. Unset: the platform's input routing.
  using Typist = std::function<void(std::uint8_t)>;
  // Receives bytes the keyboard writes on the serial line.
  using LineWriter = std::function<void(const std::vector<std::uint8_t>&)>;

  // The memory is read from state_path ("" keeps none); a missing or unfit file starts from a
  // fresh memory.
  Keyboard(Config config, std::string state_path, Typist typist = {});
  // Configured by ZPX_VKBD, memory kept where ZPX_VKBD_STATE (or the default) says.
  static std::shared_ptr<Keyboard> from_environment(Typist typist = {});

  // Keyboard port.
  std::optional<std::uint8_t> host_byte(std::uint8_t b) override;
  // Serial line: the reply (echo or acknowledge) and any answer go to write, the answer after
  // the configured delay.
  void line_byte(std::uint8_t b, const LineWriter& write);
  std::vector<std::uint8_t> line_bytes(std::uint8_t b);

  // Peripheral data, typed between the marker keys of its kind. A track outside 1-3 types
  // nothing and gives false.
  bool type_msr_track(int track, std::string_view data);
  void type_barcode(std::string_view data);
  void type_keylock(std::string_view position);
  void type_function_card(std::string_view data);

  // Snapshots of the keyboard's state.
  Memory memory() const;
  Display display() const;
  Peripherals peripherals() const;
  std::vector<Entry> transcript() const;
  std::string transcript_compact() const;
  void clear_transcript();
  void set_transcript_sink(std::function<void(const Entry&)> sink, bool keep = true);

  const std::string& state_path() const { return state_path_; }
  // Writes the state file now (also done after every completed write and checksum update).
  bool save(std::string* error = nullptr) const;

 private:
  enum class Transport { kPort, kLine };
  struct Pending {
    AnswerKind kind;
    std::string text;
  };

  // Counts a byte from the host against the faults; returns the reply that replaces normal
  // handling (FEh, or nullopt for silence) when one applies.
  enum class Fault { kNone, kSilent, kResend };
  Fault host_fault(std::uint8_t b);
  std::vector<std::uint8_t> take_answers(Transport transport);
  void type_block(Marker marker, std::string_view data);
  void type(const std::vector<std::uint8_t>& codes);
  void persist();

  Config config_;
  std::string state_path_;
  Typist typist_;

  mutable std::mutex mutex_;
  Memory memory_;
  Display display_;
  Peripherals peripherals_;
  Transcript transcript_;
  Engine engine_;
  PortDecoder port_;
  RepeatFilter repeats_;
  std::vector<Pending> pending_;

  long host_bytes_ = 0;
  std::array<int, 5> answers_of_kind_{};
  int answers_ = 0;
  int reads_ = 0;
};

// The process's keyboard behind the platform's default keyboard link.
ZPX_PLATFORM_API std::shared_ptr<Keyboard> default_keyboard();

}  // namespace vkbd

// The default keyboard link of the platform: the process's virtual keyboard.
std::shared_ptr<platform::KeyboardLink> vkbd_default_link();
