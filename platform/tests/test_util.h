// Helpers of the platform tests: temporary folders, environment variables restored on exit,
// whole-file reads and writes, and waiting for a file that another process writes.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/clock.h"

namespace platform::test {

namespace fs = std::filesystem;

// A fresh folder of its own, removed again with everything in it.
class TempDir {
 public:
  explicit TempDir(const std::string& name)
      : path_(fs::temp_directory_path() / ("zpx-platform-" + std::to_string(getpid()) + "-" + name)) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Sets (or with nullopt unsets) an environment variable and restores the old state on exit.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

inline void write_file(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

inline std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Waits until a file exists (written by a process we started), at most a generous while.
inline bool wait_for_file(const fs::path& p) {
  for (Deadline d(static_cast<std::int64_t>(10000 / time_scale())); !d.expired(); sleep_ms(10))
    if (fs::exists(p)) return true;
  return fs::exists(p);
}

}  // namespace platform::test
