// The exported entry points of libzpxc32.so.
#include <cstring>

#include "compiler/compile.h"
#include "compiler/render.h"
#include "zpxc32.h"

#define ZPX_EXPORT __attribute__((visibility("default")))

extern "C" ZPX_EXPORT int32_t zpxc(const char* source, const char* target, const char* listing,
                                   zpxc_progress progress) {
  try {
    return compiler::compile_entry(source, target, listing, progress);
  } catch (...) {
    return -1;
  }
}

namespace {
// The language and lock mode the library was last told about; they stay until the next call.
int g_language = 0;
bool g_shift_lock = false;
}  // namespace

extern "C" ZPX_EXPORT int32_t ScanToASCII(char* destination, const char* codes, int32_t flags, int32_t language,
                                          int32_t lock_mode, int32_t* length) {
  try {
    g_language = language & 7;
    g_shift_lock = lock_mode != 0;
    const std::size_t n = codes ? std::strlen(codes) : 0;
    const std::string text = compiler::render_codes(reinterpret_cast<const std::uint8_t*>(codes), n, flags,
                                                    g_language, g_shift_lock);
    if (destination) {
      std::memcpy(destination, text.data(), text.size());
      destination[text.size()] = '\0';
    }
    if (length) *length = static_cast<int32_t>(text.size());
  } catch (...) {
    if (destination) destination[0] = '\0';
    if (length) *length = 0;
  }
  return 0;
}
