#include "platform/text1252.h"

#include <cstdint>

namespace platform {

namespace {

// 80h-9Fh of Windows-1252; 0 where the code page leaves the byte undefined.
constexpr std::uint16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void put_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The Windows-1252 byte of a code point, '?' when the code page has none. The five bytes the code
// page leaves undefined travel as U+0081 etc. (see cp1252_to_utf8) and come back unchanged.
char to_cp1252(std::uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) return static_cast<char>(cp);
  if (cp >= 0x80 && cp < 0xA0) return kHigh[cp - 0x80] == 0 ? static_cast<char>(cp) : '?';
  for (int k = 0; k < 32; ++k)
    if (kHigh[k] == cp) return static_cast<char>(0x80 + k);
  return '?';
}

std::string utf16_to_cp1252(const std::string& bytes, std::size_t start, bool little_endian) {
  std::string out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
    unsigned a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    std::uint32_t unit = little_endian ? (a | b << 8) : (a << 8 | b);
    // A surrogate pair stands for a character outside the code page anyway.
    out += (unit >= 0xD800 && unit < 0xE000) ? '?' : to_cp1252(unit);
    if (unit >= 0xD800 && unit < 0xDC00) i += 2;  // skip the low half as well
  }
  return out;
}

}  // namespace

std::string cp1252_to_utf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    std::uint32_t cp = c;
    if (c >= 0x80 && c < 0xA0) cp = kHigh[c - 0x80] ? kHigh[c - 0x80] : c;
    put_utf8(out, cp);
  }
  return out;
}

std::string utf8_to_cp1252(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::uint32_t cp;
    std::size_t len;
    if (c < 0x80) { cp = c; len = 1; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
    else { out += '?'; ++i; continue; }
    // Every following byte must be a continuation byte; otherwise only the lead byte is lost.
    bool whole = i + len <= text.size();
    for (std::size_t k = 1; whole && k < len; ++k) {
      unsigned char t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) whole = false;
      cp = cp << 6 | (t & 0x3F);
    }
    // Overlong forms are malformed too (they could smuggle in a zero byte).
    static constexpr std::uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (!whole || cp < kMin[len]) {
      out += '?';
      ++i;
      continue;
    }
    i += len;
    out += to_cp1252(cp);
  }
  return out;
}

std::string text_file_to_cp1252(const std::string& bytes) {
  auto starts = [&](const char* bom, std::size_t n) { return bytes.size() >= n && bytes.compare(0, n, bom, n) == 0; };
  if (starts("\xFF\xFE", 2)) return utf16_to_cp1252(bytes, 2, true);
  if (starts("\xFE\xFF", 2)) return utf16_to_cp1252(bytes, 2, false);
  if (starts("\xEF\xBB\xBF", 3)) return utf8_to_cp1252(bytes.substr(3));
  return bytes;
}

}  // namespace platform
