// Windows-1252 texts: the system's texts cross every boundary as these single bytes.
#pragma once

#include <string>

#include "platform/api.h"

namespace platform {

// Converts Windows-1252 bytes to UTF-8 (for terminals and toolkits).
ZPX_PLATFORM_API std::string cp1252_to_utf8(const std::string& text);
// Converts UTF-8 to Windows-1252; characters it cannot hold and malformed sequences become '?'.
ZPX_PLATFORM_API std::string utf8_to_cp1252(const std::string& text);

// The bytes of a text file as Windows-1252: a file with a UTF-16 byte-order mark (as Windows
// editors write "Unicode" files) or a UTF-8 byte-order mark is converted, any other file is taken
// as Windows-1252 already.
ZPX_PLATFORM_API std::string text_file_to_cp1252(const std::string& bytes);

}  // namespace platform
