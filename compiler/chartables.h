// Character tables of the eight keyboard languages and their dead-key tables.
#pragma once

#include <cstdint>

namespace compiler {

// Value of each code page 850 character per language (0 US ... 7 SP): bits 0-7 scancode,
// bits 8-11 shift code, bits 12-15 dead-key index; 0 = typed with Alt and the numeric keypad.
extern const std::uint16_t kCharTables[8][256];

// Dead keys 1-7 per language (index 0 unused): the shift code and the scancode of the dead key;
// an entry of zeros is empty.
extern const std::uint8_t kDeadKeyTables[8][8][2];

}  // namespace compiler

