// Windows-1252 texts: the system's texts cross every boundary as these single bytes.
#pragma once

#include <string>

#include "platform/api.h"

namespace platform {

// Converts Windows-1252 bytes to UTF-8 (for terminals and toolkits).
ZPX_PLATFORM_API std::string cp1252_to_utf8(const std::string& text);
// Converts UTF-8 to Windows-1252; characters it cannot hold become '?'.
ZPX_PLATFORM_API std::string utf8_to_cp1252(const std::string& text);

}  // namespace platform
