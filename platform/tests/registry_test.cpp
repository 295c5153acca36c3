#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/tests/test_util.h"

using namespace platform;
using namespace platform::test;

namespace {

constexpr const char* kKey = "Software\\Zelk\\Keyboard";
constexpr const char* kHeader5 = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n";

}  // namespace

TEST(Registry, TypedValuesAndCase) {
  Registry r = Registry::from_text(
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n"
      "\"INTERFACE\"=dword:ffffffff\n"
      "\"LOGFILENAME\"=\"zpx\\\\i32.log\"\n"
      "\"Quote\"=\"say \\\"hi\\\"\"\n"
      "\"Data\"=hex:01,02,\\\n  03\n"
      "@=\"default\"\n"
      "[HKEY_CURRENT_USER\\Software\\Other]\n"
      "\"X\"=dword:1\n");
  EXPECT_TRUE(r.diagnostics().empty()) << r.diagnostics().front();
  std::uint32_t d = 0;
  EXPECT_EQ(r.read_dword("\\software\\zelk\\KEYBOARD\\", "interface", d), RegResult::Ok);
  EXPECT_EQ(d, 0xFFFFFFFFu);
  std::string s;
  EXPECT_EQ(r.read_string(kKey, "LogFileName", s), RegResult::Ok);
  EXPECT_EQ(s, "zpx\\i32.log");
  EXPECT_EQ(r.read_string(kKey, "quote", s), RegResult::Ok);
  EXPECT_EQ(s, "say \"hi\"");
  RegValue v;
  EXPECT_EQ(r.read(kKey, "data", v), RegResult::Ok);
  EXPECT_EQ(v.type, RegType::Binary);
  EXPECT_EQ(v.data, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(r.read_string(kKey, "", s), RegResult::Ok);
  EXPECT_EQ(s, "default");
  EXPECT_TRUE(r.key_exists("Software\\Zelk"));  // parents of a key exist
  EXPECT_TRUE(r.key_exists("SOFTWARE"));
  EXPECT_EQ(r.value_names(kKey), (std::vector<std::string>{"INTERFACE", "LOGFILENAME", "Quote", "Data", ""}));
}

TEST(Registry, MissingKeyMissingValueWrongType) {
  Registry r = Registry::from_text(std::string(kHeader5) +
                                   "\"LOGFILENAME\"=\"zpxi32.log\"\n\"INTERFACE\"=dword:3\n"
                                   "\"List\"=hex(7):61,00,00,00,00,00\n"
                                   "[HKEY_CURRENT_USER\\Software\\Other]\n\"X\"=dword:1\n");
  std::uint32_t d = 7;
  std::string s = "unchanged";
  EXPECT_EQ(r.read_dword(kKey, "LOGFILENAME", d), RegResult::WrongType);
  EXPECT_EQ(r.read_string(kKey, "INTERFACE", s), RegResult::WrongType);
  EXPECT_EQ(r.read_string(kKey, "List", s), RegResult::WrongType);
  EXPECT_EQ(r.read_dword(kKey, "MISSING", d), RegResult::NoValue);
  EXPECT_EQ(r.read_dword("Software\\Zelk\\Nothing", "INTERFACE", d), RegResult::NoKey);
  EXPECT_EQ(r.read_dword("Software\\Other", "X", d), RegResult::NoKey);  // only HKEY_LOCAL_MACHINE counts
  EXPECT_EQ(d, 7u);
  EXPECT_EQ(s, "unchanged");
  EXPECT_TRUE(r.diagnostics().empty());
}

// Every malformed line is skipped with a diagnostic naming its line; the values around it count.
TEST(Registry, MalformedLinesAreSkippedAndDiagnosed) {
  const struct {
    const char* line;
    const char* reason;  // part of the diagnostic
  } cases[] = {
      {"\"A\"=dword:xyz", "hexadecimal"},
      {"\"A\"=dword:123456789", "1 to 8"},
      {"\"A\"=dword:", "1 to 8"},
      {"\"A\"=\"unterminated", "unterminated"},
      {"\"A\"=\"text\" trailing", "trailing"},
      {"\"A\" dword:1", "'='"},
      {"\"A", "value name"},
      {"A=dword:1", "value name"},
      {"\"A\"=hex:1,02", "hex bytes"},
      {"\"A\"=hex:zz", "hex bytes"},
      {"\"A\"=hex(b):01,02", "8 bytes"},
      {"\"A\"=hex(4):01", "4 bytes"},
      {"\"A\"=hex(0):00", "unsupported"},
      {"\"A\"=hex01", "':'"},
      {"\"A\"=12", "unrecognised"},
      {"\"A\"=-", "deletions"},
      {"[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard", "']'"},
      {"[-HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]", "deletions"},
  };
  for (const auto& c : cases) {
    Registry r = Registry::from_text(std::string("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n"
                                                 "\"BEFORE\"=dword:1\n") +
                                     c.line + "\n\"AFTER\"=dword:2\n");
    ASSERT_EQ(r.diagnostics().size(), 1u) << c.line;
    EXPECT_EQ(r.diagnostics()[0].rfind("line 4: ", 0), 0u) << r.diagnostics()[0];
    EXPECT_NE(r.diagnostics()[0].find(c.reason), std::string::npos) << r.diagnostics()[0];
    std::uint32_t d = 0;
    EXPECT_EQ(r.read_dword(kKey, "BEFORE", d), RegResult::Ok) << c.line;
    EXPECT_EQ(r.read_dword(kKey, "A", d), RegResult::NoValue) << c.line;
  }
  // A broken or deleted key line leaves its values keyless; the next good key counts again.
  Registry r = Registry::from_text("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Broken\n\"A\"=dword:1\n"
                                   "[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n\"AFTER\"=dword:2\n");
  std::uint32_t d = 0;
  EXPECT_EQ(r.read_dword(kKey, "AFTER", d), RegResult::Ok);
  EXPECT_EQ(d, 2u);
  EXPECT_FALSE(r.key_exists("Software\\Broken"));
}

TEST(Registry, ValueOutsideKeyAndMissingHeader) {
  Registry r = Registry::from_text("\"early\"=dword:1\n[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n"
                                   "\"GOOD\"=dword:00000010\n");
  ASSERT_EQ(r.diagnostics().size(), 2u);
  EXPECT_NE(r.diagnostics()[0].find("header"), std::string::npos);
  EXPECT_NE(r.diagnostics()[1].find("outside a key"), std::string::npos);
  std::uint32_t d = 0;
  EXPECT_EQ(r.read_dword(kKey, "GOOD", d), RegResult::Ok);
  EXPECT_EQ(d, 16u);
}

// The hex(n) forms: texts are UTF-16LE in "Version 5.00" exports and single bytes in REGEDIT4.
TEST(Registry, HexValueKinds) {
  const struct {
    const char* header;
    const char* data;
    RegType type;
    std::string text;
    std::uint64_t number;
  } cases[] = {
      {"Windows Registry Editor Version 5.00", "hex(2):25,00,54,00,4d,00,50,00,25,00,00,00", RegType::ExpandString,
       "%TMP%", 0},
      {"Windows Registry Editor Version 5.00", "hex(7):61,00,00,00,62,00,ac,20,00,00,00,00", RegType::MultiString,
       std::string("a\0b\x80", 4), 0},
      {"Windows Registry Editor Version 5.00", "hex(1):fc,00,3d,d8,00,de,00,00", RegType::String, "\xFC?", 0},
      {"REGEDIT4", "hex(2):25,54,4d,50,25,00", RegType::ExpandString, "%TMP%", 0},
      {"REGEDIT4", "hex(7):61,00,fc,00,00", RegType::MultiString, std::string("a\0\xFC", 3), 0},
      {"REGEDIT4", "hex(b):01,02,03,04,05,06,07,88", RegType::Qword, "", 0x8807060504030201ull},
      {"REGEDIT4", "hex(4):78,56,34,12", RegType::Dword, "", 0x12345678},
      {"REGEDIT4", "hex:", RegType::Binary, "", 0},
  };
  for (const auto& c : cases) {
    Registry r = Registry::from_text(std::string(c.header) + "\n[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n\"V\"=" +
                                     c.data + "\n");
    RegValue v;
    ASSERT_EQ(r.read(kKey, "v", v), RegResult::Ok) << c.data << " " << (r.diagnostics().empty() ? "" : r.diagnostics()[0]);
    EXPECT_EQ(v.type, c.type) << c.data;
    EXPECT_EQ(v.text, c.text) << c.data;
    EXPECT_EQ(v.number, c.number) << c.data;
  }
  // An expand string reads as a string; a qword is not a dword.
  Registry r = Registry::from_text("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n"
                                   "\"E\"=hex(2):61,00\n\"Q\"=hex(b):01,00,00,00,00,00,00,00\n");
  std::string s;
  std::uint32_t d = 0;
  EXPECT_EQ(r.read_string(kKey, "E", s), RegResult::Ok);
  EXPECT_EQ(s, "a");
  EXPECT_EQ(r.read_dword(kKey, "Q", d), RegResult::WrongType);
}

TEST(Registry, LineStructure) {
  Registry r = Registry::from_text(
      "REGEDIT4\r\n"
      "; a comment that ends in a backslash does not swallow the next line \\\r\n"
      "[hkey_local_machine\\Software\\Zelk\\Keyboard]\r\n"
      "  \"Data\" = hex:01,\\\r\n"
      "    02,\\\r\n"
      "    03\r\n"
      "\"Dup\"=dword:1\r\n"
      "\"DUP\"=dword:2\r\n"
      "[HKEY_LOCAL_MACHINE_X\\Software]\r\n"
      "\"Y\"=dword:1\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\r\n"
      "\"Later\"=\"merged\"\r\n");
  EXPECT_TRUE(r.diagnostics().empty()) << r.diagnostics().front();
  RegValue v;
  ASSERT_EQ(r.read(kKey, "DATA", v), RegResult::Ok);
  EXPECT_EQ(v.data, (std::vector<std::uint8_t>{1, 2, 3}));
  std::uint32_t d = 0;
  EXPECT_EQ(r.read_dword(kKey, "dup", d), RegResult::Ok);
  EXPECT_EQ(d, 2u);  // as an import does: the later line replaces the value
  EXPECT_EQ(r.value_names(kKey), (std::vector<std::string>{"Data", "Dup", "Later"}));
  EXPECT_FALSE(r.key_exists("_X\\Software"));
  EXPECT_FALSE(r.key_exists("Software\\Zelk\\Keyboard\\Nothing"));
}

TEST(Registry, Files) {
  TempDir dir("reg");
  // A registry editor export: UTF-16LE with a byte-order mark and CR LF.
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\r\n"
                     "\"LOGFILENAME\"=\"Gr\xFC\xDF\x80.log\"\r\n";
  std::string wide = "\xFF\xFE";
  for (unsigned char c : text) {
    const unsigned unit = c == 0x80 ? 0x20AC : c;
    wide += static_cast<char>(unit & 0xFF);
    wide += static_cast<char>(unit >> 8);
  }
  write_file(dir / "wide.reg", wide);
  Registry r = Registry::open_file((dir / "wide.reg").string());
  EXPECT_TRUE(r.diagnostics().empty()) << r.diagnostics().front();
  EXPECT_EQ(r.source(), (dir / "wide.reg").string());
  std::string s;
  EXPECT_EQ(r.read_string(kKey, "LOGFILENAME", s), RegResult::Ok);
  EXPECT_EQ(s, "Gr\xFC\xDF\x80.log");

  // A missing file is an empty registry; one that cannot be read says so.
  Registry missing = Registry::open_file((dir / "missing.reg").string());
  EXPECT_FALSE(missing.key_exists("Software"));
  EXPECT_TRUE(missing.diagnostics().empty());
  Registry folder = Registry::open_file(dir.path().string());
  EXPECT_FALSE(folder.key_exists("Software"));
  ASSERT_EQ(folder.diagnostics().size(), 1u);
  EXPECT_NE(folder.diagnostics()[0].find("cannot be read"), std::string::npos);
}

TEST(Registry, DefaultPath) {
  TempDir dir("regdefault");
  fs::create_directories(dir / "config/zelk");
  write_file(dir / "config/zelk/registry.reg",
             "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n\"INTERFACE\"=dword:00000001\n");
  write_file(dir / "r.reg", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\r\n\"INTERFACE\"=dword:00000002\r\n");
  ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "config").string());
  std::uint32_t d = 0;
  {
    ScopedEnv reg("ZPX_REGISTRY", (dir / "r.reg").string());
    EXPECT_EQ(Registry::open_default().read_dword(kKey, "INTERFACE", d), RegResult::Ok);
    EXPECT_EQ(d, 2u);
  }
  {
    ScopedEnv reg("ZPX_REGISTRY", std::nullopt);
    Registry r = Registry::open_default();
    EXPECT_EQ(r.source(), (dir / "config/zelk/registry.reg").string());
    EXPECT_EQ(r.read_dword(kKey, "INTERFACE", d), RegResult::Ok);
    EXPECT_EQ(d, 1u);
  }
  {
    // The named file is the registry even when it is missing: nothing falls back behind it.
    ScopedEnv reg("ZPX_REGISTRY", (dir / "missing.reg").string());
    EXPECT_FALSE(Registry::open_default().key_exists("Software"));
  }
}
