#include "utility/controller.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/msgbox.h"

namespace fs = std::filesystem;
using r4t::Button;

namespace {

struct FakeView : r4t::View {
  std::string status_, file_ = "test.zpx", iface_ = "AT / PS2", title_;
  std::map<Button, bool> enabled{
      {Button::Compile, true}, {Button::Write, true}, {Button::Read, true}};
  std::map<Button, bool> visible{
      {Button::Compile, true}, {Button::Write, true}, {Button::Read, false}};
  bool timer = false, busy = false;
  int quit_code = -1;
  std::vector<int> progress;
  std::vector<std::string> titles;
  std::string dialog_answer;
  bool dialog_ok = false;
  r4t::Controller* controller = nullptr;

  void set_status(const std::string& t) override { status_ = t; }
  std::string status() const override { return status_; }
  std::string file_name() const override { return file_; }
  void set_file_name(const std::string& t) override {
    file_ = t;
    if (controller) controller->update_buttons();
  }
  std::string interface_text() const override { return iface_; }
  void set_interface_text(const std::string& t) override { iface_ = t; }
  void set_enabled(Button b, bool e) override { enabled[b] = e; }
  void set_visible(Button b, bool v) override { visible[b] = v; }
  void set_busy(bool b) override { busy = b; }
  void set_progress(int p) override { progress.push_back(p); }
  void set_title(const std::string& t) override {
    title_ = t;
    titles.push_back(t);
  }
  void start_timer() override { timer = true; }
  void stop_timer() override { timer = false; }
  bool choose_file(const std::string&, const std::string&, std::string& chosen) override {
    chosen = dialog_answer;
    return dialog_ok;
  }
  void quit(int code) override { quit_code = code; }
};

// Runs each test in a fresh folder, with doubles for the libraries and recorded questions.
class R4t : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("r4t-test-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    old_ = fs::current_path();
    fs::current_path(dir_);
    setenv("DOUBLE_LOG", (dir_ / "calls.log").c_str(), 1);
    unsetenv("DOUBLE_RESULT");
    unsetenv("DOUBLE_TEXT");
    unsetenv("DOUBLE_ZPXC_RESULT");
    platform::set_message_presenter([this](const platform::MsgBox& m) {
      questions.push_back(m);
      return answer;
    });
    view.controller = &c;
  }
  void TearDown() override {
    platform::set_message_presenter({});
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  static platform::Library load_double(const std::string& name, const std::string& sub = "") {
    return platform::Library::load(std::string(ZPX_DOUBLES_DIR) + sub + "/" +
                                   platform::shared_object_name(name));
  }
  void start(const std::string& cmdline, const std::string& ini = "", const std::string& reg = "") {
    c.set_command_line(cmdline);
    c.form_show(platform::Registry::from_text(reg), platform::IniFile::from_text(ini));
    c.update_buttons();
  }
  std::string calls() {
    std::ifstream in(dir_ / "calls.log");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  fs::path dir_, old_;
  FakeView view;
  r4t::Controller c{view, [](const std::string& n) { return load_double(n); }};
  std::vector<platform::MsgBox> questions;
  platform::MsgAnswer answer = platform::MsgAnswer::Yes;
};

TEST_F(R4t, DefaultsWithoutIniRegistryOrArguments) {
  start("");
  EXPECT_EQ(view.iface_, "AT / PS2");
  EXPECT_EQ(view.file_, "test.zpx");
  EXPECT_FALSE(view.enabled[Button::Compile]);
  EXPECT_TRUE(view.enabled[Button::Write]);
  EXPECT_TRUE(view.enabled[Button::Read]);
  EXPECT_FALSE(view.visible[Button::Read]);
  EXPECT_FALSE(view.timer);
  EXPECT_EQ(view.status_, "");
}

TEST_F(R4t, SettingsSourcesInOrder) {
  struct Case {
    const char* ini;
    const char* reg;
    bool timer, read_visible;
    const char* iface;
  } cases[] = {
      // A missing Autoload in Version3 keeps the old layout's value.
      {"[AUTOLOAD]\nAUTOLOAD=1\n[Version3]\nFile=x.zpx\n", "", true, false, "AT / PS2"},
      // A missing UPLOAD in Version3 resets it.
      {"[UPLOAD]\nUPLOAD=1\n[Version3]\n", "", false, false, "AT / PS2"},
      {"[UPLOAD]\nUPLOAD=1\n", "", false, true, "AT / PS2"},
      {"[r4t]\nupload=1\ninterface=COM2\n", "", false, true, "COM2"},
      {"[UPLOAD]\nUPLOAD=yes\n", "", false, false, "AT / PS2"},
      {"", "[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n\"INTERFACE\"=dword:ffffffff\n", false,
       false, "USB"},
      {"", "[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n\"INTERFACE\"=dword:00000000\n", false,
       false, "AT"},
      {"", "[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n\"INTERFACE\"=dword:00000007\n", false,
       false, "AT / PS2"},
      {"[INTERFACE]\nINTERFACE=COM1\n",
       "[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n\"INTERFACE\"=dword:ffffffff\n", false,
       false, "COM1"},
  };
  for (const auto& k : cases) {
    FakeView v;
    r4t::Controller ctl(v);
    v.controller = &ctl;
    ctl.form_show(platform::Registry::from_text(k.reg), platform::IniFile::from_text(k.ini));
    EXPECT_EQ(v.timer, k.timer) << k.ini;
    EXPECT_EQ(v.visible[Button::Read], k.read_visible) << k.ini;
    EXPECT_EQ(v.iface_, k.iface) << k.ini << k.reg;
  }
}

TEST_F(R4t, IniSettingsAndTheirDefaults) {
  struct Case {
    const char* ini;
    int autoload, close_on_error, r4ttxt, refresh_memory, refresh_value;
    const char* file;
  } cases[] = {
      {"[CLOSEONERROR]\nCloseOnError=1\n[FILE]\nFILE=old.zpx\n", 0, 1, 0, 0, 255, "old.zpx"},
      // A later section overrides; its missing keys reset all but Autoload, File and Interface.
      {"[CLOSEONERROR]\nCloseOnError=1\n[AUTOLOAD]\nAUTOLOAD=1\n[FILE]\nFILE=old.zpx\n[Version3]\n",
       1, 0, 0, 0, 255, "old.zpx"},
      {"[Version3]\nRefreshMemory=8191\nRefreshValue=0\nR4Ttxt=1\nFile=v3.zpx\n[R4T]\nFile=r4t."
       "zps\n",
       0, 0, 0, 0, 255, "r4t.zps"},
      {"[AUTOLOAD]\nAUTOLOAD=1\n[Version3]\nAutoload=0\n[R4T]\nRefreshValue=300\nRefreshMemory="
       "8191\n",
       0, 0, 0, 8191, 44, "test.zpx"},
      {"[r4t]\nautoload=1\nr4ttxt=2\nrefreshvalue=-1\n", 1, 0, 2, 0, 255, "test.zpx"},
  };
  for (const auto& k : cases) {
    FakeView v;
    r4t::Controller ctl(v);
    v.controller = &ctl;
    ctl.form_show(platform::Registry{}, platform::IniFile::from_text(k.ini));
    const auto& st = ctl.settings();
    EXPECT_EQ(st.Autoload, k.autoload) << k.ini;
    EXPECT_EQ(st.CloseOnError, k.close_on_error) << k.ini;
    EXPECT_EQ(st.R4Ttxt, k.r4ttxt) << k.ini;
    EXPECT_EQ(st.RefreshMemory, k.refresh_memory) << k.ini;
    EXPECT_EQ(st.RefreshValue, k.refresh_value) << k.ini;
    EXPECT_EQ(v.file_, k.file) << k.ini;
  }
}

TEST_F(R4t, RegistryValueOfWrongTypeEndsStartUp) {
  start("", "[UPLOAD]\nUPLOAD=1\n",
        "[HKEY_LOCAL_MACHINE\\Software\\Zelk\\Keyboard]\n\"INTERFACE\"=\"USB\"\n");
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(view.status_, " Read INI file");
  EXPECT_FALSE(view.visible[Button::Read]);  // the INI file was never read
}

TEST_F(R4t, CommandLines) {
  struct Case {
    const char* line;
    const char* file;
    const char* iface;
    int autoload;
  } cases[] = {
      {"\"my keys.zpf\" USB", "my keys.zpf", "USB", 0},
      {"\"a.zpf\" USB AT", "a.zpf", "AT", 0},
      {"plain.zpx", "plain.zpx", "AT / PS2", 0},
      {"/A plain.zpf", "/A plain.zpf", "AT / PS2", 1},
      {"\"/home/t/x.zpf\" /A", "/home/t/x.zpf", "AT / PS2", 1},
      {"\"/home/t/x.zpf\" /A /U", "/home/t/x.zpf", "USB", 1},
      {"\"/home/t/x.zpx\" /COM2", "/home/t/x.zpx", "COM2", 0},
      {"\"x.zpx\" /P /COM3", "x.zpx", "AT", 0},
      {"/COM2", "/COM2", "COM2", 0},
      {"abc", "test.zpx", "AT / PS2", 0},
      // The switch "/A" is no interface: the configured one stays.
      {"\"x.zpf\" /COM4 /A", "x.zpf", "COM4", 1},
      // Slashes of a quoted path are no switches.
      {"\"/home/Al/Proj/Users/x.zpf\"", "/home/Al/Proj/Users/x.zpf", "AT / PS2", 0},
      {"\"unclosed.zpx /U", "unclosed.zpx /U", "AT / PS2", 0},
      {"  \"padded.zpx\"  ", "padded.zpx", "AT / PS2", 0},
  };
  for (const auto& k : cases) {
    FakeView v;
    r4t::Controller ctl(v);
    v.controller = &ctl;
    ctl.set_command_line(k.line);
    ctl.form_show(platform::Registry{}, platform::IniFile{});
    EXPECT_EQ(v.file_, k.file) << k.line;
    EXPECT_EQ(v.iface_, k.iface) << k.line;
    EXPECT_EQ(ctl.settings().Autoload, k.autoload) << k.line;
    EXPECT_EQ(v.timer, k.autoload != 0) << k.line;
  }
}

TEST_F(R4t, InterfaceOverrideWords) {
  std::string many;
  for (int i = 0; i < 30; ++i) many += "w ";
  struct Case {
    std::string line, override_;
  } cases[] = {
      {"\"x.zpx\" /COM1 /USB", "USB"},  // a later word replaces an earlier one
      {many + "/COM2", "COM2"},         // word 31 is still examined
      {many + "w /COM2", ""},           // word 32 is not
      {"/COM1:" + std::string(60, '9'), "COM1:" + std::string(35, '9')},  // 40 characters
      {"\"x.zpx\" /A", ""},
      {"\"x.zpx\"  /COM3", "COM3"},  // an empty word between two blanks
  };
  for (const auto& k : cases) {
    c.set_command_line(k.line);
    EXPECT_EQ(c.interface_override(), k.override_) << k.line;
  }
}

TEST_F(R4t, ArgumentsAreJoinedWithTheFileNameQuoted) {
  std::ofstream("plain file") << "x";
  struct Case {
    std::vector<std::string> args;
    const char* tail;
  } cases[] = {
      {{"/tmp/a b.zpf", "/A"}, "\"/tmp/a b.zpf\" /A"},
      {{"/A", "x.ZPX", "/U"}, "/A \"x.ZPX\" /U"},
      {{"\"/tmp/x.zpf\"", "/U"}, "\"/tmp/x.zpf\" /U"},  // quoted by the caller: unchanged
      {{"\"/tmp/a", "b.zpf\"", "/A"}, "\"/tmp/a b.zpf\" /A"},
      {{"a.zpf", "b.zpf"}, "\"a.zpf\" b.zpf"},
      {{"plain file", "/COM2"}, "\"plain file\" /COM2"},  // an existing file without extension
      {{"/COM2"}, "/COM2"},
      {{}, ""},
  };
  for (const auto& k : cases)
    EXPECT_EQ(r4t::Controller::tail_from_arguments(k.args), k.tail) << k.tail;
}

TEST_F(R4t, ResultFileOfAnEarlierRunIsRemovedAtStart) {
  std::ofstream("r4t.txt") << "Ready";
  start("", "[AUTOLOAD]\nAUTOLOAD=1\n");  // R4Ttxt off: the file stays
  EXPECT_TRUE(fs::exists("r4t.txt"));
  start("", "[R4T]\nR4Ttxt=1\n");
  EXPECT_FALSE(fs::exists("r4t.txt"));
}

TEST_F(R4t, ButtonEnablingByExtension) {
  struct Case {
    const char* name;
    bool compile, write;
  } cases[] = {{"a.zpx", false, true},         {"dir.v/a.ZPS", false, true},
               {"a.zpf", true, false},         {"a.ZpF", true, false},
               {"a.txt", false, false},        {"noext", false, false},
               {"dir.zpf/noext", false, false}};
  for (const auto& k : cases) {
    view.set_file_name(k.name);
    EXPECT_EQ(view.enabled[Button::Compile], k.compile) << k.name;
    EXPECT_EQ(view.enabled[Button::Write], k.write) << k.name;
    EXPECT_EQ(view.enabled[Button::Read], k.write) << k.name;
  }
}

TEST_F(R4t, FileDialogAndDrop) {
  view.dialog_answer = "/x/chosen.zpf";
  view.dialog_ok = false;
  c.file_dialog();
  EXPECT_EQ(view.file_, "test.zpx");
  view.dialog_ok = true;
  c.file_dialog();
  EXPECT_EQ(view.file_, "/x/chosen.zpf");
  c.drop_files({"/d/first.zpx", "/d/second.zpf"});
  EXPECT_EQ(view.file_, "/d/first.zpx");
  c.drop_files({});
  EXPECT_EQ(view.file_, "/d/first.zpx");
  // A path that does not fit the 259 characters of a file name is not cut into another name.
  const std::string longest = "/" + std::string(254, 'a') + ".zpf";
  c.drop_files({longest});
  EXPECT_EQ(view.file_, longest);
  c.drop_files({"/" + std::string(300, 'a') + ".zpx"});
  EXPECT_EQ(view.file_, longest);
}

TEST_F(R4t, CompileSucceeds) {
  view.set_file_name("abcd.zpf");
  c.compile();
  EXPECT_EQ(view.status_, " No errors!");
  EXPECT_EQ(view.file_, "abcd.zpx");
  EXPECT_TRUE(view.enabled[Button::Write]);
  EXPECT_EQ(calls(), "zpxc32 zpxc source=abcd.zpf target=(null) listing=zpxc.out\n");
  EXPECT_EQ(view.progress, (std::vector<int>{0, 5}));
  EXPECT_FALSE(view.busy);
  EXPECT_FALSE(c.holds_library());
}

TEST_F(R4t, ActionsRejectNames) {
  // Cut to the 260-byte buffer, this name would end in ".zpf" or ".zpx" and name another file.
  const std::string too_long = std::string(255, 'k') + ".zpf.zpx.zpf";
  for (const std::string& name : {std::string(".zpf"), std::string("ab.zp"),
                                  std::string("abcd.zpx"), std::string("dir/.zpf"), too_long}) {
    view.set_file_name(name);
    c.compile();
    EXPECT_EQ(view.status_, " Invalid ZPF filename!") << name;
  }
  for (const std::string& name :
       {std::string(".zpx"), std::string("a.zps/"), std::string("abcd.zpf"),
        std::string(255, 'k') + ".zpx.zpf.zpx"}) {
    view.set_file_name(name);
    c.settings().Autoload = 1;
    c.write();
    EXPECT_EQ(view.status_, " Invalid ZPX filename!") << name;
    EXPECT_EQ(c.settings().Autoload, 0);
    c.settings().Autoload = 1;
    c.read();
    EXPECT_EQ(view.status_, " Invalid ZPX filename!") << name;
    EXPECT_EQ(c.settings().Autoload, 1);
  }
  EXPECT_EQ(calls(), "");
  EXPECT_TRUE(questions.empty());
}

TEST_F(R4t, OverlongInterfaceTextIsCutToTheBuffer) {
  setenv("DOUBLE_RESULT", "300", 1);
  c.settings().Autoload = 1;
  view.set_interface_text("USB" + std::string(400, 'x'));
  c.write();
  const std::string log = calls();
  const std::string seen =
      log.substr(log.find("iface=") + 6, log.find(" a=") - log.find("iface=") - 6);
  EXPECT_EQ(seen, "USB" + std::string(256, 'x'));
}

TEST_F(R4t, CompileFailureAsksForTheListing) {
  setenv("DOUBLE_ZPXC_RESULT", "-1", 1);
  c.settings().Autoload = 1;
  view.set_file_name("a.zpf");
  answer = platform::MsgAnswer::No;
  c.compile();
  EXPECT_EQ(view.status_, " Error (1)!");
  EXPECT_EQ(c.settings().Autoload, 0);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].text, "Errorcode: 1\nView error output file?");
  EXPECT_EQ(questions[0].caption, "Compiler error(s)");
  EXPECT_EQ(questions[0].buttons, platform::MsgButtons::YesNo);
  EXPECT_EQ(questions[0].icon, platform::MsgIcon::Warning);
  EXPECT_EQ(view.file_, "a.zpf");
}

