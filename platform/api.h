// Visibility of the platform layer's interface: everything else in the library stays hidden.
#pragma once

#define ZPX_PLATFORM_API __attribute__((visibility("default")))
