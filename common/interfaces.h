// Interface identifiers of the keyboard interface library.
#pragma once

namespace zpx {

enum InterfaceId : int {
  kInterfaceAuto = 0,     // choose from the system version
  kInterfacePort95 = 1,   // keyboard controller ports (Windows 95/98/ME path)
  kInterfaceNt4 = 2,      // NT 4.0 keyboard device
  kInterfaceDriver = 3,   // 2000/XP keyboard driver
  kInterfaceUsb = 4,      // USB through the key-hook component
};

// The caller-owned interface string: names the interface on entry, receives the result text.
inline constexpr int kInterfaceStringSize = 260;

}  // namespace zpx
