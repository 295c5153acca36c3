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
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = '\0';
  return buf;
}

std::string executable_dir() {
  std::string p = executable_path();
  auto slash = p.rfind('/');
  return slash == std::string::npos ? std::string{} : p.substr(0, slash);
}

namespace {

// Finds a program on PATH (or checks a path); empty when it cannot be run.
std::string find_program(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::stringstream ss(path);
  std::string dir;
  while (std::getline(ss, dir, ':')) {
    if (dir.empty()) continue;
    std::string full = dir + "/" + name;
    struct stat st;
    if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0)
      return full;
  }
  return {};
}

// Splits a command such as "code --wait" into words (no quoting rules beyond blanks).
std::vector<std::string> words(const std::string& cmd) {
  std::vector<std::string> out;
  std::stringstream ss(cmd);
  std::string w;
  while (ss >> w) out.push_back(w);
  return out;
}

// Starts argv detached (its own session, not waited for). True when exec succeeded.
bool spawn_detached(const std::vector<std::string>& argv) {
  if (argv.empty() || find_program(argv[0]).empty()) return false;
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
    pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 127 : 0);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    int err = errno;
    ssize_t ignored = write(pipefd[1], &err, sizeof err);
    (void)ignored;
    _exit(127);
  }
  close(pipefd[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  int err = 0;
  ssize_t n = read(pipefd[0], &err, sizeof err);
  close(pipefd[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

bool have_display() { return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"); }

}  // namespace

bool open_text_viewer(const std::string& path) {
  for (const char* var : {"VISUAL", "EDITOR"}) {
    const char* value = std::getenv(var);
    if (!value || !*value) continue;
    std::vector<std::string> cmd = words(value);
    if (cmd.empty() || find_program(cmd[0]).empty()) continue;
    cmd.push_back(path);
    if (isatty(STDIN_FILENO) || !have_display()) {
      if (spawn_detached(cmd)) return true;
      continue;
    }
    // A terminal editor started from a window needs a terminal of its own.
    std::vector<std::string> term = {"x-terminal-emulator", "-e"};
    term.insert(term.end(), cmd.begin(), cmd.end());
    if (spawn_detached(term) || spawn_detached(cmd)) return true;
  }
  return spawn_detached({"xdg-open", path});
}

}  // namespace platform
