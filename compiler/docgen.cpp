#include "compiler/docgen.h"

#include <set>

#include "compiler/definitions.h"
#include "compiler/directives.h"
#include "compiler/keynames.h"
#include "compiler/messages.h"

namespace compiler {

namespace {

std::string escape(std::string_view s) {
  std::string r;
  for (char c : s) {
    if (c == '|') r += "\\|";
    else if (c == '\n') r += "\\n";  // listing texts end with a line end
    else r += c;
  }
  return r;
}

std::string printable(std::string_view name) {
  if (name.size() == 1 && static_cast<unsigned char>(name[0]) < 0x20) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "(character %02Xh)", static_cast<unsigned char>(name[0]));
    return buf;
  }
  return "`" + std::string(name) + "`";
}

}  // namespace

std::string generated_section(std::string_view name) {
  std::string out;
  if (name == "messages") {
    out += "| Message | Cause |\n|---|---|\n";
    std::size_t n = 0;
    const MessageRow* rows = message_table(n);
    for (std::size_t i = 0; i < n; ++i)
      out += "| `" + escape(rows[i].text) + "` | " + escape(rows[i].cause) + " |\n";
  } else if (name == "models") {
    out += "| Code | Model index |\n|---|---|\n";
    const auto& models = model_table();
    for (std::size_t i = 0; i < models.size(); ++i)
      out += "| `" + std::string(models[i]) + "` | " + std::to_string(i) + " |\n";
  } else if (name == "keynames") {
    out += "| Name | Codes (hexadecimal) | Shift code first |\n|---|---|---|\n";
    for (const auto& k : key_names()) {
      std::string codes;
      for (auto b : k.codes) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", b);
        codes += (codes.empty() ? "" : " ") + std::string(buf);
      }
      out += "| " + printable(k.name) + " | " + (codes.empty() ? "—" : codes) + " | " +
             (k.mode ? std::to_string(k.mode) : "") + " |\n";
    }
  } else if (name == "builtins") {
    for (int set : {1, 2}) {
      out += "Set " + std::to_string(set) + ":\n\n| Name | Condition | Text |\n|---|---|---|\n";
      for (const auto& b : builtin_set(set))
        out += "| `" + b.name + "` | `" + escape(b.condition) + "` | `" + escape(b.text) + "` |\n";
      out += "\n";
    }
  }
  return out;
}

std::string update_manual(const std::string& text) {
  std::string out;
  std::size_t pos = 0;
  const std::string open = "<!-- generated:";
  while (true) {
    std::size_t start = text.find(open, pos);
    if (start == std::string::npos) break;
    std::size_t name_end = text.find(" -->", start);
    if (name_end == std::string::npos) break;
    const std::string name = text.substr(start + open.size(), name_end - start - open.size());
    const std::string close = "<!-- end:" + name + " -->";
    std::size_t end = text.find(close, name_end);
    if (end == std::string::npos) break;
    out += text.substr(pos, name_end + 4 - pos) + "\n" + generated_section(name);
    pos = end;
  }
  out += text.substr(pos);
  return out;
}

}  // namespace compiler
