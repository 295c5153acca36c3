#include "compiler/context.h"

#include "common/zpx_format.h"
#include "compiler/messages.h"

namespace compiler {

Context::Context() : keys(kKeyCount) {
  std::copy(std::begin(zpx::kMagic), std::end(zpx::kMagic), image.begin());
  image[zpx::kOffSndkVolume] = 0x55;
  image[zpx::kOffSndkDuration] = 0x02;
  image[zpx::kOffSndaVolume] = 0xFF;
  image[zpx::kOffSndaDuration] = 0x14;
  const std::uint8_t hotkeys[6] = {0x00, 0x04, 0x54, 0x04, 0x04, 0x54};
  std::copy(std::begin(hotkeys), std::end(hotkeys), image.begin() + zpx::kOffHotkey0);
  blocks[zpx::kBlockModel] = {true, {0x01, 0xBF, 0x00, 0x00}};
  blocks[zpx::kBlockTypematic] = {true, {0x2C}};
  for (auto& d : custom_deadkeys) d = {0x20, 0x20};
}

void Context::print(const std::string& text) {
  if (listing) std::fwrite(text.data(), 1, text.size(), listing);
}

void Context::error(const std::string& message) {
  // The echo is the line as a C string: a zero byte read from the source ends it.
  const std::string_view line(raw_line.c_str());
  print(fill(fill(text(Msg::ErrorEcho), line_counter), line));
  print(fill(fill(text(Msg::ErrorLine), line_counter), message));
  ++error_count;
}

}  // namespace compiler
