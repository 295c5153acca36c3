// How the virtual keyboard presents itself and which faults it plays, read from an INI file
// (named by ZPX_VKBD):
//
//   [Keyboard]
//   Identity   = 1          ; answer to the identity query: 0, 1, 2 or ","
//   FirmwareId = 0130       ; hexadecimal, memory bytes 0-1
//   Version    = text       ; typed (or written on the serial line) for the version request
//   Language   = 10         ; hexadecimal, memory byte 4 of a fresh memory
//   StateFile  = path       ; where the memory is kept; empty: not kept at all
//   Secure     = 1          ; the host sends every protocol byte three times
//   [Faults]
//   ResendEvery  = N        ; answer every Nth byte with FEh (send again) and ignore it
//   DropAnswer   = kind/N   ; swallow the Nth answer of a kind (identity, block, checksum,
//                           ; read, version or any); N defaults to 1
//   CorruptBlock = N        ; spoil one digit of the Nth block-read answer
//   SilentAfter  = N        ; after N bytes from the host, answer nothing at all
//   SlowAnswerMs = N        ; wait N ms of system time before every typed or written answer
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/api.h"

namespace vkbd {

enum class AnswerKind { kIdentity, kBlock, kChecksum, kRead, kVersion };

ZPX_PLATFORM_API const char* answer_kind_name(AnswerKind kind);

struct Faults {
  int resend_every = 0;
  std::optional<AnswerKind> drop_kind;  // with drop_any unset: the kind whose answer is dropped
  bool drop_any = false;
  int drop_nth = 0;                     // 0: nothing dropped
  int corrupt_block = 0;
  int silent_after = 0;                 // 0: never silent
  int slow_answer_ms = 0;
};

struct ZPX_PLATFORM_API Config {
  char identity = '1';
  std::optional<std::uint16_t> firmware_id;  // applied at every start; unset keeps the memory's
  std::string version = "Zelk virtual keyboard V1.00";
  std::uint8_t language = 0x00;              // byte 4 of a fresh memory
  std::optional<std::string> state_file;     // unset: the default place; "" keeps nothing
  bool secure = false;
  Faults faults;

  // A keyboard that answers the new download mode: packed frames, block answers, EF 12 answer.
  bool new_keyboard() const { return identity != '0'; }

  // Reads the file; a missing file gives the defaults. Values that cannot be read keep theirs.
  static Config load(const std::string& path);
  static Config from_text(const std::string& text);
  // The file named by ZPX_VKBD (defaults when unset).
  static Config from_environment();
};

// Where the memory is kept: ZPX_VKBD_STATE when set, else the configuration's StateFile, else
// $XDG_STATE_HOME/zelk/vkbd.bin, else ~/.local/state/zelk/vkbd.bin. An empty result means the
// memory lives only as long as the keyboard.
ZPX_PLATFORM_API std::string state_path(const Config& config);

}  // namespace vkbd
