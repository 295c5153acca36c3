#include "utility/controller.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/msgbox.h"
#include "platform/process.h"

namespace r4t {

namespace {

using Progress = void (*)(std::int32_t);
using ZpxcFn = std::int32_t (*)(const char*, const char*, const char*, Progress);
using DownloadFn = std::int32_t (*)(const char*, char*, Progress);
using RefreshFn = std::int32_t (*)(const char*, char*, std::int32_t, std::int32_t, Progress);
using UploadFn = std::int32_t (*)(const char*, char*, Progress);

constexpr std::size_t kBuffer = 260;  // file name and interface string buffers

Controller* g_active = nullptr;  // the controller whose library call is running

std::string trim_blanks(const std::string& s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

bool file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// An argument that names the keytable: by its extension, or because such a file exists.
bool names_a_file(const std::string& arg) {
  const std::string ext = upper_extension(arg);
  if (ext == ".ZPF" || ext == ".ZPX" || ext == ".ZPS") return true;
  struct stat st;
  return stat(arg.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Copies text into a zero-filled buffer of kBuffer bytes, cut to fit; false when it was cut.
bool fill(char (&buf)[kBuffer], const std::string& text) {
  std::memset(buf, 0, kBuffer);
  const std::size_t n = std::min(text.size(), kBuffer - 1);
  std::memcpy(buf, text.data(), n);
  return n == text.size();
}

// A file name that does not fit the buffer would name another file: it is never passed on.
bool fill_name(char (&buf)[kBuffer], const std::string& text) {
  if (fill(buf, text) && std::strlen(buf) == text.size()) return true;
  std::memset(buf, 0, kBuffer);
  return false;
}

// Releases the action's library on every way out of the action.
struct ReleaseAtEnd {
  platform::Library& lib;
  ~ReleaseAtEnd() { lib.release(); }
};

std::string buffer_text(const char (&buf)[kBuffer]) {
  return std::string(buf, strnlen(buf, kBuffer));
}

bool starts_with_nocase(const std::string& s, const char* prefix) {
  std::size_t n = std::strlen(prefix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::toupper(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

// Names the interface library accepts: an override such as "/A" that names none is a switch.
bool names_an_interface(const std::string& text) {
  return starts_with_nocase(text, "USB") || starts_with_nocase(text, "COM") ||
         starts_with_nocase(text, "AT");
}

bool valid_name(const std::string& name, std::initializer_list<const char*> extensions) {
  if (file_part(name).size() < 5) return false;
  std::string ext = upper_extension(name);
  return std::any_of(extensions.begin(), extensions.end(), [&](const char* e) { return ext == e; });
}

void ask_error(const std::string& text) {
  platform::message_box(platform::MsgBox{text, "Error", platform::MsgButtons::Ok,
                                         platform::MsgIcon::Error, platform::MsgAnswer::Ok});
}

bool ask_yes_no(const std::string& text, const std::string& caption) {
  return platform::message_box(platform::MsgBox{
             text, caption, platform::MsgButtons::YesNo, platform::MsgIcon::Warning,
             platform::MsgAnswer::No}) == platform::MsgAnswer::Yes;
}

}  // namespace

std::string file_part(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string upper_extension(const std::string& path) {
  std::string f = file_part(path);
  std::size_t dot = f.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = f.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

std::string switch_text(const std::string& command_line) {
  const std::size_t open = command_line.find('"');
  if (open == std::string::npos) return command_line;
  const std::size_t close = command_line.find('"', open + 1);
  if (close == std::string::npos) return command_line.substr(0, open);
  return command_line.substr(0, open) + command_line.substr(close + 1);
}

bool automatic_requested(const std::string& command_line) {
  return command_line.size() > 3 && switch_text(command_line).find("/A") != std::string::npos;
}

std::string hex_code(std::int32_t r) {
  char buf[32];
  if (r < 0)
    std::snprintf(buf, sizeof buf, "(-%02Xh)",
                  static_cast<unsigned>(-static_cast<std::int64_t>(r)) & 0xFFFF);
  else
    std::snprintf(buf, sizeof buf, "(%02Xh)", static_cast<unsigned>(r));
  return buf;
}

Controller::Controller(View& view, Loader loader) : view_(view), loader_(std::move(loader)) {}

Controller::~Controller() {
  if (g_active == this) g_active = nullptr;
}

Loader Controller::default_loader() {
  return [](const std::string& name) { return platform::Library::load(name); };
}

void Controller::progress(std::int32_t percent) {
  if (g_active) g_active->view_.set_progress(std::clamp<std::int32_t>(percent, 0, 100));
}

// The shell has already split the command line and taken the quotes off a name with blanks,
// while the command line evaluation expects the file name in double quotes (so that a path
// such as "/home/Al/x.zpf" is never read as a switch). The first argument that names a file is
// quoted again; a caller who wrote quotes himself gets his words joined unchanged.
std::string Controller::tail_from_arguments(const std::vector<std::string>& args) {
  bool named = std::any_of(args.begin(), args.end(),
                           [](const std::string& a) { return a.find('"') != std::string::npos; });
  std::string tail;
  for (const auto& a : args) {
    std::string word = a;
    if (!named && names_a_file(a)) {
      word = "\"" + a + "\"";
      named = true;
    }
    if (!tail.empty()) tail += ' ';
    tail += word;
  }
  return tail;
}

void Controller::set_command_line(const std::string& tail) {
  command_line_ = tail;
  override_.clear();
  // Words are split at single blanks; at most 31 are examined.
  std::size_t pos = 0;
  for (int word = 0; word < 31 && pos <= tail.size(); ++word) {
    std::size_t end = tail.find(' ', pos);
    std::string w = tail.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (!w.empty() && w[0] == '/') {
      std::string text = w.substr(1, 40);
      if (names_an_interface(text)) override_ = text;
    }
    if (end == std::string::npos) break;
    pos = end + 1;
  }
}

void Controller::form_show() {
  form_show(platform::Registry::open_default(), platform::IniFile::load("r4t.ini"));
}

void Controller::form_show(const platform::Registry& registry, const platform::IniFile& ini) {
  view_.set_status(" Read INI file");

  std::uint32_t iface = 0;
  switch (registry.read_dword("\\Software\\Zelk\\Keyboard", "INTERFACE", iface)) {
    case platform::RegResult::Ok:
      if (iface == 0)
        view_.set_interface_text("AT");
      else if (iface == 0xFFFFFFFFu)
        view_.set_interface_text("USB");
      break;
    case platform::RegResult::WrongType:
      // The registry reader's error ends the start-up here; the window stays usable.
      platform::message_box("Invalid data type for 'INTERFACE'", "R4T Download Utility",
                            platform::MsgButtons::Ok, platform::MsgIcon::Error);
      return;
    default:
      break;
  }

  // Old layout: one section per setting.
  s_.UPLOAD = ini.read_integer("UPLOAD", "UPLOAD", 0);
  s_.USBUPLOAD = ini.read_integer("USBUPLOAD", "USBUPLOAD", 0);
  s_.Autoload = ini.read_integer("AUTOLOAD", "AUTOLOAD", 0);
  view_.set_file_name(ini.read_string("FILE", "FILE", view_.file_name()));
  view_.set_interface_text(ini.read_string("INTERFACE", "INTERFACE", view_.interface_text()));
  s_.CloseOnError = ini.read_integer("CLOSEONERROR", "CloseOnError", 0);
  for (const char* section : {"Version3", "R4T"}) {
    if (!ini.section_exists(section)) continue;
    s_.UPLOAD = ini.read_integer(section, "UPLOAD", 0);
    s_.USBUPLOAD = ini.read_integer(section, "USBUPLOAD", 0);
    s_.Autoload = ini.read_integer(section, "Autoload", s_.Autoload);
    view_.set_file_name(ini.read_string(section, "File", view_.file_name()));
    view_.set_interface_text(ini.read_string(section, "Interface", view_.interface_text()));
    s_.RefreshMemory = ini.read_integer(section, "RefreshMemory", 0);
    s_.RefreshValue =
        static_cast<std::uint8_t>(ini.read_integer(section, "RefreshValue", 255) & 0xFF);
    s_.CloseOnError = ini.read_integer(section, "CloseOnError", 0);
    s_.R4Ttxt = ini.read_integer(section, "R4Ttxt", 0);
  }

  if (command_line_.size() > 3) {
    std::string s = trim_blanks(command_line_);
    const std::string switches = switch_text(s);
    if (switches.find("/A") != std::string::npos) {
      s_.Autoload = 1;
      s_.CloseOnError = 1;
    }
    if (switches.find("/U") != std::string::npos) {
      override_.clear();
      view_.set_interface_text("USB");
    }
    if (switches.find("/P") != std::string::npos) {
      override_.clear();
      view_.set_interface_text("AT");
    }
    if (auto q = s.find('"'); q != std::string::npos) s = s.substr(q + 1);
    if (auto q = s.find('"'); q != std::string::npos) {
      std::string after = s.substr(q + 1);
      if (after.find("USB") != std::string::npos) view_.set_interface_text("USB");
      if (after.find("AT") != std::string::npos) view_.set_interface_text("AT");
      s = s.substr(0, q);
    }
    view_.set_file_name(trim_blanks(s));
  }
  if (s_.R4Ttxt && file_exists("r4t.txt")) std::remove("r4t.txt");
  if (!override_.empty()) view_.set_interface_text(override_);
  if (s_.UPLOAD) view_.set_visible(Button::Read, true);
  if (s_.Autoload) view_.start_timer();
  view_.repaint();
  view_.set_status("");
}

void Controller::update_buttons() {
  const std::string ext = upper_extension(view_.file_name());
  const bool keytable = ext == ".ZPX" || ext == ".ZPS";
  view_.set_enabled(Button::Compile, ext == ".ZPF");
  view_.set_enabled(Button::Write, keytable);
  view_.set_enabled(Button::Read, keytable);
}

void Controller::file_dialog() {
  const std::string name = view_.file_name();
  std::size_t slash = name.rfind('/');
  std::string folder = slash == std::string::npos ? std::string{} : name.substr(0, slash + 1);
  std::string chosen;
  if (view_.choose_file(folder, name, chosen)) view_.set_file_name(chosen);
}

void Controller::drop_files(const std::vector<std::string>& paths) {
  // Only the first file counts. A path longer than the 259 characters a file name may have
  // would have to be cut, and a cut path names another file: such a drop changes nothing.
  if (paths.empty() || paths.front().empty() || paths.front().size() > kBuffer - 1) return;
  view_.set_file_name(paths.front());
}

void Controller::busy_call(const std::function<void()>& call) {
  view_.set_progress(0);
  view_.set_busy(true);
  g_active = this;
  try {
    call();
  } catch (...) {
    g_active = nullptr;
    view_.set_busy(false);
    throw;
  }
  g_active = nullptr;
  view_.set_busy(false);
}

void Controller::compile() {
  view_.set_status(" Compiling...");
  char file[kBuffer];
  const bool fits = fill_name(file, view_.file_name());
  const std::string name = buffer_text(file);
  if (!fits || !valid_name(name, {".ZPF"})) return view_.set_status(" Invalid ZPF filename!");
  loaded_ = loader_("zpxc32.dll");
  if (!loaded_) return view_.set_status(" Error: Can\xB4t load ZPXC32.DLL !");
  ReleaseAtEnd release{loaded_};
  auto zpxc = loaded_.bind<ZpxcFn>("zpxc");
  if (!zpxc) return view_.set_status(" Error: ZPXC32.DLL Funktion !");
  std::int32_t r = 0;
  busy_call([&] { r = zpxc(file, nullptr, "zpxc.out", &Controller::progress); });
  if (r == 0) {
    view_.set_status(" No errors!");
    view_.set_file_name(name.substr(0, name.rfind('.')) + ".zpx");
    return;
  }
  const std::string code = std::to_string(-static_cast<std::int64_t>(r));
  view_.set_status(" Error (" + code + ")!");
  s_.Autoload = 0;
  if (ask_yes_no("Errorcode: " + code + "\nView error output file?", "Compiler error(s)") &&
      !platform::open_text_viewer("zpxc.out"))
    ask_error("Notepad not found!");
}

platform::Library Controller::load_interface_library(bool& serial) {
  serial = starts_with_nocase(view_.interface_text(), "COM");
  return loader_(serial ? "zpxirs232.dll" : "zpxi32.dll");
}

void Controller::write() {
  view_.set_status(" Downloading...");
  char file[kBuffer];
  const bool fits = fill_name(file, view_.file_name());
  if (!fits || !valid_name(buffer_text(file), {".ZPX", ".ZPS"})) {
    view_.set_status(" Invalid ZPX filename!");
    s_.Autoload = 0;
    return;
  }
  bool serial = false;
  loaded_ = load_interface_library(serial);
  if (!loaded_) {
    view_.set_status(serial ? " Error: Can\xB4t load ZPXIRS232.DLL !"
                            : " Error: Can\xB4t load ZPXI32.DLL !");
    s_.Autoload = 0;
    return;
  }
  ReleaseAtEnd release{loaded_};
  const bool refresh = s_.RefreshMemory != 0;
  RefreshFn do_refresh = nullptr;
  DownloadFn do_download = nullptr;
  if (refresh)
    do_refresh = loaded_.bind<RefreshFn>("zpx_refresh");
  else
    do_download = loaded_.bind<DownloadFn>("zpx_download");
  if (!do_refresh && !do_download) {
    view_.set_status(refresh ? " Error: ZPXC32.DLL Funktion! (Refresh)"
                             : " Error: ZPXC32.DLL Funktion! (Download)");
    s_.Autoload = 0;
    return;
  }
  if (!s_.Autoload) {
    const bool go =
        refresh
            ? ask_yes_no(
                  "Don't use mouse or keyboard at refresh!\n\nRefresh overwrites the actual key "
                  "assignment\ntable. Continue ?",
                  "Refresh keytable")
            : ask_yes_no(
                  "Don't use mouse or keyboard at download!\n\nDownload overwrites the actual key "
                  "assignment\ntable. Continue ?",
                  "Download keytable");
    if (!go) {
      view_.set_status(" Download aborted!");
      s_.Autoload = 0;
      return;
    }
  }
  char iface[kBuffer];
  fill(iface, view_.interface_text() + " check");
  std::int32_t r = 0;
  busy_call([&] {
    r = refresh ? do_refresh(file, iface, s_.RefreshMemory, s_.RefreshValue, &Controller::progress)
                : do_download(file, iface, &Controller::progress);
  });
  last_write_result_ = r;
  if (r >= 255) {
    view_.set_status(buffer_text(iface));
  } else {
    view_.set_status(" Err: " + buffer_text(iface) + " " + hex_code(r));
    s_.Autoload = 0;
  }
}

void Controller::read() {
  view_.set_status(" Uploading...");
  char file[kBuffer];
  const bool fits = fill_name(file, view_.file_name());
  const std::string name = buffer_text(file);
  if (!fits || !valid_name(name, {".ZPX", ".ZPS"}))
    return view_.set_status(" Invalid ZPX filename!");
  if (file_exists(name) && !ask_yes_no("Overwrite '" + view_.file_name() + "'?", "File exist"))
    return view_.set_status(" Upload aborted!");
  if (!ask_yes_no("This function is a beta release.\n\nKeytable of the connected Zelk "
                  "keyboard\nwill be saved in \"" +
                      file_part(name) + "\".\nDon't use keyboard or mouse at upload!\nContinue?",
                  "Upload ketable"))
    return view_.set_status(" Upload aborted!");
  bool serial = false;
  loaded_ = load_interface_library(serial);
  if (!loaded_)
    return view_.set_status(serial ? " Error: Can\xB4t load ZPXIRS232.DLL !"
                                   : " Error: Can\xB4t load ZPXI32.DLL !");
  ReleaseAtEnd release{loaded_};
  auto upload = loaded_.bind<UploadFn>("zpx_upload");
  if (!upload) return view_.set_status(" Error: ZPXC32.DLL Funktion !");
  char iface[kBuffer];
  fill(iface, view_.interface_text() + " check");
  std::int32_t r = 0;
  busy_call([&] { r = upload(file, iface, &Controller::progress); });
  if (r >= 255)
    view_.set_status(" " + std::to_string(r) + " Bytes read!");
  else
    view_.set_status(" Err: " + buffer_text(iface) + " " + hex_code(r));
}

void Controller::release_library() { loaded_.release(); }

void Controller::exit_clicked() {
  loaded_.release();
  view_.quit(0);
}

void Controller::timer() {
  view_.stop_timer();
  if (!s_.Autoload) return;
  view_.set_title("R4T [auto]");
  const std::string remembered = view_.file_name();
  view_.set_title("R4T [Compile]");
  if (file_part(remembered).size() >= 5 && upper_extension(remembered) == ".ZPF") compile();
  view_.set_title("R4T [Download]");
  if (s_.Autoload) write();
  if (!s_.Autoload && !s_.CloseOnError) return;
  view_.set_title("R4T [Ready]");
  if (s_.R4Ttxt) {
    std::remove("r4t.txt");
    if (std::FILE* f = std::fopen("r4t.txt", "wb")) {
      const std::string text = s_.Autoload ? std::string("Ready") : view_.status();
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
  }
  view_.quit(last_write_result_ > 0 ? 0 : 1);
}

}  // namespace r4t
