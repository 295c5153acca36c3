// zpx-kbdsim: the virtual keyboard as a serial keyboard on a pseudo-terminal. It prints the
// terminal's device path, which the host maps as a COM port, and serves until SIGINT or
// SIGTERM; the keyboard's memory is kept in its state file.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "vkbd/config.h"
#include "vkbd/keyboard.h"
#include "vkbd/serial.h"

namespace {

vkbd::PtyLine* g_line = nullptr;

void on_signal(int) {
  if (g_line) g_line->stop();
}

void usage(std::ostream& out) {
  out << "Usage: zpx-kbdsim [--config FILE] [--state FILE] [--transcript FILE] [--verbose]\n"
         "Runs the virtual POS keyboard as a serial keyboard on a pseudo-terminal and prints the\n"
         "terminal's device path (map it as a COM port). Stops on SIGINT or SIGTERM.\n"
         "  --config FILE      keyboard settings (default: the file named by ZPX_VKBD)\n"
         "  --state FILE       keyboard memory (default: ZPX_VKBD_STATE, the settings' StateFile,\n"
         "                     or $XDG_STATE_HOME/zelk/vkbd.bin)\n"
         "  --transcript FILE  write every byte in and out, with its meaning, to FILE\n"
         "  --verbose          the same on standard error\n"
         "  --help             this text\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::string config_path, state, transcript_path;
  bool have_config = false, have_state = false, verbose = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& into, bool* given) {
      if (i + 1 >= argc) {
        std::cerr << "zpx-kbdsim: " << a << " needs a value\n";
        std::exit(2);
      }
      into = argv[++i];
      if (given) *given = true;
    };
    if (a == "--help" || a == "-h") {
      usage(std::cout);
      return 0;
    } else if (a == "--config") {
      value(config_path, &have_config);
    } else if (a == "--state") {
      value(state, &have_state);
    } else if (a == "--transcript") {
      value(transcript_path, nullptr);
    } else if (a == "--verbose") {
      verbose = true;
    } else {
      std::cerr << "zpx-kbdsim: unknown argument " << a << "\n";
      usage(std::cerr);
      return 2;
    }
  }

  vkbd::Config config = have_config ? vkbd::Config::load(config_path) : vkbd::Config::from_environment();
  if (!have_state) state = vkbd::state_path(config);
  vkbd::Keyboard keyboard(config, state, [](std::uint8_t) {});

  std::ofstream transcript;
  if (!transcript_path.empty()) {
    transcript.open(transcript_path, std::ios::out | std::ios::trunc);
    if (!transcript) {
      std::cerr << "zpx-kbdsim: cannot write " << transcript_path << "\n";
      return 1;
    }
  }
  if (verbose || transcript.is_open()) {
    keyboard.set_transcript_sink(
        [&](const vkbd::Entry& e) {
          std::string line = vkbd::Transcript::line(e);
          if (transcript.is_open()) transcript << line << std::endl;
          if (verbose) std::cerr << line << "\n";
        },
        false);
  } else {
    keyboard.set_transcript_sink({}, false);
  }

  std::string error;
  auto line = vkbd::PtyLine::open(&error);
  if (!line) {
    std::cerr << "zpx-kbdsim: " << error << "\n";
    return 1;
  }
  g_line = line.get();
  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::cout << line->device() << std::endl;
  bool served = line->serve(keyboard, &error);
  g_line = nullptr;
  if (!served) std::cerr << "zpx-kbdsim: " << error << "\n";
  if (!keyboard.save(&error)) {
    std::cerr << "zpx-kbdsim: memory not kept: " << error << "\n";
    return 1;
  }
  return served ? 0 : 1;
}