TEST_F(R4t, CompileWithoutViewerSaysSo) {
  setenv("DOUBLE_ZPXC_RESULT", "-3", 1);
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", "/nonexistent", 1);
  unsetenv("VISUAL");
  unsetenv("EDITOR");
  view.set_file_name("a.zpf");
  c.compile();
  setenv("PATH", path.c_str(), 1);
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_EQ(questions[1].text, "Notepad not found!");
  EXPECT_EQ(questions[1].caption, "Error");
  EXPECT_EQ(questions[1].icon, platform::MsgIcon::Error);
}

TEST_F(R4t, MissingLibrariesAndEntryPoints) {
  r4t::Controller none(
      view, [](const std::string&) { return platform::Library::load("/nonexistent/lib.so"); });
  view.controller = &none;
  view.set_file_name("a.zpf");
  none.compile();
  EXPECT_EQ(view.status_, " Error: Can\xB4t load ZPXC32.DLL !");
  view.set_file_name("a.zpx");
  none.settings().Autoload = 1;
  none.write();
  EXPECT_EQ(view.status_, " Error: Can\xB4t load ZPXI32.DLL !");
  EXPECT_EQ(none.settings().Autoload, 0);
  view.set_interface_text("com3");
  none.write();
  EXPECT_EQ(view.status_, " Error: Can\xB4t load ZPXIRS232.DLL !");

  r4t::Controller empty(view, [](const std::string& n) { return load_double(n, "/empty"); });
  view.controller = &empty;
  view.set_interface_text("USB");
  empty.write();
  EXPECT_EQ(view.status_, " Error: ZPXC32.DLL Funktion! (Download)");
  empty.settings().RefreshMemory = 0x1FFF;
  empty.write();
  EXPECT_EQ(view.status_, " Error: ZPXC32.DLL Funktion! (Refresh)");
  answer = platform::MsgAnswer::Yes;
  empty.read();
  EXPECT_EQ(view.status_, " Error: ZPXC32.DLL Funktion !");
  EXPECT_FALSE(empty.holds_library());
}

