#include "platform/version.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/library.h"
#include "platform/process.h"
#include "platform/text_util.h"

namespace platform {

namespace {

constexpr char kSection[] = ".note.zpx.version";  // with its terminating zero
constexpr char kOwner[] = "ZELK";                   // likewise: the note's namesz is 5
constexpr std::uint32_t kNoteType = 0x5A56;
constexpr char kMagic[] = "ZVI1";
constexpr std::size_t kFixedSize = 14;  // magic, four version numbers, translation count

// What looking for the record in a file found.
enum class Probe {
  Record,     // desc holds the record's bytes
  NoRecord,   // the file carries no record (size 0)
  Unreadable, // the file cannot be opened or read, or is cut short
  Malformed,  // the record's note is damaged
};

// Reads ranges of a file whose content is untrusted: every offset and size is checked against the
// file's size before anything is read.
class FileReader {
 public:
  explicit FileReader(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return;
    struct stat st;
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
  }
  ~FileReader() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  bool open() const { return fd_ >= 0; }
  std::uint64_t size() const { return size_; }
  bool fits(std::uint64_t off, std::uint64_t n) const { return off <= size_ && size_ - off >= n; }

  bool read(std::uint64_t off, void* out, std::size_t n) {
    if (!fits(off, n)) return false;
    auto* p = static_cast<char*>(out);
    while (n > 0) {
      ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(off));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      p += got;
      off += static_cast<std::uint64_t>(got);
      n -= static_cast<std::size_t>(got);
    }
    return true;
  }
  template <typename T>
  bool get(std::uint64_t off, T& out) {
    return read(off, &out, sizeof(T));
  }

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Walks the notes of the version section [off, off + size) for ours.
Probe find_note(FileReader& f, std::uint64_t off, std::uint64_t size, std::string& desc) {
  // The section is small; read it whole (bounded: a damaged size must not allocate gigabytes).
  if (size > (1u << 20)) return Probe::Malformed;
  std::string sec(static_cast<std::size_t>(size), '\0');
  if (!f.read(off, sec.data(), sec.size())) return Probe::Unreadable;
  std::size_t p = 0;
  while (p < sec.size()) {
    if (sec.size() - p < 12) return Probe::Malformed;
    std::uint32_t namesz, descsz, type;
    std::memcpy(&namesz, sec.data() + p, 4);
    std::memcpy(&descsz, sec.data() + p + 4, 4);
    std::memcpy(&type, sec.data() + p + 8, 4);
    const std::uint64_t name_at = p + 12;
    const std::uint64_t desc_at = name_at + ((std::uint64_t{namesz} + 3) & ~std::uint64_t{3});
    if (desc_at > sec.size() || sec.size() - desc_at < descsz) return Probe::Malformed;
    if (type == kNoteType && namesz == sizeof(kOwner) &&
        std::memcmp(sec.data() + name_at, kOwner, sizeof(kOwner)) == 0) {
      desc.assign(sec.data() + desc_at, descsz);
      return desc.empty() ? Probe::NoRecord : Probe::Record;
    }
    std::uint64_t next = desc_at + ((std::uint64_t{descsz} + 3) & ~std::uint64_t{3});
    if (next >= sec.size()) break;
    p = static_cast<std::size_t>(next);
  }
  return Probe::NoRecord;
}

template <typename Ehdr, typename Shdr>
Probe find_record(FileReader& f, std::string& desc) {
  Ehdr eh;
  if (!f.get(0, eh)) return Probe::Unreadable;
  if (eh.e_shoff == 0 || eh.e_shnum == 0) return Probe::NoRecord;  // no section table at all
  if (eh.e_shentsize != sizeof(Shdr) || eh.e_shstrndx >= eh.e_shnum) return Probe::Unreadable;
  if (!f.fits(eh.e_shoff, std::uint64_t{eh.e_shnum} * sizeof(Shdr))) return Probe::Unreadable;
  Shdr names;
  if (!f.get(eh.e_shoff + std::uint64_t{eh.e_shstrndx} * sizeof(Shdr), names)) return Probe::Unreadable;
  if (!f.fits(names.sh_offset, names.sh_size)) return Probe::Unreadable;
  for (unsigned i = 0; i < eh.e_shnum; ++i) {
    Shdr sh;
    if (!f.get(eh.e_shoff + std::uint64_t{i} * sizeof(Shdr), sh)) return Probe::Unreadable;
    // The name must lie inside the name table, terminator included.
    if (sh.sh_name >= names.sh_size || names.sh_size - sh.sh_name < sizeof(kSection)) continue;
    char name[sizeof(kSection)];
    if (!f.read(std::uint64_t{names.sh_offset} + sh.sh_name, name, sizeof name)) return Probe::Unreadable;
    if (std::memcmp(name, kSection, sizeof kSection) != 0) continue;
    if (!f.fits(sh.sh_offset, sh.sh_size)) return Probe::Unreadable;  // the file is cut short
    return find_note(f, sh.sh_offset, sh.sh_size, desc);
  }
  return Probe::NoRecord;
}

Probe probe(const std::string& path, std::string& desc) {
  desc.clear();
  FileReader f(path);
  if (!f.open()) return Probe::Unreadable;
  unsigned char ident[EI_NIDENT];
  // A file that is no ELF file (or one we do not read) simply carries no record.
  if (!f.read(0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
      ident[EI_DATA] != ELFDATA2LSB)
    return Probe::NoRecord;
  if (ident[EI_CLASS] == ELFCLASS64) return find_record<Elf64_Ehdr, Elf64_Shdr>(f, desc);
  if (ident[EI_CLASS] == ELFCLASS32) return find_record<Elf32_Ehdr, Elf32_Shdr>(f, desc);
  return Probe::NoRecord;
}

std::uint16_t le16(const std::string& d, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(d[at]) |
                                    static_cast<unsigned char>(d[at + 1]) << 8);
}

// Decodes the record's bytes; false when they are not a well-formed record.
bool decode(const std::string& d, VersionRecord& rec) {
  if (d.size() < kFixedSize || d.compare(0, 4, kMagic) != 0) return false;
  for (std::size_t i = 0; i < 4; ++i) rec.file_version[i] = le16(d, 4 + 2 * i);
  const std::size_t count = le16(d, 12);
  std::size_t p = kFixedSize;
  if (d.size() - p < count * 4) return false;
  for (std::size_t i = 0; i < count; ++i, p += 4) rec.translations.push_back({le16(d, p), le16(d, p + 2)});
  // Pairs of zero-terminated key and value, ended by an empty key.
  while (p < d.size()) {
    std::size_t z = d.find('\0', p);
    if (z == std::string::npos) return false;
    std::string key = d.substr(p, z - p);
    p = z + 1;
    if (key.empty()) return true;
    z = d.find('\0', p);
    if (z == std::string::npos) return false;
    rec.strings.emplace_back(std::move(key), d.substr(p, z - p));
    p = z + 1;
  }
  return false;  // no end marker
}

VersionError to_error(Probe p) {
  switch (p) {
    case Probe::Record: return VersionError::None;
    case Probe::NoRecord: return VersionError::Empty;
    case Probe::Unreadable: return VersionError::Unreadable;
    case Probe::Malformed: return VersionError::Undecodable;
  }
  return VersionError::Unreadable;
}

// The file a name stands for: a path as given, a bare program name beside the running program
// (with or without ".exe"), else the name itself (relative to the current folder).
std::string program_path(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const std::string dir = executable_dir();
  if (dir.empty()) return name;
  std::string base = name;
  if (base.size() > 4 && detail::iequals(std::string_view(base).substr(base.size() - 4), ".exe"))
    base.resize(base.size() - 4);
  for (const std::string& candidate : {dir + "/" + name, dir + "/" + base, dir + "/" + detail::lower(base)}) {
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return candidate;
  }
  return name;
}

}  // namespace

std::optional<std::string> VersionRecord::string_value(const std::string& lang_cp,
                                                       const std::string& name) const {
  const std::string wanted = lang_cp + "\\" + name;
  for (const auto& [key, value] : strings)
    if (detail::iequals(key, wanted)) return value;
  return std::nullopt;
}

std::size_t version_record_size(const std::string& path) {
  std::string desc;
  return probe(path, desc) == Probe::Record ? desc.size() : 0;
}

std::optional<VersionRecord> read_version_record(const std::string& path, VersionError& err) {
  std::string desc;
  Probe p = probe(path, desc);
  if (p != Probe::Record) {
    err = to_error(p);
    return std::nullopt;
  }
  VersionRecord rec;
  if (!decode(desc, rec)) {
    err = VersionError::Undecodable;
    return std::nullopt;
  }
  err = rec.translations.empty() ? VersionError::NoTranslation : VersionError::None;
  return rec;
}

std::string file_version_text(const std::string& name) {
  std::string path;
  if (detail::upper(name).find("DLL") != std::string::npos) {
    Library lib = Library::load(name);
    if (!lib) return "Can't find DLL (or sub-DLL)!";
    path = lib.path();
    lib.release();
    if (path.empty()) return "No DLL information available!";
  } else {
    path = program_path(name);
  }
  VersionError err = VersionError::None;
  std::optional<VersionRecord> rec = read_version_record(path, err);
  switch (err) {
    case VersionError::None: break;
    case VersionError::Empty: return "DLL info empty!";
    case VersionError::Unreadable: return "Can't read version info!";
    case VersionError::Undecodable: return "Can't decode version info!";
    case VersionError::NoTranslation:
      // The record has no translation entry to name: say how much of one there was.
      return "Language error - no translation entry (0 bytes)";
    case VersionError::NotLoadable:
    case VersionError::NoPath:
    case VersionError::NoFileVersion: return "Can't read version info!";  // not produced by the reader
  }
  char lang_cp[9];
  std::snprintf(lang_cp, sizeof lang_cp, "%04X%04X", rec->translations[0].language, rec->translations[0].code_page);
  auto v = rec->string_value(lang_cp, "FileVersion");
  return v ? *v : "Unknown string (FileVersion)!";
}

}  // namespace platform
