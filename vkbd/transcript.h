// Every byte that passes between host and keyboard, in order, with what it meant: the bytes the
// host sent, the keyboard's immediate replies, the scan codes it typed and the bytes it wrote on
// the serial line, and notes on what the keyboard made of them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/api.h"

namespace vkbd {

enum class Direction {
  kHost,   // a byte from the host
  kReply,  // the keyboard's immediate reply to it (FAh, FEh, the echo EEh)
  kTyped,  // a scan code the keyboard typed
  kLine,   // an answer byte the keyboard wrote on the serial line
  kNote,   // what the keyboard made of the bytes so far (no byte)
};

struct Entry {
  Direction direction;
  std::uint8_t byte;
  std::string meaning;
};

class ZPX_PLATFORM_API Transcript {
 public:
  void add(Direction d, std::uint8_t byte, std::string meaning = {});
  void note(std::string meaning) { add(Direction::kNote, 0, std::move(meaning)); }

  const std::vector<Entry>& entries() const { return entries_; }
  void clear() { entries_.clear(); }
  // Receives every entry as it is added (for --verbose and transcript files).
  void set_sink(std::function<void(const Entry&)> sink) { sink_ = std::move(sink); }
  // Keep no entries, only pass them to the sink (a long-running keyboard).
  void set_keep(bool keep) { keep_ = keep; }
  // The most entries kept; beyond it the older half is let go, so that a keyboard that lives
  // as long as its process does not grow without end.
  static constexpr std::size_t kLimit = 1u << 17;

  // The bytes in compact form, one token per byte: ">EF" host, "<FA" reply, "~31" typed,
  // "=41" written on the line; notes are left out. Tokens are separated by blanks.
  std::string compact() const;
  // One line per entry, with its meaning.
  static std::string line(const Entry& e);

 private:
  std::vector<Entry> entries_;
  std::function<void(const Entry&)> sink_;
  bool keep_ = true;
};

}  // namespace vkbd
