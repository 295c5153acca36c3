// zpxdump: prints a ZPX keytable (compiled, or read back from a keyboard) as a ZPF source that
// compiles to the same bytes. Code strings are rendered through the compiler library's
// ScanToASCII; a definition whose rendered text would not compile back to its exact bytes is
// written as raw bytes and marked.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/languages.h"
#include "common/zpx_format.h"
#include "compiler/context.h"
#include "compiler/definitions.h"
#include "compiler/directives.h"
#include "compiler/scancode.h"
#include "compiler/zpxreader.h"
#include "platform/library.h"
#include "zpxc32.h"

namespace {

constexpr char kUsage[] =
    "usage: zpxdump [--lang XX] [--raw] FILE.zpx\n"
    "\n"
    "Prints a ZPX keytable as a ZPF source that compiles to the same keytable.\n"
    "  --lang XX  render code strings for language XX (US GR FR UK SG SF IT SP); default: the file's\n"
    "  --raw      add the bytes of every definition as a comment\n"
    "Exit codes: 0 printed; 1 the file is not a readable keytable; 2 usage; 4 the compiler library\n"
    "cannot be loaded.\n";

using ScanFn = decltype(&ScanToASCII);

struct Dumper {
  compiler::ZpxImage z;
  ScanFn scan = nullptr;
  int language = 0;      // of the file
  int render_lang = 0;   // for rendering
  bool shift_lock = false;
  bool raw = false;
  std::string out;
  int marked = 0;

  void line(const std::string& s) { out += s + "\n"; }
  std::uint8_t hdr(std::size_t at) const { return z.bytes[at]; }

  compiler::ConvertSettings settings() const {
    compiler::ConvertSettings s;
    s.language = language;
    s.shift_lock = shift_lock;
    s.custom_table_used = z.has_char_table;
    s.custom_table = z.char_table;
    return s;
  }

  static std::string hex(std::uint8_t b) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", b);
    return buf;
  }

  static std::string raw_text(const std::vector<std::uint8_t>& codes) {
    std::string t;
    for (auto b : codes) t += "{\\x" + hex(b) + "}";
    return t;
  }

  // A quoted part as the string reader reads it back: only the quote needs its backslash.
  static std::string quoted(const std::string& text) {
    std::string q = "\"";
    for (char c : text) {
      if (c == '"') q += "\\\"";
      else q += c;
    }
    return q + "\"";
  }

  // Checks that a text converts under the record's state to exactly its codes.
  bool converts_to(const std::string& text, const compiler::Record& r) const {
    std::uint8_t mode = r.mode;
    std::vector<std::uint8_t> out;
    if (compiler::convert_pending(settings(), r.value, r.mask, mode, text, out) != compiler::ConvertStatus::Ok) return false;
    return out == r.codes && mode == r.mode;
  }

  // The code-string part of a key line for a record.
  std::string code_string(const compiler::Record& r, bool& exact) {
    exact = true;
    if (r.codes.empty()) return "\"\"";
    if (r.mode & 0x40) {
      // Characters: printable ones quoted, the others as #n.
      std::string s, part;
      auto flush = [&] {
        if (!part.empty()) s += quoted(part);
        part.clear();
      };
      for (auto b : r.codes) {
        if (b < 0x20 || b == 0x7F || b == '"' || b == '{' || b == '\\' || b == 0xFF) {
          flush();
          s += "#" + std::to_string(b);
        } else {
          part += static_cast<char>(b);
        }
      }
      flush();
      return s;
    }
    if (scan && std::find(r.codes.begin(), r.codes.end(), 0) == r.codes.end()) {
      std::string codes(r.codes.begin(), r.codes.end());
      char text[256] = {};
      std::int32_t len = 0;
      const int flags = (r.mode & 0x80) ? 0 : (r.value & r.mask & 0x0E);
      scan(text, codes.c_str(), flags, render_lang, shift_lock ? 1 : 0, &len);
      std::string t(text, static_cast<std::size_t>(std::max(0, len)));
      if (t.find('\n') == std::string::npos && t.find('\r') == std::string::npos && converts_to(t, r))
        return quoted(t);
    }
    exact = false;
    return quoted(raw_text(r.codes));
  }

