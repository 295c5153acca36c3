#include <elf.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "platform/process.h"
#include "platform/tests/test_util.h"
#include "platform/version.h"

using namespace platform;
using namespace platform::test;

namespace {

// The record's bytes: magic, version 3.0.0.1, translations, string pairs, end marker.
std::string record(std::uint16_t translations = 1, const std::string& key = "040704E4\\FileVersion") {
  std::string d = "ZVI1";
  d += std::string("\x03\x00\x00\x00\x00\x00\x01\x00", 8);
  d += static_cast<char>(translations);
  d += '\0';
  for (std::uint16_t i = 0; i < translations; ++i) d += std::string("\x07\x04\xE4\x04", 4);
  d += key + '\0' + "3.0.0.1" + '\0';
  d += std::string("\0", 1);
  return d;
}

std::string note(const std::string& desc, std::uint32_t type = 0x5A56) {
  std::string n(12, '\0');
  std::uint32_t head[3] = {5, static_cast<std::uint32_t>(desc.size()), type};
  std::memcpy(n.data(), head, sizeof head);
  n += std::string("ZELK\0\0\0\0", 8) + desc;
  n.resize((n.size() + 3) & ~std::size_t{3}, '\0');
  return n;
}

// A minimal little-endian ELF file of either class: a null section, the section name table and
// one section of the given name and content.
template <typename Ehdr, typename Shdr>
std::string elf(const std::string& section, unsigned char elf_class, const char* name = ".note.zpx.version") {
  const std::string names = std::string("\0.shstrtab\0", 11) + name + '\0';
  std::string f(sizeof(Ehdr), '\0');
  const std::size_t names_at = f.size();
  f += names;
  const std::size_t section_at = f.size();
  f += section;
  f.resize((f.size() + 7) & ~std::size_t{7}, '\0');
  Ehdr eh{};
  std::memcpy(eh.e_ident, ELFMAG, SELFMAG);
  eh.e_ident[EI_CLASS] = elf_class;
  eh.e_ident[EI_DATA] = ELFDATA2LSB;
  eh.e_ident[EI_VERSION] = EV_CURRENT;
  eh.e_type = ET_DYN;
  eh.e_shoff = f.size();
  eh.e_ehsize = sizeof(Ehdr);
  eh.e_shentsize = sizeof(Shdr);
  eh.e_shnum = 3;
  eh.e_shstrndx = 1;
  std::memcpy(f.data(), &eh, sizeof eh);
  Shdr sh[3]{};
  sh[1].sh_name = 1;
  sh[1].sh_type = SHT_STRTAB;
  sh[1].sh_offset = names_at;
  sh[1].sh_size = names.size();
  sh[2].sh_name = 11;
  sh[2].sh_type = SHT_NOTE;
  sh[2].sh_offset = section_at;
  sh[2].sh_size = section.size();
  f.append(reinterpret_cast<const char*>(sh), sizeof sh);
  return f;
}

std::string elf64(const std::string& section, const char* name = ".note.zpx.version") {
  return elf<Elf64_Ehdr, Elf64_Shdr>(section, ELFCLASS64, name);
}

}  // namespace

TEST(Version, RecordsOfBuiltLibraries) {
  EXPECT_EQ(file_version_text("zpxtestlib.dll"), ZPX_FILE_VERSION_TEXT);
  EXPECT_EQ(file_version_text("ZPXTESTLIB.DLL"), ZPX_FILE_VERSION_TEXT);
  EXPECT_EQ(file_version_text("zpxtestnover.dll"), "DLL info empty!");
  EXPECT_EQ(file_version_text("nothere.dll"), "Can't find DLL (or sub-DLL)!");

  const std::string lib = executable_dir() + "/libzpxtestlib.so";
  EXPECT_EQ(file_version_text(lib), ZPX_FILE_VERSION_TEXT);  // a path without "dll" is read directly
  EXPECT_GT(version_record_size(lib), 0u);
  EXPECT_EQ(version_record_size(executable_dir() + "/libzpxtestnover.so"), 0u);
  VersionError err;
  auto rec = read_version_record(lib, err);
  ASSERT_TRUE(rec);
  EXPECT_EQ(err, VersionError::None);
  ASSERT_EQ(rec->translations.size(), 1u);
  EXPECT_EQ(rec->translations[0].language, 0x0407);
  EXPECT_EQ(rec->translations[0].code_page, 0x04E4);
  EXPECT_EQ(rec->string_value("040704e4", "fileversion"), ZPX_FILE_VERSION_TEXT);
  EXPECT_EQ(rec->string_value("040704E4", "OriginalFilename"), "zpxtestlib");
  EXPECT_FALSE(rec->string_value("040904E4", "FileVersion"));
  // The numbers agree with the text.
  const std::string numbers = std::to_string(rec->file_version[0]) + "." + std::to_string(rec->file_version[1]) +
                              "." + std::to_string(rec->file_version[2]) + "." + std::to_string(rec->file_version[3]);
  EXPECT_EQ(numbers, ZPX_FILE_VERSION_TEXT);
}

