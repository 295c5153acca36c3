// Starting other programs.
#pragma once

#include <string>

#include "platform/api.h"

namespace platform {

// Opens a text file in a viewer without waiting for it: $VISUAL, then $EDITOR (in a terminal
// emulator when one is available and the editor needs a terminal), then xdg-open. Returns false
// when no viewer could be started.
ZPX_PLATFORM_API bool open_text_viewer(const std::string& path);

// Path of the running executable and its folder.
ZPX_PLATFORM_API std::string executable_path();
ZPX_PLATFORM_API std::string executable_dir();

}  // namespace platform
