#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/clock.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "platform/msgbox.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/text1252.h"
#include "platform/version.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

fs::path temp_dir(const std::string& name) {
  fs::path p = fs::temp_directory_path() / ("zpx-platform-" + std::to_string(getpid()) + "-" + name);
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

void write_file(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

}  // namespace

TEST(Library, WindowsNamesMapToSharedObjects) {
  EXPECT_EQ(shared_object_name("zpxc32.dll"), "libzpxc32.so");
  EXPECT_EQ(shared_object_name("ZPXFUNC.DLL"), "libzpxfunc.so");
  EXPECT_EQ(shared_object_name("ZpxUsb"), "libzpxusb.so");
  EXPECT_EQ(shared_object_name("libzpxi32.so"), "libzpxi32.so");
}

TEST(Library, LoadsBindsAndReleases) {
  // The tests run in the output folder, where the test library lies beside the programs.
  Library lib = Library::load("ZPXTESTLIB.DLL");
  ASSERT_TRUE(lib.loaded()) << lib.error();
  auto answer = lib.bind<int (*)()>("zpx_test_answer");
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_NE(lib.path().find("libzpxtestlib.so"), std::string::npos);
  EXPECT_EQ(lib.symbol("no_such_function"), nullptr);
  EXPECT_FALSE(lib.error().empty());
  lib.release();
  lib.release();
  EXPECT_FALSE(lib.loaded());
}

TEST(Library, MissingLibraryAndSearchPath) {
  Library missing = Library::load("nothere.dll");
  EXPECT_FALSE(missing.loaded());
  EXPECT_FALSE(missing.error().empty());
  // ZPX_LIBRARY_PATH is searched after the program's folder.
  fs::path dir = temp_dir("libpath");
  fs::copy_file(fs::path(executable_dir()) / "libzpxtestlib.so", dir / "libzpxelsewhere.so");
  setenv("ZPX_LIBRARY_PATH", ("/nonexistent:" + dir.string()).c_str(), 1);
  Library found = Library::load("zpxelsewhere.dll");
  EXPECT_TRUE(found.loaded()) << found.error();
  unsetenv("ZPX_LIBRARY_PATH");
  EXPECT_TRUE(Library::load((dir / "libzpxelsewhere.so").string()).loaded());
  fs::remove_all(dir);
}

TEST(Registry, TypedValuesAndCase) {
  Registry r = Registry::from_text(
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n"
      "\"INTERFACE\"=dword:ffffffff\n"
      "\"LOGFILENAME\"=\"zpx\\\\i32.log\"\n"
      "\"Data\"=hex:01,02,\\\n  03\n"
      "@=\"default\"\n"
      "[HKEY_CURRENT_USER\\Software\\Other]\n"
      "\"X\"=dword:1\n");
  EXPECT_TRUE(r.diagnostics().empty()) << r.diagnostics().front();
  std::uint32_t d = 0;
  EXPECT_EQ(r.read_dword("\\software\\zelk\\KEYBOARD", "interface", d), RegResult::Ok);
  EXPECT_EQ(d, 0xFFFFFFFFu);
  std::string s;
  EXPECT_EQ(r.read_string("Software\\Zelk\\Keyboard", "LogFileName", s), RegResult::Ok);
  EXPECT_EQ(s, "zpx\\i32.log");
  RegValue v;
  EXPECT_EQ(r.read("Software\\Zelk\\Keyboard", "data", v), RegResult::Ok);
  EXPECT_EQ(v.data, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(r.read_string("Software\\Zelk\\Keyboard", "", s), RegResult::Ok);
  EXPECT_EQ(s, "default");
  EXPECT_TRUE(r.key_exists("Software\\Zelk"));
  EXPECT_EQ(r.read_dword("Software\\Zelk\\Keyboard", "LOGFILENAME", d), RegResult::WrongType);
  EXPECT_EQ(r.read_dword("Software\\Zelk\\Keyboard", "MISSING", d), RegResult::NoValue);
  EXPECT_EQ(r.read_dword("Software\\Other", "X", d), RegResult::NoKey);
  EXPECT_EQ(r.value_names("Software\\Zelk\\Keyboard").size(), 4u);
}

TEST(Registry, MalformedLinesAreSkippedAndDiagnosed) {
  Registry r = Registry::from_text(
      "REGEDIT4\n"
      "\"early\"=dword:1\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n"
      "\"A\"=dword:xyz\n"
      "\"B\"=\"unterminated\n"
      "\"C\" dword:1\n"
      "\"D\"=dword:123456789\n"
      "\"GOOD\"=dword:00000010\n");
  EXPECT_EQ(r.diagnostics().size(), 6u);
  std::uint32_t d = 0;
  EXPECT_EQ(r.read_dword("Software\\Zelk\\Keyboard", "GOOD", d), RegResult::Ok);
  EXPECT_EQ(d, 16u);
  EXPECT_EQ(r.read_dword("Software\\Zelk\\Keyboard", "A", d), RegResult::NoValue);
}

TEST(Registry, FileFromEnvironment) {
  fs::path dir = temp_dir("reg");
  write_file(dir / "r.reg", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\r\n\"INTERFACE\"=dword:00000000\r\n");
  setenv("ZPX_REGISTRY", (dir / "r.reg").c_str(), 1);
  std::uint32_t d = 7;
  EXPECT_EQ(Registry::open_default().read_dword("Software\\Zelk\\Keyboard", "INTERFACE", d), RegResult::Ok);
  EXPECT_EQ(d, 0u);
  setenv("ZPX_REGISTRY", (dir / "missing.reg").c_str(), 1);
  EXPECT_FALSE(Registry::open_default().key_exists("Software"));
  unsetenv("ZPX_REGISTRY");
  fs::remove_all(dir);
}

TEST(Ini, ProfileSemantics) {
  IniFile f = IniFile::from_text(
      "stray=1\r\n"
      "[R4T]\r\n"
      "  File = \"my file.zpx\" \r\n"
      "; comment=1\r\n"
      "Autoload=1\r\n"
      "autoload=2\r\n"
      "Bad=12x\r\n"
      "Hex=$1F\r\n"
      "[r4t]\r\n"
      "Other=9\r\n");
  EXPECT_TRUE(f.section_exists("r4t"));
  EXPECT_FALSE(f.section_exists("stray"));
  EXPECT_EQ(f.read_string("R4T", "FILE", "x"), "my file.zpx");
  EXPECT_EQ(f.read_string("R4T", "file", "x", 4), "my ");
  EXPECT_EQ(f.read_integer("R4T", "AUTOLOAD", 0), 1);  // the first key wins
  EXPECT_EQ(f.read_integer("R4T", "Other", 5), 5);     // the first section wins
  EXPECT_EQ(f.read_integer("R4T", "Bad", 7), 7);
  EXPECT_EQ(f.read_profile_int("R4T", "Bad", 7), 12);
  EXPECT_EQ(f.read_integer("R4T", "Hex", 0), 31);
  EXPECT_EQ(f.read_integer("R4T", "comment", 3), 3);
  EXPECT_EQ(f.read_profile_int("R4T", "missing", 3), 3);
}

TEST(Ini, UnreadableFileGivesDefaults) {
  fs::path dir = temp_dir("ini");
  IniFile folder = IniFile::load(dir.string());  // a folder cannot be read as a file
  EXPECT_FALSE(folder.readable());
  EXPECT_EQ(folder.read_integer("UPLOAD", "UPLOAD", 4), 4);
  EXPECT_FALSE(IniFile::load((dir / "missing.ini").string()).section_exists("X"));
  fs::remove_all(dir);
}

TEST(Clock, ScaleAppliesToEveryPeriod) {
  set_time_scale(0.5);
  EXPECT_EQ(real_duration(1000), std::chrono::milliseconds(500));
  EXPECT_EQ(real_duration(-5), std::chrono::nanoseconds(0));
  Deadline d(10);
  while (!d.expired()) std::this_thread::yield();
  EXPECT_EQ(d.remaining(), std::chrono::nanoseconds(0));
  set_time_scale(0.001);
  Deadline far(1000000);  // 1000 s of system time is 1 s of real time
  EXPECT_FALSE(far.expired());
  EXPECT_LE(far.remaining(), std::chrono::seconds(1));
  set_time_scale(0);
}

TEST(MessageBox, PresenterAndFallback) {
  std::vector<Message> seen;
  set_message_presenter([&](const Message& m) {
    seen.push_back(m);
    return MsgAnswer::Yes;
  });
  EXPECT_EQ(message_box("Continue ?", "Download keytable", MsgButtons::YesNo, MsgIcon::Warning), MsgAnswer::Yes);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, "Download keytable");
  set_message_presenter({});
  testing::internal::CaptureStderr();
  EXPECT_EQ(message_box("Can\xB4t go on", "Error", MsgButtons::YesNo), MsgAnswer::No);
  EXPECT_EQ(message_box("x", "y", MsgButtons::OkCancel), MsgAnswer::Cancel);
  EXPECT_EQ(message_box("x", "y"), MsgAnswer::Ok);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Error: Can\xC2\xB4t go on"), std::string::npos);
}

TEST(Text1252, RoundTrip) {
  EXPECT_EQ(cp1252_to_utf8("\x80\xB4\xFC"), "\xE2\x82\xAC\xC2\xB4\xC3\xBC");
  EXPECT_EQ(utf8_to_cp1252("\xE2\x82\xAC\xC2\xB4\xC3\xBC"), "\x80\xB4\xFC");
  EXPECT_EQ(utf8_to_cp1252("\xE4\xB8\xAD"), "?");
}

TEST(Version, RecordsOfBuiltLibraries) {
  EXPECT_EQ(file_version_text("zpxtestlib.dll"), ZPX_FILE_VERSION_TEXT);
  EXPECT_EQ(file_version_text("zpxtestnover.dll"), "DLL info empty!");
  EXPECT_EQ(file_version_text("nothere.dll"), "Can't find DLL (or sub-DLL)!");
  VersionError err;
  auto rec = read_version_record(executable_dir() + "/libzpxtestlib.so", err);
  ASSERT_TRUE(rec);
  EXPECT_EQ(err, VersionError::None);
  ASSERT_EQ(rec->translations.size(), 1u);
  EXPECT_EQ(rec->translations[0].language, 0x0407);
  EXPECT_EQ(rec->translations[0].code_page, 0x04E4);
}

TEST(Version, DamagedFiles) {
  fs::path dir = temp_dir("version");
  std::ifstream in(executable_dir() + "/libzpxtestlib.so", std::ios::binary);
  std::string good((std::istreambuf_iterator<char>(in)), {});
  auto note = good.find("ZVI1");
  ASSERT_NE(note, std::string::npos);
  struct Case {
    std::string bytes;
    const char* text;
  } cases[] = {
      {"garbage", "DLL info empty!"},
      {good.substr(0, 200), "DLL info empty!"},
      {good.substr(0, note) + "XXXX" + good.substr(note + 4), "Can't decode version info!"},
      // No translation entries.
      {good.substr(0, note + 12) + std::string("\0\0", 2) + good.substr(note + 14), "Language error - "},
      // The FileVersion key renamed.
      {[&] {
         std::string s = good;
         s.replace(s.find("\\FileVersion"), 12, "\\FileVersioX");
         return s;
       }(),
       "Unknown string (FileVersion)!"},
  };
  int i = 0;
  for (const auto& k : cases) {
    fs::path p = dir / ("case" + std::to_string(i++) + ".so");
    write_file(p, k.bytes);
    EXPECT_EQ(file_version_text(p.string()).substr(0, std::string(k.text).size()), k.text) << i;
  }
  EXPECT_EQ(file_version_text((dir / "missing").string()), "DLL info empty!");
  fs::remove_all(dir);
}

TEST(Process, TextViewer) {
  fs::path dir = temp_dir("viewer");
  fs::path script = dir / "viewer.sh";
  fs::path record = dir / "opened";
  write_file(script, "#!/bin/sh\necho \"$1\" > " + record.string() + "\n");
  fs::permissions(script, fs::perms::owner_all);
  setenv("VISUAL", script.c_str(), 1);
  EXPECT_TRUE(open_text_viewer("zpxc.out"));
  for (int i = 0; i < 500 && !fs::exists(record); ++i) sleep_ms(10);
  std::ifstream in(record);
  std::string opened;
  std::getline(in, opened);
  EXPECT_EQ(opened, "zpxc.out");
  unsetenv("VISUAL");
  unsetenv("EDITOR");
  std::string path = getenv("PATH");
  setenv("PATH", dir.c_str(), 1);
  EXPECT_FALSE(open_text_viewer("zpxc.out"));
  setenv("PATH", path.c_str(), 1);
  fs::remove_all(dir);
}