TEST_F(R4t, WriteResults) {
  struct Case {
    const char* result;
    const char* status;
    int autoload;
  } cases[] = {
      {"-10", " Err: lib text (-0Ah)", 0},
      {"3", " Err: lib text (03h)", 0},
      {"0", " Err: lib text (00h)", 0},
      {"254", " Err: lib text (FEh)", 0},
      {"-65536", " Err: lib text (-00h)", 0},
      {"255", "lib text", 1},
      {"8000", "lib text", 1},
  };
  setenv("DOUBLE_TEXT", "lib text", 1);
  for (const auto& k : cases) {
    setenv("DOUBLE_RESULT", k.result, 1);
    c.settings().Autoload = 1;
    view.set_file_name("abcd.zpx");
    c.write();
    EXPECT_EQ(view.status_, k.status) << k.result;
    EXPECT_EQ(c.settings().Autoload, k.autoload) << k.result;
    EXPECT_EQ(c.last_write_result(), std::atoi(k.result));
  }
  EXPECT_TRUE(questions.empty());  // the automatic mode asks nothing
  EXPECT_NE(calls().find("zpxi32 zpx_download file=abcd.zpx iface=AT / PS2 check a=0 b=0"),
            std::string::npos);
}

TEST_F(R4t, WriteAsksAndRefreshes) {
  setenv("DOUBLE_RESULT", "300", 1);
  view.set_file_name("k.zpx");
  answer = platform::MsgAnswer::No;
  c.write();
  EXPECT_EQ(view.status_, " Download aborted!");
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].text,
            "Don't use mouse or keyboard at download!\n\nDownload overwrites the actual key "
            "assignment\ntable. "
            "Continue ?");
  EXPECT_EQ(questions[0].caption, "Download keytable");
  c.settings().RefreshMemory = 0x1F00;
  c.settings().RefreshValue = 0xAB;
  view.set_interface_text("COM2");
  answer = platform::MsgAnswer::Yes;
  c.write();
  EXPECT_EQ(questions[1].caption, "Refresh keytable");
  EXPECT_EQ(questions[1].text,
            "Don't use mouse or keyboard at refresh!\n\nRefresh overwrites the actual key "
            "assignment\ntable. "
            "Continue ?");
  EXPECT_EQ(calls(), "zpxirs232 zpx_refresh file=k.zpx iface=COM2 check a=7936 b=171\n");
  view.set_file_name("k.zpf");
  c.write();
  EXPECT_EQ(view.status_, " Invalid ZPX filename!");
}

