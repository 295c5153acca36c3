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

// The defined global symbols of an ELF64 shared object's dynamic symbol table; every table the
// file points to is checked to lie inside the file.
std::set<std::string> defined_dynamic_symbols(const fs::path& path, bool& readable) {
  readable = false;
  std::ifstream in(path, std::ios::binary);
  const std::string f((std::istreambuf_iterator<char>(in)), {});
  std::set<std::string> out;
  auto inside = [&](std::uint64_t off, std::uint64_t size) { return off <= f.size() && size <= f.size() - off; };
  Elf64_Ehdr eh;
  if (!inside(0, sizeof eh)) return out;
  std::memcpy(&eh, f.data(), sizeof eh);
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64) return out;
  auto section = [&](std::uint64_t i, Elf64_Shdr& sh) {
    if (i >= eh.e_shnum || !inside(eh.e_shoff + i * sizeof sh, sizeof sh)) return false;
    std::memcpy(&sh, f.data() + eh.e_shoff + i * sizeof sh, sizeof sh);
    return true;
  };
  Elf64_Shdr sh;
  for (unsigned i = 0; section(i, sh); ++i) {
    Elf64_Shdr strtab;
    if (sh.sh_type != SHT_DYNSYM || !inside(sh.sh_offset, sh.sh_size) || !section(sh.sh_link, strtab) ||
        !inside(strtab.sh_offset, strtab.sh_size))
      continue;
    readable = true;
    for (std::uint64_t off = sh.sh_offset; off + sizeof(Elf64_Sym) <= sh.sh_offset + sh.sh_size; off += sizeof(Elf64_Sym)) {
      Elf64_Sym sym;
      std::memcpy(&sym, f.data() + off, sizeof sym);
      const int bind = ELF64_ST_BIND(sym.st_info);
      if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK) || sym.st_name >= strtab.sh_size) continue;
      const char* name = f.data() + strtab.sh_offset + sym.st_name;
      out.insert(std::string(name, strnlen(name, strtab.sh_size - sym.st_name)));
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
    bool readable = false;
    std::set<std::string> actual = defined_dynamic_symbols(lib, readable);
    ASSERT_TRUE(readable) << lib << " has no readable dynamic symbol table";
    for (const char* linker : {"_init", "_fini", "_edata", "_end", "__bss_start"}) actual.erase(linker);
    EXPECT_EQ(actual, expected) << lib;
    ++checked;
  }
  EXPECT_GE(checked, 1);
}
