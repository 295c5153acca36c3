#include <gtest/gtest.h>

#include "platform/ini.h"
#include "platform/tests/test_util.h"

using namespace platform;
using namespace platform::test;

TEST(Ini, ProfileSemantics) {
  IniFile f = IniFile::from_text(
      "stray=1\r\n"
      "[R4T]\r\n"
      "  File = \"my file.zpx\" \r\n"
      "; comment=1\r\n"
      "Autoload=1\r\n"
      "autoload=2\r\n"
      "no equals sign\r\n"
      "Note=a ; not a comment\r\n"
      "\tTabbed\t=\tx\t\r\n"
      "Empty=\r\n"
      "[ r4t ]\r\n"
      "Other=9\r\n");
  EXPECT_TRUE(f.readable());
  EXPECT_TRUE(f.section_exists("r4t"));
  EXPECT_FALSE(f.section_exists("stray"));  // lines before the first section belong to none
  EXPECT_TRUE(f.key_exists("R4T", "FILE"));
  EXPECT_FALSE(f.key_exists("R4T", "no equals sign"));
  EXPECT_FALSE(f.key_exists("R4T", "; comment"));
  EXPECT_EQ(f.read_string("R4T", "FILE", "x"), "my file.zpx");
  EXPECT_EQ(f.read_string("R4T", "Note", "x"), "a ; not a comment");
  EXPECT_EQ(f.read_string("r4t", "tabbed", "x"), "x");
  EXPECT_EQ(f.read_string("R4T", "Empty", "x"), "");  // present but empty: not the default
  EXPECT_EQ(f.read_integer("R4T", "AUTOLOAD", 0), 1);  // the first key wins
  EXPECT_EQ(f.read_integer("R4T", "Other", 5), 5);     // the first section wins
  EXPECT_EQ(f.read_profile_int("R4T", "missing", 3), 3);
  EXPECT_EQ(f.read_string("Nowhere", "File", "def"), "def");
}

TEST(Ini, ReadStringQuotesAndLimit) {
  IniFile f = IniFile::from_text("[S]\nQ=\"abc\"\nQQ=\"\"x\"\"\nHalf=\"abc\nOne=\"\nText=abcdef\n");
  const struct {
    const char* key;
    std::size_t limit;
    const char* expected;
  } cases[] = {
      {"Q", 0, "abc"},   {"QQ", 0, "\"x\""}, {"Half", 0, "\"abc"}, {"One", 0, "\""},  {"Text", 0, "abcdef"},
      {"Text", 4, "abc"}, {"Text", 1, ""},    {"Text", 7, "abcdef"}, {"Q", 3, "ab"},
  };
  for (const auto& c : cases) EXPECT_EQ(f.read_string("S", c.key, "def", c.limit), c.expected) << c.key << " " << c.limit;
  // The default is given back as it is, only cut to the limit.
  EXPECT_EQ(f.read_string("S", "missing", "\"d\""), "\"d\"");
  EXPECT_EQ(f.read_string("S", "missing", "default", 4), "def");
}

// The toolkit's reader wants the whole value as a number; the profile reader takes the leading
// digits and reads 0 where there are none.
TEST(Ini, IntegerReadersDiffer) {
  const struct {
    const char* value;
    int integer;  // read_integer with default -99
    int profile;  // read_profile_int with default -99
  } cases[] = {
      {"12", 12, 12},
      {"+7", 7, 7},
      {"-5", -5, -5},
      {"12x", -99, 12},
      {"x", -99, 0},
      {"", -99, 0},
      {"$1F", 31, 0},
      {"0x10", 16, 0},
      {"-$10", -16, 0},
      {"$FFFFFFFF", -1, 0},
      {"$100000000", -99, 0},
      {"0x0x5", -99, 0},
      {"$", -99, 0},
      {"- 5", -99, 0},
      {"2147483647", 2147483647, 2147483647},
      {"2147483648", -99, -2147483647 - 1},
      {"-2147483648", -2147483647 - 1, -2147483647 - 1},
      {"\"42\"", 42, 42},
      {"1 2", -99, 1},
  };
  for (const auto& c : cases) {
    IniFile f = IniFile::from_text(std::string("[S]\nK=") + c.value + "\n");
    EXPECT_EQ(f.read_integer("S", "K", -99), c.integer) << "'" << c.value << "'";
    EXPECT_EQ(f.read_profile_int("S", "K", -99), c.profile) << "'" << c.value << "'";
  }
  IniFile empty;
  EXPECT_EQ(empty.read_integer("S", "K", -99), -99);
  EXPECT_EQ(empty.read_profile_int("S", "K", -99), -99);
}

TEST(Ini, UnreadableFilesGiveDefaults) {
  TempDir dir("ini");
  write_file(dir / "plain", "not a folder");
  // Tests run as root, where file modes do not stop reading: use paths that cannot be read at all.
  for (const fs::path& p : {dir.path(), dir / "missing.ini", dir / "plain/r4t.ini"}) {
    IniFile f = IniFile::load(p.string());
    EXPECT_FALSE(f.readable()) << p;
    EXPECT_FALSE(f.section_exists("UPLOAD")) << p;
    EXPECT_EQ(f.read_integer("UPLOAD", "UPLOAD", 4), 4) << p;
    EXPECT_EQ(f.read_string("UPLOAD", "UPLOAD", "d"), "d") << p;
  }
}

TEST(Ini, FileEncodings) {
  TempDir dir("inienc");
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"cp1252", "[Text]\r\nWord=Gr\xFC\xDF \x80\r\n"},
      {"utf8bom", "\xEF\xBB\xBF[Text]\r\nWord=Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC\r\n"},
      {"utf16", [] {
         std::string le = "\xFF\xFE";
         for (char16_t unit : std::u16string(u"[Text]\r\nWord=Gr\u00FC\u00DF \u20AC\r\n")) {
           le += static_cast<char>(unit & 0xFF);
           le += static_cast<char>(unit >> 8);
         }
         return le;
       }()},
  };
  for (const auto& c : cases) {
    write_file(dir / c.name, c.bytes);
    IniFile f = IniFile::load((dir / c.name).string());
    EXPECT_TRUE(f.readable()) << c.name;
    EXPECT_EQ(f.read_string("TEXT", "word", "?"), "Gr\xFC\xDF \x80") << c.name;
  }
}
