// The exported entry points of libzpxc32.so.
#include "compiler/compile.h"
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
