#include <gtest/gtest.h>

#include "platform/text1252.h"

using namespace platform;

TEST(Text1252, ConvertsBothWays) {
  const struct {
    std::string cp1252;
    std::string utf8;
  } cases[] = {
      {"Can\xB4t", "Can\xC2\xB4t"},
      {"\x80\xFC\xFF", "\xE2\x82\xAC\xC3\xBC\xC3\xBF"},
      {"\x9F\x8A", "\xC5\xB8\xC5\xA0"},
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // undefined bytes travel unchanged
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cp1252_to_utf8(c.cp1252), c.utf8);
    EXPECT_EQ(utf8_to_cp1252(c.utf8), c.cp1252);
  }
}

TEST(Text1252, MalformedOrForeignUtf8BecomesQuestionMarks) {
  const struct {
    std::string utf8;
    std::string cp1252;
  } cases[] = {
      {"\xE4\xB8\xAD", "?"},            // a character the code page lacks
      {"\xF0\x9F\x98\x80!", "?!"},      // outside the basic plane
      {"\xC3(", "?("},                  // a lead byte without its continuation
      {"ab\xE2\x82", "ab??"},           // cut short at the end
      {"\xC0\x80x", "??x"},             // an overlong zero
      {"\x80\xBF", "??"},               // stray continuation bytes
      {"\xFF", "?"},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8_to_cp1252(c.utf8), c.cp1252);
}

TEST(Text1252, TextFilesByByteOrderMark) {
  EXPECT_EQ(text_file_to_cp1252("plain \xFC"), "plain \xFC");
  EXPECT_EQ(text_file_to_cp1252("\xEF\xBB\xBF\xC3\xBC"), "\xFC");
  EXPECT_EQ(text_file_to_cp1252(std::string("\xFF\xFE\xAC\x20" "a\0", 6)), "\x80" "a");
  EXPECT_EQ(text_file_to_cp1252(std::string("\xFE\xFF\x20\xAC\0a", 6)), "\x80" "a");
  EXPECT_EQ(text_file_to_cp1252(std::string("\xFF\xFE\x3D\xD8\x00\xDE" "b\0" "c", 9)), "?b");  // odd byte dropped
}
