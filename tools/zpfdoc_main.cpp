// zpfdoc: brings the generated sections of the language manual up to date with the compiler's
// tables (messages, models, key names, built-in definitions).
#include <cstdio>
#include <fstream>
#include <sstream>

#include "compiler/docgen.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: zpfdoc MANUAL.md   (rewrites its generated sections)\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "zpfdoc: cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string updated = compiler::update_manual(ss.str());
  std::ofstream(argv[1], std::ios::binary) << updated;
  return 0;
}
