// zpxc: compiles a ZPF keytable source into a ZPX keytable from the command line, through the
// compiler library exactly as the download utility uses it.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/library.h"
#include "zpxc32.h"

namespace {

constexpr char kUsage[] =
    "usage: zpxc SOURCE[.zpf] [-o TARGET[.zpx]] [-l LISTING]\n"
    "\n"
    "Compiles a ZPF keytable source into a ZPX keytable with libzpxc32.so.\n"
    "  -o TARGET   keytable to write (default: SOURCE with the extension .zpx)\n"
    "  -l LISTING  listing of diagnostics (default: zpxc.out in the current directory)\n"
    "  -q          no progress display\n"
    "  -h, --help  this text\n"
    "\n"
    "Errors of the listing are repeated on standard error as SOURCE:LINE: error: MESSAGE.\n"
    "Exit codes: 0 compiled; 1 compile errors or the keytable could not be written;\n"
    "2 usage error or no source name; 3 the listing cannot be created;\n"
    "4 the compiler library cannot be loaded.\n";

bool g_show_progress = false;

void show_progress(int32_t percent) {
  if (g_show_progress) std::fprintf(stderr, "\rzpxc: %3d%%", percent);
}

// The listing file the library writes for a listing argument: a folder gets "zpxc.out" in it, a
// name without extension gets ".out".
std::string listing_name(const char* listing) {
  if (!listing) return "zpxc.out";
  std::string path = listing;
  struct stat st;
  if (!path.empty() && path.back() != '/' && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) path += '/';
  const std::size_t slash = path.rfind('/');
  const std::size_t file = slash == std::string::npos ? 0 : slash + 1;
  if (file == path.size()) return path + "zpxc.out";
  if (path.find('.', file) == std::string::npos) path += ".out";
  return path;
}

// The source name the library reads: ".zpf" is added when the name has no extension.
std::string source_name(const char* source) {
  std::string path = source ? source : "";
  const std::size_t slash = path.rfind('/');
  if (path.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos) path += ".zpf";
  return path;
}

// Repeats the listing's errors in the form editors and build tools understand. A listing line
// is an echo "NNN: line" (followed by its error line, or carrying it behind a line without a
// line end), an error line, or a text of the compile as a whole ("FATAL: ...", "ERROR: ...").
void repeat_errors(const std::string& listing, const std::string& source) {
  std::ifstream in(listing, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    int number = 0;
    std::size_t at = std::string::npos;
    if (line.rfind("ERROR (line ", 0) == 0) {
      at = 0;
    } else if (line.size() > 5 && std::isdigit(static_cast<unsigned char>(line[0])) &&
               std::sscanf(line.c_str(), "%d: ", &number) == 1) {
      // An echo: its error line follows unless the echoed line had no line end.
      at = line.rfind("ERROR (line " + std::to_string(number) + "): ");
      if (at == std::string::npos) continue;
    } else if (line.rfind("FATAL: ", 0) == 0 || line.rfind("ERROR: ", 0) == 0) {
      std::fprintf(stderr, "%s: error: %s\n", source.c_str(), line.c_str() + 7);
      continue;
    } else {
      continue;
    }
    const std::size_t colon = line.find("): ", at);
    if (colon == std::string::npos || std::sscanf(line.c_str() + at, "ERROR (line %d)", &number) != 1) continue;
    std::fprintf(stderr, "%s:%d: error: %s\n", source.c_str(), number, line.c_str() + colon + 3);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* source = nullptr;
  const char* target = nullptr;
  const char* listing = nullptr;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "-q") {
      quiet = true;
    } else if (a == "-o" || a == "-l") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "zpxc: option '%s' needs a file name\n%s", a.c_str(), kUsage);
        return 2;
      }
      (a == "-o" ? target : listing) = argv[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "zpxc: unknown option '%s'\n%s", a.c_str(), kUsage);
      return 2;
    } else if (!source) {
      source = argv[i];
    } else {
      std::fprintf(stderr, "zpxc: more than one source given\n%s", kUsage);
      return 2;
    }
  }
  platform::Library lib = platform::Library::load("zpxc32.dll");
  if (!lib) {
    std::fprintf(stderr, "zpxc: cannot load the compiler library: %s\n", lib.error().c_str());
    return 4;
  }
  auto entry = lib.bind<decltype(&zpxc)>("zpxc");
  if (!entry) {
    std::fprintf(stderr, "zpxc: the compiler library has no entry point zpxc\n");
    return 4;
  }
  g_show_progress = !quiet && isatty(STDERR_FILENO);
  int32_t result = entry(source, target, listing, show_progress);
  if (g_show_progress) std::fputs("\n", stderr);
  const std::string list_name = listing_name(listing);
  switch (result) {
    case 0:
      return 0;
    case -2:
      std::fprintf(stderr, "zpxc: error: filename expected\n%s", kUsage);
      return 2;
    case -3:
      std::fprintf(stderr, "zpxc: error: cannot create the listing '%s'\n", list_name.c_str());
      return 3;
    default:
      repeat_errors(list_name, source_name(source));
      return 1;
  }
}
