// Every shared library exports exactly the names on its list, nothing more.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/process.h"

namespace fs = std::filesystem;

namespace {

// The defined global symbols of an ELF64 shared object's dynamic symbol table.
std::set<std::string> defined_dynamic_symbols(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string f((std::istreambuf_iterator<char>(in)), {});
  std::set<std::string> out;
  if (f.size() < sizeof(Elf64_Ehdr)) return out;
  Elf64_Ehdr eh;
  std::memcpy(&eh, f.data(), sizeof eh);
  for (unsigned i = 0; i < eh.e_shnum; ++i) {
    Elf64_Shdr sh;
    std::memcpy(&sh, f.data() + eh.e_shoff + i * sizeof(Elf64_Shdr), sizeof sh);
    if (sh.sh_type != SHT_DYNSYM) continue;
    Elf64_Shdr strtab;
    std::memcpy(&strtab, f.data() + eh.e_shoff + sh.sh_link * sizeof(Elf64_Shdr), sizeof strtab);
    for (std::size_t off = sh.sh_offset; off + sizeof(Elf64_Sym) <= sh.sh_offset + sh.sh_size; off += sizeof(Elf64_Sym)) {
      Elf64_Sym sym;
      std::memcpy(&sym, f.data() + off, sizeof sym);
      const int bind = ELF64_ST_BIND(sym.st_info);
      if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
      out.insert(f.data() + strtab.sh_offset + sym.st_name);
    }
  }
  return out;
}

}  // namespace

TEST(Exports, EachLibraryExportsExactlyItsList) {
  const fs::path bin = platform::executable_dir();
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(bin / "exports")) {
    const std::string list_name = entry.path().filename().string();  // lib<name>.so.txt
    const fs::path lib = bin / list_name.substr(0, list_name.size() - 4);
    ASSERT_TRUE(fs::exists(lib)) << lib;
    std::set<std::string> expected;
    std::ifstream in(entry.path());
    for (std::string name; std::getline(in, name);)
      if (!name.empty()) expected.insert(name);
    std::set<std::string> actual = defined_dynamic_symbols(lib);
    for (const char* linker : {"_init", "_fini", "_edata", "_end", "__bss_start"}) actual.erase(linker);
    EXPECT_EQ(actual, expected) << lib;
    ++checked;
  }
  EXPECT_GE(checked, 1);
}
