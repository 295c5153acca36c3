// Starting other programs.
#pragma once

#include <string>

#include "platform/api.h"

namespace platform {

// Opens a text file in a viewer without waiting for it: $VISUAL, then $EDITOR (in its own
// x-terminal-emulator window when a display is present and standard input is no terminal, in the
// current terminal when it is one, else not at all), then xdg-open. The viewer runs in its own
// session. Returns false when no viewer could be started (none on PATH, or its start failed).
ZPX_PLATFORM_API bool open_text_viewer(const std::string& path);

// Path of the running executable and its folder.
ZPX_PLATFORM_API std::string executable_path();
ZPX_PLATFORM_API std::string executable_dir();

}  // namespace platform
