#include "platform/library.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "platform/process.h"
#include "platform/text_util.h"

namespace platform {

std::string shared_object_name(const std::string& name) {
  std::string base = detail::lower(name);
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".dll") == 0) base.resize(base.size() - 4);
  if (base.size() > 3 && base.compare(base.size() - 3, 3, ".so") == 0) base.resize(base.size() - 3);
  if (base.rfind("lib", 0) != 0) base = "lib" + base;
  return base + ".so";
}

namespace {

void* try_open(const std::string& path, std::string& error) {
  dlerror();
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* e = dlerror();
    if (error.empty() && e) error = e;
  }
  return h;
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

Library::~Library() { release(); }

Library::Library(Library&& other) noexcept : handle_(other.handle_), error_(std::move(other.error_)) {
  other.handle_ = nullptr;
}

Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    release();
    handle_ = other.handle_;
    error_ = std::move(other.error_);
    other.handle_ = nullptr;
  }
  return *this;
}

Library Library::load(const std::string& name) {
  Library lib;
  if (name.empty()) {
    lib.error_ = "empty library name";
    return lib;
  }
  if (name.find('/') != std::string::npos) {
    lib.handle_ = try_open(name, lib.error_);
    return lib;
  }
  const std::string file = shared_object_name(name);
  std::string error;
  // The running program's folder first, as the system the libraries come from searches it.
  const std::string exe_dir = executable_dir();
  if (!exe_dir.empty() && exists(exe_dir + "/" + file)) {
    lib.handle_ = try_open(exe_dir + "/" + file, error);
    if (lib.handle_) return lib;
  }
  if (const char* paths = std::getenv("ZPX_LIBRARY_PATH")) {
    std::stringstream ss(paths);
    std::string dir;
    while (std::getline(ss, dir, ':')) {
      if (dir.empty() || !exists(dir + "/" + file)) continue;
      lib.handle_ = try_open(dir + "/" + file, error);
      if (lib.handle_) return lib;
    }
  }
  lib.handle_ = try_open(file, error);
  if (!lib.handle_) lib.error_ = error.empty() ? "cannot load " + file : error;
  return lib;
}

void* Library::symbol(const std::string& name) {
  if (!handle_) {
    error_ = "library not loaded";
    return nullptr;
  }
  dlerror();
  void* p = dlsym(handle_, name.c_str());
  if (!p) {
    const char* e = dlerror();
    error_ = e ? e : "symbol " + name + " not found";
  }
  return p;
}

std::string Library::path() const {
  if (!handle_) return {};
  link_map* map = nullptr;
  if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
  char resolved[4096];
  if (realpath(map->l_name, resolved)) return resolved;
  return map->l_name;
}

void Library::release() {
  if (handle_) {
    dlclose(handle_);
    handle_ = nullptr;
  }
}

}  // namespace platform
