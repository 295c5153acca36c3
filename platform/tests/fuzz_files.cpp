// Fuzz target: the platform layer's readers of outside files. The first byte chooses the reader:
// registry export, profile (INI) file, or the version record of a binary.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "platform/ini.h"
#include "platform/registry.h"
#include "platform/text1252.h"
#include "platform/version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: {
      platform::Registry r = platform::Registry::from_text(platform::text_file_to_cp1252(bytes));
      for (const std::string& name : r.value_names("Software\\Zelk\\Keyboard")) {
        platform::RegValue v;
        r.read("Software\\Zelk\\Keyboard", name, v);
      }
      break;
    }
    case 1: {
      platform::IniFile f = platform::IniFile::from_text(platform::text_file_to_cp1252(bytes));
      f.read_string("R4T", "File", "", 260);
      f.read_integer("R4T", "Autoload", 0);
      f.read_profile_int("R4T", "Autoload", 0);
      break;
    }
    default: {
      // The reader takes a path: hand it the bytes as an anonymous file.
      int fd = memfd_create("zpx-fuzz", MFD_CLOEXEC);
      if (fd < 0) return 0;
      if (write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()))
        platform::file_version_text("/proc/self/fd/" + std::to_string(fd));
      close(fd);
      break;
    }
  }
  return 0;
}
