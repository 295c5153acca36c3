// Key labels per language, for rendering code strings as text.
#pragma once

namespace compiler {

// Key labels per language (0 US ... 7 SP) and key index 0-55: variant 0 (unshifted), 1 (shifted),
// 2 (Caps Lock on), as code page 850 text; "{" is written "{{".
extern const char* const kKeyLabels[8][56][3];

}  // namespace compiler
