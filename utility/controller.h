// The download utility's main window logic: start-up, settings, button enabling, file choice,
// the automatic mode and the compile, write and read actions. It knows no toolkit: the window
// is a View, and libraries come from a Loader, so both can be replaced in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "platform/library.h"
#include "platform/registry.h"

namespace r4t {

enum class Button { Compile, Write, Read };  // Button1, Button2, Button3

// What the logic needs of the main window. Texts are Windows-1252 bytes.
class View {
 public:
  virtual ~View() = default;
  virtual void set_status(const std::string& text) = 0;
  virtual std::string status() const = 0;
  virtual std::string file_name() const = 0;
  // Sets the file name field; the window then runs the button enabling (as a change does).
  virtual void set_file_name(const std::string& text) = 0;
  virtual std::string interface_text() const = 0;
  virtual void set_interface_text(const std::string& text) = 0;
  virtual void set_enabled(Button b, bool enabled) = 0;
  virtual void set_visible(Button b, bool visible) = 0;
  // Busy indication: progress at 0 shown instead of the status bar, wait cursor; and back.
  virtual void set_busy(bool busy) = 0;
  virtual void set_progress(int percent) = 0;
  virtual void set_title(const std::string& title) = 0;
  virtual void start_timer() = 0;
  virtual void stop_timer() = 0;
  // Runs the file dialog; returns false when it was cancelled.
  virtual bool choose_file(const std::string& folder, const std::string& name,
                           std::string& chosen) = 0;
  virtual void repaint() {}
  // Ends the program with an exit code.
  virtual void quit(int code) = 0;
};

using Loader = std::function<platform::Library(const std::string& name)>;

struct Settings {
  std::int32_t UPLOAD = 0;
  std::int32_t USBUPLOAD = 0;
  std::int32_t Autoload = 0;
  std::int32_t CloseOnError = 0;
  std::int32_t R4Ttxt = 0;
  std::int32_t RefreshMemory = 0;
  std::uint8_t RefreshValue = 255;
};

class Controller {
 public:
  explicit Controller(View& view, Loader loader = default_loader());
  ~Controller();

  static Loader default_loader();

  // Program start: keeps the command-line tail and takes the interface override from it.
  void set_command_line(const std::string& tail);
  // Builds the command-line tail from the program's arguments, joined with single blanks. The
  // first argument that names a file (by a keytable extension, or an existing file) is put back
  // into the double quotes the shell took off, unless the arguments already hold quotes.
  static std::string tail_from_arguments(const std::vector<std::string>& args);

  // The start-up sequence (main window first shown), with the given sources.
  void form_show(const platform::Registry& registry, const platform::IniFile& ini);
  // The same with the registry file and ".\r4t.ini".
  void form_show();

  void update_buttons();                                   // FormActivate, Edit1Change
  void file_dialog();                                      // Button5Click
  void drop_files(const std::vector<std::string>& paths);  // a drop on the window
  void compile();                                          // Button1Click
  void write();                                            // Button2Click
  void read();                                             // Button3Click
  void exit_clicked();                                     // Button4Click
  void release_library();                                  // Button4Exit
  void timer();                                            // Timer1Timer

  const Settings& settings() const { return s_; }
  Settings& settings() { return s_; }
  const std::string& command_line() const { return command_line_; }
  const std::string& interface_override() const { return override_; }
  std::int32_t last_write_result() const { return last_write_result_; }
  bool holds_library() const { return loaded_.loaded(); }

  // Progress of the running library call (the callback the libraries get).
  static void progress(std::int32_t percent);

 private:
  platform::Library load_interface_library(bool& serial);
  void busy_call(const std::function<void()>& call);

  View& view_;
  Loader loader_;
  Settings s_;
  std::string command_line_;
  std::string override_;
  std::int32_t last_write_result_ = 0;
  platform::Library loaded_;
};

// Helpers with the utility's own rules (exposed for tests).
std::string file_part(const std::string& path);  // text after the last "/"
std::string upper_extension(
    const std::string& path);               // from the last "." of the file part, upper-cased
std::string hex_code(std::int32_t result);  // "(-0Ah)", "(03h)"
// The command line without its double-quoted file name: the text searched for the switches
// "/A", "/U" and "/P". A path holds slashes here ("/home/Al/x.zpf"), so the name is no switch.
std::string switch_text(const std::string& command_line);
// Whether the command line asks for the automatic mode ("/A").
bool automatic_requested(const std::string& command_line);

}  // namespace r4t
