// Loading libraries by file name and binding their functions by name.
//
// A Windows-style name ("zpxc32.dll", "ZPXFUNC.DLL") maps without regard to case to the shared
// object lib<name>.so ("libzpxc32.so", "libzpxfunc.so"). It is searched in the folder of the
// running executable, then in each folder of ZPX_LIBRARY_PATH (colon-separated), then by the
// system's own search. A name that contains a "/" is a path and is loaded as given.
#pragma once

#include <string>

#include "platform/api.h"

namespace platform {

class ZPX_PLATFORM_API Library {
 public:
  Library() = default;
  ~Library();
  Library(Library&& other) noexcept;
  Library& operator=(Library&& other) noexcept;
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // Loads the library; on failure the result is not loaded() and error() says why.
  static Library load(const std::string& name);

  bool loaded() const { return handle_ != nullptr; }
  explicit operator bool() const { return loaded(); }

  // Address of an exported function, or nullptr (error() then says why).
  void* symbol(const std::string& name);
  template <typename Fn>
  Fn bind(const std::string& name) {
    return reinterpret_cast<Fn>(symbol(name));
  }

  // Full path of the loaded file; empty when nothing is loaded.
  std::string path() const;

  // Releases the library now (also done by the destructor). Safe to call twice.
  void release();

  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

// The file name a Windows-style library name maps to ("ZPXI32.DLL" -> "libzpxi32.so").
ZPX_PLATFORM_API std::string shared_object_name(const std::string& name);

}  // namespace platform
