#include <gtest/gtest.h>

#include <vector>

#include "common/languages.h"
#include "common/memory_header.h"
#include "common/zpx_format.h"

TEST(ZpxFormat, ChecksumSumsFromOffsetFourModulo65536) {
  std::vector<std::uint8_t> image(302, 0xFF);
  image[0] = 'Z'; image[1] = 'e'; image[2] = 'l'; image[3] = 'k';
  EXPECT_TRUE(zpx::has_magic(image));
  EXPECT_EQ(zpx::checksum(image), (298 * 255) % 65536);
  std::vector<std::uint8_t> big(8192, 0xFF);
  EXPECT_EQ(zpx::checksum(big), (8188 * 255) % 65536);
  EXPECT_EQ(zpx::checksum(std::vector<std::uint8_t>(3, 9)), 0);
}

TEST(ZpxFormat, KeyEntryOffsets) {
  EXPECT_EQ(zpx::key_entry_offset(0), 8u);
  EXPECT_EQ(zpx::key_entry_offset(141), 290u);
  EXPECT_EQ(zpx::key_entry_offset(158), 304u);
  EXPECT_EQ(zpx::key_entry_offset(182), 352u);
  EXPECT_EQ(zpx::key_entry_offset(189), 366u);
}

TEST(MemoryHeader, Fields) {
  zpx::MemoryHeader h{{0x12, 0x34, 0x56, 0x78, 0x25, 0x01, 0x1F, 0x40}};
  EXPECT_EQ(h.firmware_id(), 0x1234);
  EXPECT_EQ(h.checksum(), 0x5678);
  EXPECT_EQ(zpx::language_name(h.language_index()), "FR");
  EXPECT_EQ(h.length(), 8000);
  EXPECT_EQ(zpx::language_name(9), "");
}