TEST(Version, ProgramNamesAreLookedForBesideTheProgram) {
  // The test program lies in the output folder and carries no record; a name that is nowhere
  // cannot be read at all.
  EXPECT_EQ(file_version_text("platform_test.exe"), "DLL info empty!");
  EXPECT_EQ(file_version_text("PLATFORM_TEST.EXE"), "DLL info empty!");
  EXPECT_EQ(file_version_text("no_such_program.exe"), "Can't read version info!");
}

// Every failure text, from files that are cut, damaged or made up.
TEST(Version, DamagedFiles) {
  TempDir dir("version");
  const std::string good = read_file(executable_dir() + "/libzpxtestlib.so");
  const auto at = good.find("ZVI1");
  ASSERT_NE(at, std::string::npos);
  auto patched = [&](std::size_t off, const std::string& bytes) {
    std::string s = good;
    s.replace(off, bytes.size(), bytes);
    return s;
  };
  std::string bad_shoff = elf64(note(record()));
  std::memset(bad_shoff.data() + offsetof(Elf64_Ehdr, e_shoff), 0x7F, 8);
  std::string bad_name = elf64(note(record()));
  const std::size_t name_field = bad_name.size() - 3 * sizeof(Elf64_Shdr) + 2 * sizeof(Elf64_Shdr);
  std::memset(bad_name.data() + name_field, 0xFF, 4);  // the version section's name lies outside the table

  const struct {
    const char* what;
    std::string bytes;
    const char* text;  // the whole text, or its beginning for the language error
  } cases[] = {
      {"empty file", "", "DLL info empty!"},
      {"garbage", "garbage", "DLL info empty!"},
      {"ELF64 record", elf64(note(record())), "3.0.0.1"},
      {"ELF32 record", elf<Elf32_Ehdr, Elf32_Shdr>(note(record()), ELFCLASS32), "3.0.0.1"},
      {"other section name", elf64(note(record()), ".note.other"), "DLL info empty!"},
      {"other note type", elf64(note(record(), 1)), "DLL info empty!"},
      {"empty description", elf64(note("")), "DLL info empty!"},
      {"cut after the header", good.substr(0, 200), "Can't read version info!"},
      {"section table outside the file", bad_shoff, "Can't read version info!"},
      {"section name outside the table", bad_name, "DLL info empty!"},
      {"magic damaged", patched(at, "XXXX"), "Can't decode version info!"},
      {"description longer than the section", patched(at - 16, "\xFF\xFF"), "Can't decode version info!"},
      {"note header cut short", elf64(note(record()).substr(0, 10)), "Can't decode version info!"},
      {"record cut short", elf64(note(record().substr(0, 12))), "Can't decode version info!"},
      {"translations beyond the end", elf64(note(record().substr(0, 16))), "Can't decode version info!"},
      {"no end marker", elf64(note(record().substr(0, record().size() - 1))), "Can't decode version info!"},
      {"no translations", patched(at + 12, std::string("\0\0", 2)), "Language error - "},
      {"FileVersion key renamed", elf64(note(record(1, "040704E4\\FileVersioX"))), "Unknown string (FileVersion)!"},
      {"key of another language", elf64(note(record(1, "040904E4\\FileVersion"))), "Unknown string (FileVersion)!"},
  };
  int i = 0;
  for (const auto& c : cases) {
    fs::path p = dir / ("case" + std::to_string(i++) + ".so");
    write_file(p, c.bytes);
    const std::string text = file_version_text(p.string());
    EXPECT_EQ(text.substr(0, std::strlen(c.text)), c.text) << c.what;
    if (std::strcmp(c.text, "Language error - ") != 0) {
      EXPECT_EQ(text, c.text) << c.what;
    }
  }
  EXPECT_EQ(file_version_text((dir / "missing").string()), "Can't read version info!");
  EXPECT_EQ(file_version_text(dir.path().string()), "Can't read version info!");  // a folder
  EXPECT_EQ(file_version_text((dir / "case0.so/sub").string()), "Can't read version info!");
}
