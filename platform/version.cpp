#include "platform/version.h"

#include <elf.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/library.h"
#include "platform/process.h"
#include "platform/text_util.h"

namespace platform {

namespace {

constexpr char kSection[] = ".note.zpx.version";
constexpr char kOwner[] = "ZELK";
constexpr std::uint32_t kNoteType = 0x5A56;

bool read_file(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return false;
  out = ss.str();
  return true;
}

template <typename T>
bool get(const std::string& f, std::uint64_t off, T& out) {
  if (off > f.size() || f.size() - off < sizeof(T)) return false;
  std::memcpy(&out, f.data() + off, sizeof(T));
  return true;
}

enum class Find { Found, NotElf, NoSection };

// Finds the version note's description inside an ELF file image.
template <typename Ehdr, typename Shdr>
Find find_note(const std::string& f, std::string& desc) {
  Ehdr eh;
  if (!get(f, 0, eh) || eh.e_shentsize != sizeof(Shdr) || eh.e_shstrndx >= eh.e_shnum) return Find::NotElf;
  Shdr names;
  if (!get(f, eh.e_shoff + std::uint64_t{eh.e_shstrndx} * sizeof(Shdr), names)) return Find::NotElf;
  for (unsigned i = 0; i < eh.e_shnum; ++i) {
    Shdr sh;
    if (!get(f, eh.e_shoff + std::uint64_t{i} * sizeof(Shdr), sh)) return Find::NotElf;
    std::uint64_t name_off = std::uint64_t{names.sh_offset} + sh.sh_name;
    if (name_off >= f.size() || f.size() - name_off < sizeof(kSection)) continue;
    if (std::memcmp(f.data() + name_off, kSection, sizeof(kSection)) != 0) continue;
    if (sh.sh_offset > f.size() || f.size() - sh.sh_offset < sh.sh_size) return Find::Found;  // cut short
    // Walk the notes of the section.
    std::uint64_t p = sh.sh_offset, end = sh.sh_offset + sh.sh_size;
    while (end - p >= 12) {
      std::uint32_t namesz = 0, descsz = 0, type = 0;
      get(f, p, namesz);
      get(f, p + 4, descsz);
      get(f, p + 8, type);
      std::uint64_t name_at = p + 12;
      std::uint64_t desc_at = name_at + ((std::uint64_t{namesz} + 3) & ~std::uint64_t{3});
      std::uint64_t next = desc_at + ((std::uint64_t{descsz} + 3) & ~std::uint64_t{3});
      if (desc_at > end || end - desc_at < descsz) break;
      if (type == kNoteType && namesz == sizeof(kOwner) &&
          std::memcmp(f.data() + name_at, kOwner, sizeof(kOwner)) == 0) {
        desc.assign(f.data() + desc_at, descsz);
        return Find::Found;
      }
      p = next;
    }
    desc.clear();
    return Find::Found;  // the section is there, its note is not usable
  }
  return Find::NoSection;
}

// The note's description, or an empty text when the file carries none. False when unreadable.
bool record_data(const std::string& path, std::string& desc, bool& found) {
  std::string f;
  found = false;
  desc.clear();
  if (!read_file(path, f)) return false;
  if (f.size() < EI_NIDENT || std::memcmp(f.data(), ELFMAG, SELFMAG) != 0) return true;
  if (f[EI_DATA] != ELFDATA2LSB) return true;
  Find r = f[EI_CLASS] == ELFCLASS64 ? find_note<Elf64_Ehdr, Elf64_Shdr>(f, desc)
           : f[EI_CLASS] == ELFCLASS32 ? find_note<Elf32_Ehdr, Elf32_Shdr>(f, desc)
                                       : Find::NotElf;
  found = r == Find::Found;
  return true;
}

std::uint16_t le16(const std::string& d, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(d[at]) | static_cast<unsigned char>(d[at + 1]) << 8);
}

bool decode(const std::string& d, VersionRecord& rec, bool& translation_ok) {
  translation_ok = false;
  if (d.size() < 14 || d.compare(0, 4, "ZVI1") != 0) return false;
  for (int i = 0; i < 4; ++i) rec.file_version[i] = le16(d, 4 + 2 * static_cast<std::size_t>(i));
  std::size_t count = le16(d, 12);
  std::size_t p = 14;
  if (d.size() - p < count * 4) return false;
  for (std::size_t i = 0; i < count; ++i, p += 4) rec.translations.push_back({le16(d, p), le16(d, p + 2)});
  translation_ok = count > 0;
  while (p < d.size()) {
    std::size_t z = d.find('\0', p);
    if (z == std::string::npos) return false;
    std::string key = d.substr(p, z - p);
    p = z + 1;
    if (key.empty()) return true;
    z = d.find('\0', p);
    if (z == std::string::npos) return false;
    rec.strings.emplace_back(key, d.substr(p, z - p));
    p = z + 1;
  }
  return false;  // no end marker
}

}  // namespace

