#include "compiler/zpxreader.h"

#include <set>

#include "common/zpx_format.h"

namespace compiler {

bool read_zpx(const std::vector<std::uint8_t>& f, ZpxImage& out, std::string& error) {
  out = ZpxImage{};
  if (f.size() < 4 || !zpx::has_magic(f)) {
    error = "not a ZPX keytable (no \"Zelk\" at the start)";
    return false;
  }
  if (f.size() < zpx::kHeaderSize + 2) {
    error = "truncated: " + std::to_string(f.size()) + " bytes, a keytable has at least 304";
    return false;
  }
  const std::size_t length = zpx::get_be16(&f[zpx::kOffLength]);
  if (length > f.size()) {
    error = "length field " + std::to_string(length) + " is beyond the file's " + std::to_string(f.size()) + " bytes";
    return false;
  }
  if (length < zpx::kHeaderSize + 2) {
    error = "length field " + std::to_string(length) + " is shorter than the header";
    return false;
  }
  out.bytes.assign(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(length));
  const auto& b = out.bytes;
  auto in_image = [&](std::size_t off, std::size_t size) { return off + size <= b.size(); };
  std::size_t first = zpx::get_be16(&b[zpx::kOffFirstBlock]);
  out.extended = first >= zpx::kExtHeaderSize + 2;
  // Parameter blocks.
  std::set<std::size_t> seen;
  for (std::size_t pos = first; pos != zpx::kEndLink;) {
    if (!seen.insert(pos).second) {
      error = "the parameter block chain loops at offset " + std::to_string(pos);
      return false;
    }
    if (pos < zpx::kHeaderSize || !in_image(pos, 3)) {
      error = "a parameter block offset " + std::to_string(pos) + " points outside the keytable";
      return false;
    }
    const std::size_t next = zpx::get_be16(&b[pos]);
    const int id = b[pos + 2];
    if (id == zpx::kBlockCharTable) {
      if (!in_image(pos, 3 + 512)) {
        error = "the character table block at " + std::to_string(pos) + " is cut short";
        return false;
      }
      for (std::size_t k = 0; k < 256; ++k) out.char_table[k] = zpx::get_be16(&b[pos + 3 + 2 * k]);
      out.has_char_table = true;
    } else {
      if (!in_image(pos, 4) || !in_image(pos + 4, std::size_t{b[pos + 3]} + 1) || id < 1 || id > 10) {
        error = "the parameter block at " + std::to_string(pos) + " is damaged";
        return false;
      }
      Block& blk = out.blocks[static_cast<std::size_t>(id)];
      blk.present = true;
      blk.data.assign(b.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                      b.begin() + static_cast<std::ptrdiff_t>(pos + 5 + b[pos + 3]));
    }
    pos = next;
  }
  if (!out.blocks[zpx::kBlockModel].present || out.blocks[zpx::kBlockModel].data.size() < 4) {
    error = "the keytable has no model block";
    return false;
  }
  // Keys.
  const int last = out.extended ? zpx::kLastExtKey : zpx::kFirstExtKey - 1;
  for (int k = 0; k <= last; ++k) {
    if (k >= zpx::kFirstExtKey && k < 158) continue;
    const std::size_t entry = zpx::key_entry_offset(k);
    const std::uint16_t v = zpx::get_be16(&b[entry]);
    if (v == 0) continue;
    auto& list = out.keys[static_cast<std::size_t>(k)];
    if (v < 0x100) {
      Record r{0x00, 0x00, 0x1B, {}};
      if (v & 0x80) r.codes = {0xE0, static_cast<std::uint8_t>(v & 0x7F)};
      else r.codes = {static_cast<std::uint8_t>(v)};
      list.push_back(r);
      out.direct[static_cast<std::size_t>(k)] = true;
      continue;
    }
    std::set<std::size_t> records;
    for (std::size_t pos = v; pos != 0;) {
      if (!records.insert(pos).second) {
        error = "the definitions of key " + std::to_string(k) + " loop at offset " + std::to_string(pos);
        return false;
      }
      if (pos < zpx::kHeaderSize || !in_image(pos, 6)) {
        error = "a definition of key " + std::to_string(k) + " at offset " + std::to_string(pos) + " is outside the keytable";
        return false;
      }
      Record r{b[pos + 2], b[pos + 3], b[pos + 4], {}};
      std::size_t p = pos + 5;
      while (p < b.size() && b[p] != 0) r.codes.push_back(b[p++]);
      if (p >= b.size()) {
        error = "a definition of key " + std::to_string(k) + " runs past the end of the keytable";
        return false;
      }
      list.push_back(std::move(r));
      pos = zpx::get_be16(&b[pos]);
    }
  }
  return true;
}

}  // namespace compiler
