#include "platform/process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace platform {

std::string executable_path() {
  std::vector<char> buf(1024);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
    if (buf.size() >= (1u << 16)) return {};
    buf.resize(buf.size() * 2);  // the path filled the buffer: it may have been cut
  }
}

std::string executable_dir() {
  std::string p = executable_path();
  auto slash = p.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : p.substr(0, slash);
}

namespace {

bool is_runnable(const std::string& file) {
  struct stat st;
  return stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0;
}

// The program file a command name stands for (a path, or a name found on PATH); empty when there
// is none that can be run.
std::string find_program(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return is_runnable(name) ? name : std::string{};
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::stringstream ss(path);
  std::string dir;
  while (std::getline(ss, dir, ':')) {
    if (dir.empty()) continue;  // an empty entry would mean the current folder: not searched
    std::string full = dir + "/" + name;
    if (is_runnable(full)) return full;
  }
  return {};
}

// Splits a command such as "code --wait" into words (blanks separate, no quoting).
std::vector<std::string> words(const std::string& cmd) {
  std::vector<std::string> out;
  std::stringstream ss(cmd);
  std::string w;
  while (ss >> w) out.push_back(w);
  return out;
}

// Starts argv in its own session without waiting for it. True only when the program was really
// started: a failing exec reports its error through a pipe that closes on a successful exec.
bool spawn_detached(std::vector<std::string> argv) {
  if (argv.empty()) return false;
  argv[0] = find_program(argv[0]);
  if (argv[0].empty()) return false;
  // Everything the child needs is prepared here: after fork only async-signal-safe calls are made.
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);

  int pipefd[2];
  if (pipe2(pipefd, O_CLOEXEC) != 0) return false;
  pid_t pid = fork();
  if (pid < 0) {
    close(pipefd[0]);
    close(pipefd[1]);
    return false;
  }
  if (pid == 0) {
    close(pipefd[0]);
    setsid();
    // The grandchild runs the program; the child ends at once, so nobody has to reap the viewer.
    pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 127 : 0);
    execv(args[0], args.data());
    int err = errno;
    ssize_t ignored = write(pipefd[1], &err, sizeof err);
    (void)ignored;
    _exit(127);
  }
  close(pipefd[1]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n;
  do {
    n = read(pipefd[0], &err, sizeof err);
  } while (n < 0 && errno == EINTR);
  close(pipefd[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

bool have_display() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

}  // namespace

bool open_text_viewer(const std::string& file) {
  // A name beginning with '-' would be taken for an option by the viewer.
  const std::string path = !file.empty() && file[0] == '-' ? "./" + file : file;
  // $VISUAL names a viewer that shows the file by itself.
  if (const char* visual = std::getenv("VISUAL"); visual && *visual) {
    std::vector<std::string> cmd = words(visual);
    if (!cmd.empty()) {
      cmd.push_back(path);
      if (spawn_detached(cmd)) return true;
    }
  }
  // $EDITOR needs a terminal: a terminal window of its own when we were started from a desktop,
  // the terminal we run in otherwise; without either it cannot be used.
  if (const char* editor = std::getenv("EDITOR"); editor && *editor) {
    std::vector<std::string> cmd = words(editor);
    if (!cmd.empty() && !find_program(cmd[0]).empty()) {
      cmd.push_back(path);
      const bool tty = isatty(STDIN_FILENO) == 1;
      if (!tty && have_display()) {
        std::vector<std::string> term = {"x-terminal-emulator", "-e"};
        term.insert(term.end(), cmd.begin(), cmd.end());
        if (spawn_detached(term)) return true;
      } else if (tty && spawn_detached(cmd)) {
        return true;
      }
    }
  }
  return spawn_detached({"xdg-open", path});
}

}  // namespace platform
