#include "vkbd/transcript.h"

#include <cstdio>

namespace vkbd {

namespace {

const char* prefix(Direction d) {
  switch (d) {
    case Direction::kHost: return ">";
    case Direction::kReply: return "<";
    case Direction::kTyped: return "~";
    case Direction::kLine: return "=";
    case Direction::kNote: return "#";
  }
  return "?";
}

std::string hex(std::uint8_t b) {
  char buf[3];
  std::snprintf(buf, sizeof buf, "%02X", b);
  return buf;
}

}  // namespace

void Transcript::add(Direction d, std::uint8_t byte, std::string meaning) {
  Entry e{d, byte, std::move(meaning)};
  if (sink_) sink_(e);
  if (!keep_) return;
  if (entries_.size() >= kLimit)
    entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(kLimit / 2));
  entries_.push_back(std::move(e));
}

std::string Transcript::compact() const {
  std::string out;
  for (const auto& e : entries_) {
    if (e.direction == Direction::kNote) continue;
    if (!out.empty()) out += ' ';
    out += prefix(e.direction);
    out += hex(e.byte);
  }
  return out;
}

std::string Transcript::line(const Entry& e) {
  if (e.direction == Direction::kNote) return std::string("# ") + e.meaning;
  std::string s = std::string(prefix(e.direction)) + hex(e.byte);
  if (!e.meaning.empty()) s += "  " + e.meaning;
  return s;
}

}  // namespace vkbd
