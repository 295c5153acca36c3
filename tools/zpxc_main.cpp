// zpxc: compiles a ZPF keytable source into a ZPX keytable from the command line, through the
// compiler library exactly as the download utility uses it.
#include <unistd.h>

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

// Repeats the listing's errors in the form editors and build tools understand.
void repeat_errors(const std::string& listing, const std::string& source) {
  std::ifstream in(listing, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    int number = 0;
    char message[600];
    if (std::sscanf(line.c_str(), "ERROR (line %d): %599[^\n]", &number, message) == 2) {
      std::fprintf(stderr, "%s:%d: error: %s\n", source.c_str(), number, message);
    } else if (line.rfind("FATAL: ", 0) == 0 || line.rfind("ERROR: ", 0) == 0) {
      std::fprintf(stderr, "%s: error: %s\n", source.c_str(), line.c_str() + 7);
    } else if (line.find("ERROR (line ") != std::string::npos) {
      // An echo without its own line end carries the error line behind it.
      auto at = line.find("ERROR (line ");
      if (std::sscanf(line.c_str() + at, "ERROR (line %d): %599[^\n]", &number, message) == 2)
        std::fprintf(stderr, "%s:%d: error: %s\n", source.c_str(), number, message);
    }
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
    } else if ((a == "-o" || a == "-l") && i + 1 < argc) {
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
  const std::string list_name = listing ? listing : "zpxc.out";
  switch (result) {
    case 0:
      return 0;
    case -2:
      std::fprintf(stderr, "zpxc: error: filename expected\n%s", kUsage);
      return 2;
    case -3:
      std::fprintf(stderr, "zpxc: error: cannot create the listing '%s'\n", list_name.c_str());
      return 3;
    default: {
      // The library may have completed the listing's name (folder, extension).
      std::string shown = source ? source : "";
      if (!shown.empty() && shown.find('.', shown.rfind('/') + 1) == std::string::npos) shown += ".zpf";
      std::string lname = list_name;
      if (listing) {
        std::ifstream probe(lname);
        if (!probe) lname += ".out";
      }
      repeat_errors(lname, shown);
      return 1;
    }
  }
}
