#include "platform/ini.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/text_util.h"

namespace platform {

struct IniFile::Data {
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;  // key, value as written
  };
  std::vector<Section> sections;
  bool readable = false;

  const Section* find(const std::string& section) const {
    for (const auto& s : sections)
      if (detail::iequals(s.name, section)) return &s;  // the first such section wins
    return nullptr;
  }
  const std::string* value(const std::string& section, const std::string& key) const {
    const Section* s = find(section);
    if (!s) return nullptr;
    for (const auto& e : s->entries)
      if (detail::iequals(e.first, key)) return &e.second;
    return nullptr;
  }
};

namespace {

std::shared_ptr<IniFile::Data> parse(const std::string& text) {
  auto d = std::make_shared<IniFile::Data>();
  d->readable = true;
  std::istringstream in(text);
  std::string raw;
  IniFile::Data::Section* current = nullptr;
  while (std::getline(in, raw)) {
    std::string_view line = detail::trim(raw);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      auto close = line.find(']');
      std::string name(detail::trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
      d->sections.push_back({name, {}});
      current = &d->sections.back();
      continue;
    }
    if (!current) continue;  // lines before the first section belong to no section
    auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    current->entries.emplace_back(std::string(detail::trim(line.substr(0, eq))),
                                  std::string(detail::trim(line.substr(eq + 1))));
  }
  return d;
}

}  // namespace

IniFile::IniFile() : d_(std::make_shared<Data>()) {}
IniFile::~IniFile() = default;
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;
IniFile::IniFile(const IniFile&) = default;
IniFile& IniFile::operator=(const IniFile&) = default;

IniFile IniFile::load(const std::string& path) {
  IniFile f;
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return f;
  std::ifstream in(path, std::ios::binary);
  if (!in) return f;
  std::stringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return f;  // a folder or an unreadable file reads as empty
  f.d_ = parse(ss.str());
  return f;
}

IniFile IniFile::from_text(const std::string& text) {
  IniFile f;
  f.d_ = parse(text);
  return f;
}

bool IniFile::readable() const { return d_->readable; }

bool IniFile::section_exists(const std::string& section) const { return d_->find(section) != nullptr; }

bool IniFile::key_exists(const std::string& section, const std::string& key) const {
  return d_->value(section, key) != nullptr;
}

std::string IniFile::read_string(const std::string& section, const std::string& key,
                                 const std::string& def, std::size_t limit) const {
  const std::string* v = d_->value(section, key);
  std::string r = v ? *v : def;
  // One pair of surrounding double quotes is not part of the value.
  if (v && r.size() >= 2 && r.front() == '"' && r.back() == '"') r = r.substr(1, r.size() - 2);
  if (limit > 0 && r.size() > limit - 1) r.resize(limit - 1);
  return r;
}

int IniFile::read_integer(const std::string& section, const std::string& key, int def) const {
  const std::string* v = d_->value(section, key);
  if (!v || v->empty()) return def;
  std::string s = *v;
  int base = 10;
  std::size_t start = 0;
  bool negative = false;
  if (s[0] == '-' || s[0] == '+') {
    negative = s[0] == '-';
    start = 1;
  }
  if (s.compare(start, 1, "$") == 0) {
    base = 16;
    start += 1;
  } else if (s.size() > start + 1 && s[start] == '0' && (s[start + 1] == 'x' || s[start + 1] == 'X')) {
    base = 16;
    start += 2;
  }
  if (start >= s.size()) return def;
  errno = 0;
  char* end = nullptr;
  long long n = std::strtoll(s.c_str() + start, &end, base);
  if (errno != 0 || *end != '\0' || !std::isalnum(static_cast<unsigned char>(s[start]))) return def;
  if (negative) n = -n;
  if (base == 16 && !negative && n <= 0xFFFFFFFFLL) return static_cast<int>(static_cast<unsigned>(n));
  if (n < INT_MIN || n > INT_MAX) return def;
  return static_cast<int>(n);
}

int IniFile::read_profile_int(const std::string& section, const std::string& key, int def) const {
  const std::string* v = d_->value(section, key);
  if (!v) return def;
  const char* p = v->c_str();
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  long long n = 0;
  while (*p >= '0' && *p <= '9') {
    n = n * 10 + (*p++ - '0');
    if (n > 0xFFFFFFFFLL) n = 0xFFFFFFFFLL;
  }
  if (negative) n = -n;
  return static_cast<int>(static_cast<unsigned>(n & 0xFFFFFFFF));
}

}  // namespace platform
