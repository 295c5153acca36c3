#include "vkbd/display.h"

namespace vkbd {

void Display::clear() {
  for (auto& r : grid_) r.fill(' ');
  row_ = 0;
  column_ = 0;
}

void Display::begin() {
  state_ = State::kFirst;
  ++sequences_;
}

void Display::put(std::uint8_t c) {
  if (column_ < kColumns) grid_[static_cast<std::size_t>(row_)][static_cast<std::size_t>(column_)] = static_cast<char>(c);
  if (column_ <= kColumns) ++column_;
  if (column_ > kColumns) column_ = kColumns;
}

void Display::byte(std::uint8_t b) {
  switch (state_) {
    case State::kIdle:
      return;  // outside a sequence nothing reaches the display
    case State::kFirst:
      state_ = State::kText;
      switch (b) {
        case 0x01: clear(); return;
        case 0xC8: state_ = State::kControl; return;
        case 0xC9: state_ = State::kCursor; return;
        case 0xC0: row_ = 0; column_ = 0; return;
        case 0xC1: row_ = 1; column_ = 0; return;
        default: put(b); return;
      }
    case State::kControl:
      on_ = (b & 0x04) != 0;
      cursor_ = (b & 0x02) != 0;
      blink_ = (b & 0x01) != 0;
      state_ = State::kText;
      return;
    case State::kCursor:
      if (b & 0x80) {
        row_ = 0;
        column_ = b & 0x7F;
      } else if (b & 0x40) {
        row_ = 1;
        column_ = b & 0x3F;
      } else {
        row_ = 0;
        column_ = b;
      }
      if (column_ > kColumns) column_ = kColumns;
      state_ = State::kText;
      return;
    case State::kText:
      put(b);
      return;
  }
}

std::string Display::row(int r) const {
  if (r < 0 || r >= kRows) return {};
  const auto& g = grid_[static_cast<std::size_t>(r)];
  return std::string(g.begin(), g.end());
}

}  // namespace vkbd