  std::string prefix(const compiler::Record& r) const {
    std::string p;
    static const char* modes[7] = {"/K", "/A", "/P", "/M", "/R", "/L", "/C"};
    for (int bit = 0; bit < 7; ++bit)
      if (r.mode & (1 << bit)) p += modes[bit];
    if (r.mode & 0x80) return "/N" + std::to_string(r.value) + p;
    static const char* letters[7] = {"L", "S", "C", "A", "SL", "NL", "CL"};
    for (int bit = 6; bit >= 0; --bit) {
      if (!(r.mask & (1 << bit))) continue;
      p += ((r.value & (1 << bit)) ? "+" : "-") + std::string(letters[bit]);
    }
    const bool m7 = r.mask & 0x80, v7 = r.value & 0x80;
    if (!m7) p = "+K" + p;
    if (v7) p += "-K";
    return p;
  }

  std::string key_name(int key) const {
    compiler::Context ctx;
    ctx.model_index() = z.blocks[zpx::kBlockModel].data[0];
    for (char row = 'A'; row <= 'H'; ++row) {
      for (int col = 1; col <= 23; ++col) {
        char kw[8];
        std::snprintf(kw, sizeof kw, "%c%02d", row, col);
        if (compiler::key_number(ctx, kw) == key) return kw;
      }
    }
    static const char* pseudo[14] = {"M1H", "M1T", "M2H", "M2T", "M3H", "M3T", "BCH",
                                     "BCT", "FIH", "FIT", "FRH", "FRT", "KLH", "KLT"};
    if (key >= 128 && key <= 141) return pseudo[key - 128];
    return {};
  }

  void header();
  void keys();
};

int find_volume(std::uint8_t byte) {
  for (int v = 0; v < 100000; ++v)
    if (((static_cast<long long>(v) * 255 / 100) & 0xFF) == byte) return v;
  return -1;
}