std::optional<std::string> VersionRecord::string_value(const std::string& lang_cp,
                                                       const std::string& name) const {
  for (const auto& [key, value] : strings)
    if (detail::iequals(key, lang_cp + "\\" + name)) return value;
  return std::nullopt;
}

std::size_t version_record_size(const std::string& path) {
  std::string desc;
  bool found;
  if (!record_data(path, desc, found)) return 0;
  return desc.size();
}

std::optional<VersionRecord> read_version_record(const std::string& path, VersionError& err) {
  std::string desc;
  bool found;
  if (!record_data(path, desc, found)) {
    err = access(path.c_str(), F_OK) == 0 ? VersionError::Unreadable : VersionError::Empty;
    return std::nullopt;
  }
  if (desc.empty()) {
    err = VersionError::Empty;
    return std::nullopt;
  }
  VersionRecord rec;
  bool translation_ok;
  if (!decode(desc, rec, translation_ok)) {
    err = VersionError::Undecodable;
    return std::nullopt;
  }
  err = translation_ok ? VersionError::None : VersionError::NoTranslation;
  return rec;
}

std::string file_version_text(const std::string& name) {
  std::string path = name;
  if (detail::upper(name).find("DLL") != std::string::npos) {
    Library lib = Library::load(name);
    if (!lib) return "Can't find DLL (or sub-DLL)!";
    path = lib.path();
    lib.release();
    if (path.empty()) return "No DLL information available!";
  } else if (name.find('/') == std::string::npos) {
    // A bare program name is looked for beside the running program, with and without ".exe".
    std::string dir = executable_dir();
    std::string base = name;
    if (base.size() > 4 && detail::iequals(base.substr(base.size() - 4), ".exe")) base.resize(base.size() - 4);
    for (const std::string& candidate : {dir + "/" + name, dir + "/" + base, dir + "/" + detail::lower(base)}) {
      if (access(candidate.c_str(), F_OK) == 0) {
        path = candidate;
        break;
      }
    }
  }
  if (access(path.c_str(), F_OK) != 0) return "DLL info empty!";
  std::string desc;
  bool found;
  if (!record_data(path, desc, found)) return "Can't read version info!";
  if (desc.empty()) return "DLL info empty!";
  VersionRecord rec;
  bool translation_ok;
  if (!decode(desc, rec, translation_ok)) return "Can't decode version info!";
  if (!translation_ok) return "Language error - no translation entry (" + std::to_string(rec.translations.size() * 4) + " bytes)";
  char lang_cp[9];
  std::snprintf(lang_cp, sizeof lang_cp, "%04X%04X", rec.translations[0].language, rec.translations[0].code_page);
  auto v = rec.string_value(lang_cp, "FileVersion");
  return v ? *v : "Unknown string (FileVersion)!";
}

}  // namespace platform
