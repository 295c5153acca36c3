#include "compiler/prefix.h"

#include <string>
#include <utility>

#include "compiler/context.h"
#include "compiler/messages.h"

namespace compiler {

namespace {

void report(Context& ctx, Msg m) { ctx.error(std::string(text(m))); }

bool starts(std::string_view s, std::size_t at, std::string_view word) {
  return s.size() >= at && s.substr(at, word.size()) == word;
}

}  // namespace

bool read_prefix(Context& ctx, Args& a, State& st) {
  static const std::string_view modes = "KAPMRLC";  // bits 0-6
  while (!a.at_end()) {
    const char c = a.peek();
    if (c == '/') {
      ++a.pos;
      const char l = a.peek();
      if (l != '\0' && modes.find(l) != std::string_view::npos) {
        st.mode |= static_cast<std::uint8_t>(1u << modes.find(l));
        ++a.pos;
      } else if (l == 'S') {
        st.mode = static_cast<std::uint8_t>((st.mode & 0x04) | 0x1B);
        st.value &= 0x7F;
        st.mask &= 0x7F;
        ++a.pos;
      } else if (l == 'N') {
        ++a.pos;
        std::size_t start = a.pos;
        int n = 0;
        while (!a.at_end() && a.pos - start < 3 && a.peek() >= '0' && a.peek() <= '9') n = n * 10 + (a.text[a.pos++] - '0');
        if (a.pos == start) {
          report(ctx, Msg::EasyLayerDefinition);
          ctx.current_layer = 0;
          return false;
        }
        st.mode |= 0x80;
        st.value = static_cast<std::uint8_t>(n & 0xFF);
        st.mask = 0x7F;
        ctx.current_layer = n & 0xFF;
      }
      continue;
    }
    if (c != '+' && c != '-' && c != 'L') break;
    ++a.pos;
    static const std::pair<std::string_view, int> letters[] = {{"K", 7}, {"CL", 6}, {"NL", 5}, {"SL", 4},
                                                                {"A", 3}, {"C", 2},  {"S", 1},  {"L", 0}};
    int bit = -1;
    for (const auto& [name, b] : letters) {
      if (starts(a.text, a.pos, name)) {
        bit = b;
        a.pos += name.size();
        break;
      }
    }
    if (bit < 0) {
      report(ctx, Msg::LayerCharacter);
      return false;
    }
    const std::uint8_t m = static_cast<std::uint8_t>(1u << bit);
    if (bit == 7) {
      if (c == '+') st.mask &= 0x7F;
      else st.value |= 0x80;
    } else {
      st.mask |= m;
      if (c == '+') st.value |= m;
    }
  }
  if (!a.at_end() && a.peek() != ':' && a.peek() != '"' && static_cast<unsigned char>(a.peek()) != 0xFF)
    report(ctx, Msg::PrefixSign);
  if (ctx.current_layer >= 0) {
    st.value = static_cast<std::uint8_t>(ctx.current_layer);
    st.mask = 0x7F;
    st.mode |= 0x80;
  }
  return true;
}

}  // namespace compiler