void Dumper::header() {
  const auto& m = z.blocks[zpx::kBlockModel].data;
  const std::uint8_t b4 = hdr(zpx::kOffInterface), b5 = hdr(zpx::kOffSerial);
  const int model = m[0];
  if (model <= 14) {
    if (model >= 5 && model <= 11 && z.bytes.size() > zpx::kSmallCapacity) line("MEMORY 8000");
    line("TYPE " + std::string(compiler::model_table()[static_cast<std::size_t>(model)]));
  } else {
    line("! model index " + std::to_string(model) + " has no model code");
    ++marked;
  }
  if (language <= 7) {
    std::string l = "LANG " + std::string(zpx::kLanguages[language].name);
    const bool lock = b4 & 0x08, default_lock = zpx::kLanguages[language].code & 0x08;
    if (lock != default_lock) l += lock ? ",S" : ",C";
    line(l);
  }
  static const char* ifaces[5] = {"AT", "PC", "COM", "PS2", "USB"};
  const int iface = b4 & 0x07;
  if (iface == 2) {
    static const char* bauds[8] = {"38400", "19200", "9600", "4800", "2400", "1200", "600", "300"};
    static const char* parity[4] = {"N", "M", "E", "O"};
    std::string l = std::string("INTER COM:") + bauds[b5 & 7] + "," + parity[(b5 >> 5) & 3] + "," + ((b5 & 0x10) ? "8" : "7");
    if (b5 & 0x08) l += ",H";
    line(l);
  } else if (iface != 0 && iface <= 4) {
    line(std::string("INTER ") + ifaces[iface]);
  }
  // Sounds.
  const std::uint8_t defaults[4] = {0x55, 0x02, 0xFF, 0x14};
  for (int s = 0; s < 2; ++s) {
    const std::size_t at = zpx::kOffSndkVolume + 2 * static_cast<std::size_t>(s);
    if (hdr(at) == defaults[2 * s] && hdr(at + 1) == defaults[2 * s + 1]) continue;
    line(std::string(s == 0 ? "SNDK " : "SNDA ") + std::to_string(find_volume(hdr(at))) + "," +
         std::to_string(hdr(at + 1) * 20));
  }
  // Conversions first, while no definition's mode applies to them.
  if (z.blocks[zpx::kBlockConversion].present) {
    const auto& d = z.blocks[zpx::kBlockConversion].data;
    for (std::size_t i = 0; i + 2 <= d.size();) {
      const std::size_t n = d[i + 1];
      if (i + 2 + n > d.size()) break;
      std::vector<std::uint8_t> codes(d.begin() + static_cast<std::ptrdiff_t>(i + 2), d.begin() + static_cast<std::ptrdiff_t>(i + 2 + n));
      line("CONV \"\\X" + hex(d[i]) + "\"=\"" + raw_text(codes) + "\"");
      i += 2 + n;
    }
  }
  // Hotkeys.
  const std::uint8_t hk_default[2][3] = {{0x00, 0x04, 0x54}, {0x04, 0x04, 0x54}};
  for (int h = 0; h < 2; ++h) {
    const std::size_t at = zpx::kOffHotkey0 + 3 * static_cast<std::size_t>(h);
    const std::uint8_t v = hdr(at), mk = hdr(at + 1), code = hdr(at + 2);
    if (v == hk_default[h][0] && mk == hk_default[h][1] && code == hk_default[h][2]) continue;
    std::string p;
    static const char* letters[7] = {"L", "S", "C", "A", "SL", "NL", "CL"};
    for (int bit = 6; bit >= 0; --bit)
      if (mk & (1 << bit)) p += ((v & (1 << bit)) ? "+" : "-") + std::string(letters[bit]);
    std::string codes = code >= 0x80 ? "%224%" + std::to_string(code & 0x7F) : "%" + std::to_string(code);
    if (code == 0) codes = "";
    if ((v & ~mk) || (mk & 0x80)) {
      line("! hotkey " + std::to_string(h) + " (" + hex(v) + " " + hex(mk) + " " + hex(code) + ") cannot be written exactly");
      ++marked;
      continue;
    }
    line("HOTKEY" + std::to_string(h) + " " + p + ":" + codes);
  }
  // Options: MSR first (it sets options of its own), then MOD, RATE.
  if (z.blocks[zpx::kBlockMsrText].present) {
    auto t = z.blocks[zpx::kBlockMsrText].data;
    if (!t.empty() && t.back() == 0) t.pop_back();
    line("MSR \"" + std::string(t.begin(), t.end()) + "\"");
  }
  std::uint8_t X = m[1], Y = m[2], Z = m[3];
  std::string mod;
  mod += (Y & 0x01) ? "+BA2" : ((X & 0x40) ? "+BA0" : "+BA1");
  static const char* xnames[8] = {"T1", "T2", "T3", "MSR", "FCR", "KL", "KVK", "BCR"};
  for (int bit = 0; bit < 8; ++bit) mod += std::string((X & (1 << bit)) ? ",+" : ",-") + xnames[bit];
  mod += (Y & 0x02) ? ",-EF" : ",+EF";
  mod += (Y & 0x04) ? ",-EC" : ",+EC";
  mod += (Y & 0x08) ? ",-SE" : ",+SE";
  mod += (Y & 0x10) ? ",+MCS" : ",-MCS";
  mod += (Y & 0x20) ? ",+M3" : ",-M3";
  mod += (Y & 0x40) ? ",-IEK" : ",+IEK";
  mod += (Y & 0x80) ? ",-FFA" : ",+FFA,-OPOS";
  mod += (Z & 0x80) ? ",+MCO" : ",-MCO";
  if (X != 0xBF || Y != 0x00 || (Z & 0x80)) line("MOD " + mod);
  const std::uint8_t t = z.blocks[zpx::kBlockTypematic].present ? z.blocks[zpx::kBlockTypematic].data[0] : 0x2C;
  static const std::pair<int, const char*> rates[] = {{0x00, "30"}, {0x04, "20"}, {0x0C, "10"}, {0x1F, "2"}};
  static const char* delays[4] = {"250", "500", "750", "1000"};
  static const std::pair<int, const char*> speeds[] = {{0x00, "D"}, {0x20, "F"}, {0x24, "M"}, {0x3F, "V"}, {0x2C, "S"}};
  const char* rate = nullptr;
  for (const auto& [v, n] : rates)
    if ((t & 0x1F) == v) rate = n;
  const char* speed = nullptr;
  for (const auto& [v, n] : speeds)
    if ((Z & 0x7F) == v) speed = n;
  if (t == 0x2C && (Z & 0x7F) == 0) {
    // The typematic defaults.
  } else if (rate && !(t & 0x80) && speed) {
    line(std::string("RATE ") + rate + "," + delays[(t >> 5) & 3] + "," + speed);
  } else {
    line("! typematic " + hex(t) + " / option Z " + hex(Z) + " cannot be written exactly");
    ++marked;
  }
  if (z.blocks[zpx::kBlockPortText].present) {
    const auto& d = z.blocks[zpx::kBlockPortText].data;
    std::string text(d.begin(), d.end());
    std::string items;
    if (text.size() > 3 && text[0] == 1) {
      std::size_t end = text.find('\x04');
      std::string settings = text.substr(1, end == std::string::npos ? std::string::npos : end - 1);
      items = settings;
      if (items.rfind("9600", 0) == 0) items = "96" + items.substr(4);
      if (end != std::string::npos && end + 1 < text.size() && text[end + 1] == 0x13) items += ",NRTS";
    }
    std::string init;
    if (z.blocks[zpx::kBlockPortInit].present)
      for (auto b : z.blocks[zpx::kBlockPortInit].data) init += "\\X" + hex(b);
    line("PORT " + items + (init.empty() ? "" : ",\"" + init + "\""));
  }
  if (z.blocks[zpx::kBlockParameters].present) {
    const auto& d = z.blocks[zpx::kBlockParameters].data;
    for (std::size_t i = 0; i + 8 <= d.size(); i += 8) {
      std::string p;
      for (std::size_t k = 0; k < 8; ++k) p += "\\X" + hex(d[i + k]);
      line("PARA \"" + p + "\"");
    }
  }
  if (z.has_char_table) {
    for (int i = 0; i < 256; i += 16) {
      std::string l = "KEYTABLE";
      for (int k = i; k < i + 16; ++k) {
        char buf[12];
        std::snprintf(buf, sizeof buf, "%s0x%04X", k == i ? " " : ",", z.char_table[static_cast<std::size_t>(k)]);
        l += buf;
      }
      line(l);
    }
  }
}

