#include "platform/ini.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/text1252.h"
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
  // The value as the profile readers see it: one pair of surrounding double quotes is not part of
  // it. nullopt when the section or the key is missing.
  std::optional<std::string> value(const std::string& section, const std::string& key) const {
    const Section* s = find(section);
    if (!s) return std::nullopt;
    for (const auto& e : s->entries) {
      if (!detail::iequals(e.first, key)) continue;  // the first such key wins
      const std::string& v = e.second;
      if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
      return v;
    }
    return std::nullopt;
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
  f.d_ = parse(text_file_to_cp1252(ss.str()));
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
  return d_->value(section, key).has_value();
}

std::string IniFile::read_string(const std::string& section, const std::string& key,
                                 const std::string& def, std::size_t limit) const {
  std::string r = d_->value(section, key).value_or(def);
  if (limit > 0 && r.size() > limit - 1) r.resize(limit - 1);
  return r;
}

namespace {

int digit_value(char c, int base) {
  int d = c >= '0' && c <= '9' ? c - '0'
          : c >= 'a' && c <= 'f' ? c - 'a' + 10
          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                 : 99;
  return d < base ? d : -1;
}

}  // namespace

int IniFile::read_integer(const std::string& section, const std::string& key, int def) const {
  std::optional<std::string> v = d_->value(section, key);
  if (!v) return def;
  std::string_view s = *v;
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s[0] == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return def;
  std::uint64_t n = 0;
  for (char c : s) {
    int d = digit_value(c, base);
    if (d < 0) return def;
    n = n * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    if (n > 0xFFFFFFFFu) return def;
  }
  if (base == 16) {
    // Hexadecimal numbers fill all 32 bits: $FFFFFFFF is -1.
    auto bits = static_cast<std::uint32_t>(n);
    if (negative) bits = 0u - bits;
    return static_cast<int>(bits);
  }
  long long signed_n = negative ? -static_cast<long long>(n) : static_cast<long long>(n);
  if (signed_n < INT_MIN || signed_n > INT_MAX) return def;
  return static_cast<int>(signed_n);
}

int IniFile::read_profile_int(const std::string& section, const std::string& key, int def) const {
  std::optional<std::string> v = d_->value(section, key);
  if (!v) return def;
  const char* p = v->c_str();
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  // The number wraps at 32 bits as the profile readers' own conversion does.
  std::uint32_t n = 0;
  while (*p >= '0' && *p <= '9') n = n * 10u + static_cast<std::uint32_t>(*p++ - '0');
  if (negative) n = 0u - n;
  return static_cast<int>(n);
}

}  // namespace platform
