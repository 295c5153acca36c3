// Rendering a code string as readable ZPF text (the reverse of the scancode conversion).
#pragma once

#include <cstdint>
#include <string>

namespace compiler {

inline constexpr std::size_t kRenderMax = 127;  // characters of the rendered text

// Renders codes (scan code set 1 and the special bytes) in brace notation for a language and lock
// mode; flags are the modifiers held before the string (bit 3 Alt, 2 Ctrl, 1 Shift, 0 right Shift).
std::string render_codes(const std::uint8_t* codes, std::size_t length, int flags, int language, bool shift_lock);

}  // namespace compiler