void Dumper::keys() {
  std::vector<std::pair<std::string, std::string>> layer_lines;
  for (int k = 0; k < compiler::kKeyCount; ++k) {
    const auto& list = z.keys[static_cast<std::size_t>(k)];
    if (list.empty()) continue;
    const std::string name = key_name(k);
    if (name.empty()) {
      line("! key " + std::to_string(k) + " has no position on this model");
      ++marked;
      continue;
    }
    for (const auto& r : list) {
      bool exact = true;
      std::string text = z.direct[static_cast<std::size_t>(k)] ? "\"" + raw_text(r.codes) + "\"" : code_string(r, exact);
      std::string l = name + " " + (z.direct[static_cast<std::size_t>(k)] ? "/S" : prefix(r)) + ":" + text;
      if (raw) {
        std::string bytes;
        for (auto b : r.codes) bytes += " " + hex(b);
        l += "  ! " + hex(r.value) + " " + hex(r.mask) + " " + hex(r.mode) + " :" + bytes;
      }
      if (!exact) l += raw ? " (raw)" : "  ! raw: its text would not compile to these bytes";
      if (r.mode & 0x80) layer_lines.emplace_back(name, l);
      else line(l);
    }
  }
  // Layer definitions last: a layer number stays set for every key line after it.
  for (const auto& [n, l] : layer_lines) line(l);
}

}  // namespace

int main(int argc, char** argv) {
  Dumper d;
  const char* file = nullptr;
  int lang_override = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--raw") {
      d.raw = true;
    } else if (a == "--lang" && i + 1 < argc) {
      const std::string l = argv[++i];
      for (int k = 0; k < zpx::kLanguageCount; ++k)
        if (zpx::kLanguages[k].name == l) lang_override = k;
      if (lang_override < 0) {
        std::fprintf(stderr, "zpxdump: unknown language '%s'\n", l.c_str());
        return 2;
      }
    } else if (!file && (a.empty() || a[0] != '-')) {
      file = argv[i];
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (!file) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "zpxdump: %s: cannot open\n", file);
    return 1;
  }
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string error;
  if (!compiler::read_zpx(bytes, d.z, error)) {
    std::fprintf(stderr, "zpxdump: %s: %s\n", file, error.c_str());
    return 1;
  }
  platform::Library lib = platform::Library::load("zpxc32.dll");
  if (!lib) {
    std::fprintf(stderr, "zpxdump: cannot load the compiler library: %s\n", lib.error().c_str());
    return 4;
  }
  d.scan = lib.bind<ScanFn>("ScanToASCII");
  if (!d.scan) {
    std::fprintf(stderr, "zpxdump: the compiler library has no ScanToASCII\n");
    return 4;
  }
  d.language = d.z.bytes[zpx::kOffInterface] >> 4;
  d.shift_lock = d.z.bytes[zpx::kOffInterface] & 0x08;
  d.render_lang = lang_override >= 0 ? lang_override : (d.language & 7);
  d.line(std::string("! ") + file + ": " + std::to_string(d.z.bytes.size()) + " bytes, checksum " +
         Dumper::hex(static_cast<std::uint8_t>(zpx::checksum(d.z.bytes) >> 8)) +
         Dumper::hex(static_cast<std::uint8_t>(zpx::checksum(d.z.bytes) & 0xFF)) + "h");
  d.header();
  d.keys();
  std::fwrite(d.out.data(), 1, d.out.size(), stdout);
  return 0;
}
