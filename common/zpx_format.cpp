#include "common/zpx_format.h"

#include <algorithm>

namespace zpx {

bool has_magic(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 4 && std::equal(bytes.begin(), bytes.begin() + 4, kMagic);
}

std::uint16_t checksum(std::span<const std::uint8_t> image) {
  std::uint32_t sum = 0;
  for (std::size_t i = 4; i < image.size(); ++i) sum += image[i];
  return static_cast<std::uint16_t>(sum & 0xFFFF);
}

}  // namespace zpx
