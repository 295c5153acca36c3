#include "platform/registry.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/text1252.h"
#include "platform/text_util.h"

namespace platform {

struct Registry::Data {
  struct Key {
    std::vector<std::string> order;          // value names as written
    std::map<std::string, RegValue> values;  // by lower-case name
  };
  std::map<std::string, Key> keys;  // by lower-case path below HKEY_LOCAL_MACHINE
  std::vector<std::string> diagnostics;
  std::string source;
};

namespace {

constexpr std::string_view kRoot = "hkey_local_machine";

// "Software\Zelk\Keyboard", "\Software\Zelk\Keyboard\" -> "software\zelk\keyboard".
std::string normalise_key(std::string_view key) {
  while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  return detail::lower(key);
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string starting at s[pos] == '"'; pos ends after the closing quote.
bool read_quoted(std::string_view s, std::size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  ++pos;
  out.clear();
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == '"') return true;
    if (c == '\\') {
      if (pos >= s.size()) return false;
      out += s[pos++];
    } else {
      out += c;
    }
  }
  return false;
}

bool parse_hex_bytes(std::string_view s, std::vector<std::uint8_t>& out) {
  out.clear();
  std::string t;
  for (char c : s)
    if (c != ' ' && c != '\t') t += c;
  if (t.empty()) return true;
  std::stringstream ss(t);
  std::string item;
  while (std::getline(ss, item, ',')) {
    if (item.size() != 2 || hex_digit(item[0]) < 0 || hex_digit(item[1]) < 0) return false;
    out.push_back(static_cast<std::uint8_t>(hex_digit(item[0]) * 16 + hex_digit(item[1])));
  }
  return true;
}

// Parses the data part after '='; false when malformed. wide: the file is a "Version 5.00" export,
// whose hex(1), hex(2) and hex(7) texts are UTF-16LE; REGEDIT4 files hold them as single bytes.
bool parse_data(std::string_view data, bool wide, RegValue& v, std::string& why) {
  data = detail::trim(data);
  if (!data.empty() && data.front() == '"') {
    std::size_t pos = 0;
    std::string text;
    if (!read_quoted(data, pos, text) || !detail::trim(data.substr(pos)).empty()) {
      why = "unterminated or trailing text after a string";
      return false;
    }
    v.type = RegType::String;
    v.text = text;
    return true;
  }
  std::string lower = detail::lower(data.substr(0, std::min<std::size_t>(data.size(), 8)));
  if (lower.rfind("dword:", 0) == 0) {
    std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) {
      why = "a dword needs 1 to 8 hexadecimal digits";
      return false;
    }
    std::uint64_t n = 0;
    for (char c : digits) {
      int d = hex_digit(c);
      if (d < 0) {
        why = "a dword needs hexadecimal digits";
        return false;
      }
      n = n * 16 + static_cast<unsigned>(d);
    }
    v.type = RegType::Dword;
    v.number = n;
    return true;
  }
  if (lower.rfind("hex", 0) == 0) {
    std::size_t colon = data.find(':');
    if (colon == std::string_view::npos) {
      why = "hex data without ':'";
      return false;
    }
    std::string kind = detail::lower(data.substr(3, colon - 3));
    if (!parse_hex_bytes(data.substr(colon + 1), v.data)) {
      why = "malformed hex bytes";
      return false;
    }
    if (kind.empty() || kind == "(3)") {
      v.type = RegType::Binary;
    } else if (kind == "(2)" || kind == "(7)" || kind == "(1)") {
      v.type = kind == "(7)" ? RegType::MultiString : kind == "(2)" ? RegType::ExpandString : RegType::String;
      std::string raw(v.data.begin(), v.data.end());
      std::string text = wide ? text_file_to_cp1252("\xFF\xFE" + raw) : raw;
      // The terminating zero (two for a multi-string) is not part of the text.
      while (!text.empty() && text.back() == '\0') text.pop_back();
      v.text = text;
    } else if (kind == "(4)" || kind == "(b)") {
      const std::size_t size = kind == "(4)" ? 4 : 8;
      if (v.data.size() != size) {
        why = kind == "(4)" ? "a dword needs 4 bytes" : "a qword needs 8 bytes";
        return false;
      }
      v.type = size == 4 ? RegType::Dword : RegType::Qword;
      v.number = 0;
      for (std::size_t i = size; i-- > 0;) v.number = v.number << 8 | v.data[i];
    } else {
      why = "unsupported hex value kind";
      return false;
    }
    return true;
  }
  why = "unrecognised value data";
  return false;
}

