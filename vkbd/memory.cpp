#include "vkbd/memory.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace vkbd {

std::size_t Memory::write(std::size_t address, std::span<const std::uint8_t> data) {
  std::size_t n = 0;
  for (; n < data.size() && address + n < kMemorySize; ++n) bytes_[address + n] = data[n];
  return n;
}

void Memory::set_firmware_id(std::uint16_t id) {
  bytes_[0] = static_cast<std::uint8_t>(id >> 8);
  bytes_[1] = static_cast<std::uint8_t>(id);
}

std::uint16_t Memory::update_checksum() {
  std::size_t end = length();
  if (end > kMemorySize) end = kMemorySize;
  std::uint16_t sum = 0;
  for (std::size_t a = 4; a < end; ++a) sum = static_cast<std::uint16_t>(sum + bytes_[a]);
  bytes_[2] = static_cast<std::uint8_t>(sum >> 8);
  bytes_[3] = static_cast<std::uint8_t>(sum);
  return sum;
}

bool Memory::load(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  if (std::filesystem::file_size(path, ec) != kMemorySize || ec) return false;
  std::ifstream in(path, std::ios::binary);
  std::array<std::uint8_t, kMemorySize> buffer{};
  if (!in.read(reinterpret_cast<char*>(buffer.data()), kMemorySize)) return false;
  bytes_ = buffer;
  return true;
}

bool Memory::save(const std::string& path, std::string* error) const {
  auto fail = [&](const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
  };
  namespace fs = std::filesystem;
  fs::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  static std::atomic<unsigned> serial{0};
  std::string temp = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(serial++);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return fail("cannot create " + temp);
  std::size_t done = 0;
  while (done < kMemorySize) {
    ssize_t n = ::write(fd, bytes_.data() + done, kMemorySize - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int saved = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      errno = saved;
      return fail("cannot write " + temp);
    }
    done += static_cast<std::size_t>(n);
  }
  // No fsync: the rename keeps the file whole if the process dies, which is what matters for a
  // keyboard written to block by block; a flush per block would slow every download down.
  if (::close(fd) != 0) {
    ::unlink(temp.c_str());
    return fail("cannot write " + temp);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return fail("cannot replace " + path);
  }
  return true;
}

}  // namespace vkbd