TEST_F(R4t, ReadAction) {
  setenv("DOUBLE_RESULT", "4711", 1);
  view.set_file_name("out.ZPX");
  c.read();
  EXPECT_EQ(view.status_, " 4711 Bytes read!");
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].caption, "Upload ketable");
  EXPECT_EQ(questions[0].text,
            "This function is a beta release.\n\nKeytable of the connected Zelk keyboard\nwill be "
            "saved in "
            "\"out.ZPX\".\nDon't use keyboard or mouse at upload!\nContinue?");
  std::ofstream("out.ZPX") << "x";
  answer = platform::MsgAnswer::No;
  c.read();
  EXPECT_EQ(view.status_, " Upload aborted!");
  EXPECT_EQ(questions[1].text, "Overwrite 'out.ZPX'?");
  EXPECT_EQ(questions[1].caption, "File exist");
  answer = platform::MsgAnswer::Yes;
  setenv("DOUBLE_RESULT", "-2", 1);
  setenv("DOUBLE_TEXT", "no keyboard", 1);
  c.settings().Autoload = 1;
  c.read();
  EXPECT_EQ(view.status_, " Err: no keyboard (-02h)");
  EXPECT_EQ(c.settings().Autoload, 1);  // reading never changes the automatic mode
}

TEST_F(R4t, AutomaticModeCompilesDownloadsAndEnds) {
  setenv("DOUBLE_RESULT", "400", 1);
  setenv("DOUBLE_TEXT", " 400 bytes sent", 1);
  start("\"abcd.zpf\" /A", "[R4T]\nR4Ttxt=1\n");
  ASSERT_TRUE(view.timer);
  c.timer();
  EXPECT_EQ(view.titles, (std::vector<std::string>{"R4T [auto]", "R4T [Compile]", "R4T [Download]",
                                                   "R4T [Ready]"}));
  EXPECT_EQ(view.quit_code, 0);
  std::ifstream in("r4t.txt", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "Ready");
  EXPECT_TRUE(questions.empty());
}