std::shared_ptr<Registry::Data> parse(const std::string& text, const std::string& source) {
  auto d = std::make_shared<Registry::Data>();
  d->source = source;
  std::istringstream in(text);
  std::string raw;
  int lineno = 0;
  Registry::Data::Key* current = nullptr;
  bool header_seen = false;
  bool wide = false;
  bool in_hklm = false;
  bool seen_key = false;
  auto diag = [&](int n, const std::string& why) {
    d->diagnostics.push_back("line " + std::to_string(n) + ": " + why);
  };
  while (std::getline(in, raw)) {
    ++lineno;
    int first = lineno;
    std::string line(detail::trim(raw));
    if (line.empty() || line[0] == ';') continue;
    // A trailing backslash continues the line (long hex data).
    while (!line.empty() && line.back() == '\\' && std::getline(in, raw)) {
      ++lineno;
      line.pop_back();
      line += std::string(detail::trim(raw));
    }
    if (!header_seen) {
      header_seen = true;
      if (line == "REGEDIT4") continue;
      if (line.rfind("Windows Registry Editor Version", 0) == 0) {
        wide = true;
        continue;
      }
      // Read it all the same: the lines below still say what they mean.
      diag(first, "no REGEDIT4 or Windows Registry Editor header");
    }
    if (line.front() == '[') {
      current = nullptr;
      in_hklm = false;
      seen_key = true;
      if (line.back() != ']') {
        diag(first, "key line without ']'");
        continue;
      }
      std::string path = line.substr(1, line.size() - 2);
      if (!path.empty() && path[0] == '-') {
        diag(first, "key deletions are not supported");
        continue;
      }
      std::string lowered = detail::lower(path);
      if (lowered.rfind(kRoot, 0) != 0 ||
          (lowered.size() > kRoot.size() && lowered[kRoot.size()] != '\\')) {
        continue;  // other roots are not ours: skipped without complaint
      }
      in_hklm = true;
      std::string key = normalise_key(std::string_view(path).substr(kRoot.size()));
      // Every parent key exists too.
      for (std::size_t p = key.find('\\'); p != std::string::npos; p = key.find('\\', p + 1))
        d->keys[key.substr(0, p)];
      current = &d->keys[key];
      continue;
    }
    if (!in_hklm) {
      if (seen_key) continue;  // values of a key that is not ours
      diag(first, "value outside a key");
      continue;
    }
    std::string name;
    std::size_t pos = 0;
    if (line.front() == '@') {
      pos = 1;
    } else if (!read_quoted(line, pos, name)) {
      diag(first, "malformed value name");
      continue;
    }
    std::string_view rest = detail::trim(std::string_view(line).substr(pos));
    if (rest.empty() || rest.front() != '=') {
      diag(first, "expected '=' after the value name");
      continue;
    }
    rest.remove_prefix(1);
    if (detail::trim(rest) == "-") {
      diag(first, "value deletions are not supported");
      continue;
    }
    RegValue v;
    std::string why;
    if (!parse_data(rest, wide, v, why)) {
      diag(first, why);
      continue;
    }
    std::string lname = detail::lower(name);
    if (!current->values.count(lname)) current->order.push_back(name);
    current->values[lname] = std::move(v);  // a later line for the same name replaces the value
  }
  return d;
}

std::string default_path() {
  if (const char* p = std::getenv("ZPX_REGISTRY"); p && *p) return p;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
    std::string path = std::string(x) + "/zelk/registry.reg";
    if (std::ifstream(path)) return path;
  } else if (const char* h = std::getenv("HOME"); h && *h) {
    std::string path = std::string(h) + "/.config/zelk/registry.reg";
    if (std::ifstream(path)) return path;
  }
  return "/etc/zelk/registry.reg";
}

}  // namespace

Registry::Registry() : d_(std::make_shared<Data>()) {}
Registry::~Registry() = default;
Registry::Registry(Registry&&) noexcept = default;
Registry& Registry::operator=(Registry&&) noexcept = default;
Registry::Registry(const Registry&) = default;
Registry& Registry::operator=(const Registry&) = default;

Registry Registry::open_default() { return open_file(default_path()); }

Registry Registry::open_file(const std::string& path) {
  Registry r;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    // No registry file: nothing is configured, every key is missing.
    auto d = std::make_shared<Data>();
    d->source = path;
    r.d_ = d;
    return r;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  if (S_ISREG(st.st_mode) && in) ss << in.rdbuf();
  if (!S_ISREG(st.st_mode) || !in || in.bad()) {
    auto d = std::make_shared<Data>();
    d->source = path;
    d->diagnostics.push_back(path + ": cannot be read");
    r.d_ = d;
    return r;
  }
  r.d_ = parse(text_file_to_cp1252(ss.str()), path);
  return r;
}

Registry Registry::from_text(const std::string& text) {
  Registry r;
  r.d_ = parse(text, "");
  return r;
}

bool Registry::key_exists(const std::string& key) const { return d_->keys.count(normalise_key(key)) > 0; }

RegResult Registry::read(const std::string& key, const std::string& name, RegValue& out) const {
  auto k = d_->keys.find(normalise_key(key));
  if (k == d_->keys.end()) return RegResult::NoKey;
  auto v = k->second.values.find(detail::lower(name));
  if (v == k->second.values.end()) return RegResult::NoValue;
  out = v->second;
  return RegResult::Ok;
}

RegResult Registry::read_dword(const std::string& key, const std::string& name, std::uint32_t& out) const {
  RegValue v;
  RegResult r = read(key, name, v);
  if (r != RegResult::Ok) return r;
  if (v.type != RegType::Dword) return RegResult::WrongType;
  out = static_cast<std::uint32_t>(v.number);
  return RegResult::Ok;
}

RegResult Registry::read_string(const std::string& key, const std::string& name, std::string& out) const {
  RegValue v;
  RegResult r = read(key, name, v);
  if (r != RegResult::Ok) return r;
  if (v.type != RegType::String && v.type != RegType::ExpandString) return RegResult::WrongType;
  out = v.text;
  return RegResult::Ok;
}

std::vector<std::string> Registry::value_names(const std::string& key) const {
  auto k = d_->keys.find(normalise_key(key));
  return k == d_->keys.end() ? std::vector<std::string>{} : k->second.order;
}

const std::vector<std::string>& Registry::diagnostics() const { return d_->diagnostics; }
const std::string& Registry::source() const { return d_->source; }

}  // namespace platform
