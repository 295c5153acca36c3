// A library that turns the calling thread's message loop.
#include "platform/queue.h"

extern "C" __attribute__((visibility("default"))) int pumper_pump() {
  return static_cast<int>(platform::pump_messages());
}