TEST_F(R4t, AutomaticModePaths) {
  // A .zpx name skips the compile but passes through its title.
  setenv("DOUBLE_RESULT", "0", 1);
  start("\"abcd.zpx\" /A", "[R4T]\nR4Ttxt=1\n");
  c.timer();
  EXPECT_EQ(calls().find("zpxc "), std::string::npos);
  EXPECT_EQ(view.titles[1], "R4T [Compile]");
  EXPECT_EQ(view.quit_code, 1);  // result 0 is a failed write
  std::ifstream in("r4t.txt", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, " Err: AT / PS2 check (00h)");
}

TEST_F(R4t, AutomaticModeStaysOpenWithoutCloseOnError) {
  setenv("DOUBLE_ZPXC_RESULT", "-1", 1);
  start("", "[AUTOLOAD]\nAUTOLOAD=1\n[FILE]\nFILE=abcd.zpf\n");
  answer = platform::MsgAnswer::No;
  c.timer();
  EXPECT_EQ(view.quit_code, -1);
  EXPECT_EQ(view.status_, " Error (1)!");
  EXPECT_EQ(view.title_, "R4T [Download]");
}

TEST_F(R4t, AutomaticModeWithoutCompilerEndsWithOne) {
  r4t::Controller none(
      view, [](const std::string&) { return platform::Library::load("/nonexistent/x.so"); });
  view.controller = &none;
  none.set_command_line("\"abcd.zpf\" /A");
  none.form_show(platform::Registry{}, platform::IniFile{});
  none.timer();
  EXPECT_EQ(view.status_, " Invalid ZPX filename!");
  EXPECT_EQ(view.quit_code, 1);
}

TEST_F(R4t, HexCodes) {
  EXPECT_EQ(r4t::hex_code(-10), "(-0Ah)");
  EXPECT_EQ(r4t::hex_code(3), "(03h)");
  EXPECT_EQ(r4t::hex_code(-0x12345), "(-2345h)");
  EXPECT_EQ(r4t::hex_code(200), "(C8h)");
}

}  // namespace
