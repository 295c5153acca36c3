#include "compiler/chartables.h"

#include <gtest/gtest.h>

#include <vector>

#include "compiler/scancode.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

enum Language { US, GR, FR, UK, SG, SF, IT, SP };
const char* const kNames[] = {"US", "GR", "FR", "UK", "SG", "SF", "IT", "SP"};

}  // namespace

TEST(Chartables, TellingRows) {
  struct Row {
    int language;
    std::uint8_t ch;
    std::uint16_t value;
  } rows[] = {
      {US, 0x61, 0x061E}, {US, 0x41, 0x071E}, {US, 0x21, 0x0202}, {US, 0x20, 0x0139},
      {US, 0x82, 0x0000}, {GR, 0x7A, 0x0615}, {GR, 0x84, 0x0628}, {GR, 0x82, 0x2612},
      {GR, 0xE1, 0x010C}, {GR, 0xFD, 0x0503}, {FR, 0x61, 0x0610}, {SG, 0xA4, 0x5631},
      {SP, 0xA4, 0x0127},
  };
  for (const auto& r : rows)
    EXPECT_EQ(compiler::kCharTables[r.language][r.ch], r.value) << kNames[r.language] << " " << int(r.ch);
}

TEST(Chartables, FixedRowsOfEveryLanguage) {
  struct Row {
    int language;
    std::uint8_t ch;
    std::uint16_t value;
  } rows[] = {
      // Ctrl with the letter's key of the layout (A on FR is the key 10h, Y and Z swap on GR).
      {US, 0x01, 0x031E}, {FR, 0x01, 0x0310}, {GR, 0x19, 0x032C}, {GR, 0x1A, 0x0315},
      {US, 0x00, 0x0303},
      // 1Bh-1Fh: Ctrl with the keys of [ \ ] 6 - of the layout.
      {US, 0x1B, 0x031A}, {US, 0x1C, 0x032B}, {US, 0x1D, 0x031B}, {US, 0x1E, 0x0307},
      {US, 0x1F, 0x030C}, {GR, 0x1B, 0x0309}, {GR, 0x1C, 0x030C}, {GR, 0x1F, 0x0335},
      {UK, 0x1C, 0x0356}, {FR, 0x1F, 0x0307},
      // Backspace, Tab, Enter, DEL.
      {US, 0x08, 0x010E}, {UK, 0x09, 0x010F}, {SF, 0x0D, 0x011C}, {IT, 0x7F, 0x030E},
      // The Swiss capitals through Caps Lock (with Shift where the small letter needs it).
      {SG, 0x8E, 0x0928}, {SG, 0x99, 0x0927}, {SG, 0x9A, 0x091A}, {SG, 0xB7, 0x0A28},
      {SG, 0x90, 0x0A27}, {SG, 0xD4, 0x0A1A}, {SF, 0xB7, 0x0928}, {SF, 0x90, 0x0927},
      {SF, 0xD4, 0x091A}, {SF, 0x8E, 0x0A28}, {SF, 0x99, 0x0A27}, {SF, 0x9A, 0x0A1A},
      // Keys of the national layouts.
      {GR, 0x40, 0x0510}, {GR, 0x7B, 0x0508}, {GR, 0x5C, 0x050C}, {GR, 0x7E, 0x051B},
      {GR, 0x7C, 0x0556}, {GR, 0xE6, 0x0532}, {GR, 0x15, 0x0316}, {GR, 0xF8, 0x0229},
      {FR, 0x31, 0x0202}, {FR, 0x85, 0x010B}, {FR, 0x97, 0x0128}, {FR, 0x40, 0x050B},
      {FR, 0x3C, 0x0156}, {FR, 0x89, 0x4612},
      {UK, 0x9C, 0x0204}, {UK, 0x40, 0x0228}, {UK, 0x23, 0x012B}, {UK, 0x5C, 0x0156},
      {SG, 0x81, 0x011A}, {SG, 0x8A, 0x021A}, {SG, 0x40, 0x0503}, {SG, 0x5C, 0x0556},
      {SF, 0x8A, 0x011A}, {SF, 0x81, 0x021A},
      {IT, 0x7B, 0x0C1A}, {IT, 0x5B, 0x051A}, {IT, 0x40, 0x0527}, {IT, 0x23, 0x0528},
      {IT, 0x87, 0x0227}, {IT, 0x8D, 0x010D},
      {SP, 0xA5, 0x0727}, {SP, 0x87, 0x062B}, {SP, 0xA8, 0x020D}, {SP, 0x5C, 0x0529},
      {SP, 0x82, 0x2612}, {SP, 0x81, 0x4616},
      // Spacing accents: the dead key and the space bar.
      {GR, 0x5E, 0x3139}, {GR, 0x60, 0x1139}, {SG, 0x7E, 0x5139},
      // Not on the national layout.
      {US, 0x84, 0x0000}, {UK, 0x82, 0x0000}, {FR, 0x90, 0x0000}, {GR, 0xF9, 0x0000},
      {GR, 0xEF, 0x0000}, {SP, 0xC6, 0x0000},
  };
  for (const auto& r : rows)
    EXPECT_EQ(compiler::kCharTables[r.language][r.ch], r.value) << kNames[r.language] << " " << int(r.ch);
}

TEST(Chartables, DeadKeyTables) {
  using Entry = std::vector<std::vector<std::uint8_t>>;
  const Entry expected[8] = {
      {},
      {{0x02, 0x0D}, {0x01, 0x0D}, {0x01, 0x29}},
      {{}, {}, {0x01, 0x1A}, {0x02, 0x1A}},
      {},
      {{0x02, 0x0D}, {0x05, 0x0C}, {0x01, 0x0D}, {0x01, 0x1B}, {0x05, 0x0D}},
      {{0x02, 0x0D}, {0x05, 0x0C}, {0x01, 0x0D}, {0x01, 0x1B}, {0x05, 0x0D}},
      {},
      {{0x01, 0x1A}, {0x01, 0x28}, {0x02, 0x1A}, {0x02, 0x28}},
  };
  for (int lang = 0; lang < 8; ++lang) {
    for (int index = 1; index <= 7; ++index) {
      const auto i = static_cast<std::size_t>(index - 1);
      const std::vector<std::uint8_t> want =
          i < expected[lang].size() && !expected[lang][i].empty() ? expected[lang][i] : std::vector<std::uint8_t>{0, 0};
      const auto* e = compiler::kDeadKeyTables[lang][index];
      EXPECT_EQ((std::vector<std::uint8_t>{e[0], e[1]}), want) << kNames[lang] << " dead key " << index;
    }
  }
}

// Every value is well formed: a known shift code, a key of the main block, and a dead-key index
// only where the language has that dead key.
TEST(Chartables, ValuesAreWellFormed) {
  for (int lang = 0; lang < 8; ++lang) {
    for (int ch = 0; ch < 256; ++ch) {
      const std::uint16_t v = compiler::kCharTables[lang][ch];
      if (v == 0) continue;
      const int shift = (v >> 8) & 0x0F, dead = v >> 12, key = v & 0xFF;
      const bool swiss = lang == SG || lang == SF;
      EXPECT_TRUE(shift == 1 || shift == 2 || shift == 3 || shift == 5 || shift == 6 || shift == 7 ||
                  shift == 12 || (swiss && (shift == 9 || shift == 10)))
          << kNames[lang] << " " << ch;
      EXPECT_TRUE((key >= 0x02 && key <= 0x35) || key == 0x39 || key == 0x56) << kNames[lang] << " " << ch;
      if (dead) {
        const auto* e = compiler::kDeadKeyTables[lang][dead];
        EXPECT_TRUE(dead <= 7 && (e[0] || e[1])) << kNames[lang] << " " << ch;
      }
    }
    for (int c = 'a'; c <= 'z'; ++c) {
      EXPECT_EQ(compiler::kCharTables[lang][c] >> 8, 0x06) << kNames[lang] << " " << char(c);
      EXPECT_EQ(compiler::kCharTables[lang][c - 0x20], (compiler::kCharTables[lang][c] & 0xFF) | 0x0700)
          << kNames[lang] << " " << char(c - 0x20);
    }
  }
}

TEST(Chartables, TypingTextInEachLanguage) {
  struct Case {
    int language;
    const char* text;  // code page 850
    Bytes bytes;
  } cases[] = {
      {US, "Hi!", {0x2A, 0x23, 0xA3, 0xAA, 0x17, 0x97, 0x2A, 0x02, 0x82, 0xAA}},
      // G r o-umlaut sharp-s e: the umlaut and sharp s have keys of their own.
      {GR, "Gr\x94\xE1" "e", {0x2A, 0x22, 0xA2, 0xAA, 0x13, 0x93, 0x27, 0xA7, 0x0C, 0x8C, 0x12, 0x92}},
      {GR, "\\{", {0xE0, 0x38, 0x08, 0x88, 0xE0, 0xB8}},
      // e-acute t e-acute, a-grave, N o e-diaeresis l: digit-row letters, AZERTY, dead diaeresis
      // with Shift on the circumflex key.
      {FR, "\x82t\x82 \x85 No\x89l",
       {0x03, 0x83, 0x14, 0x94, 0x03, 0x83, 0x39, 0xB9, 0x0B, 0x8B, 0x39, 0xB9, 0x2A, 0x31, 0xB1,
        0xAA, 0x18, 0x98, 0x2A, 0x1A, 0x9A, 0xAA, 0x12, 0x92, 0x26, 0xA6}},
      {UK, "\x9C" "5 @home",
       {0x2A, 0x04, 0x84, 0xAA, 0x06, 0x86, 0x39, 0xB9, 0x2A, 0x28, 0xA8, 0xAA, 0x23, 0xA3, 0x18,
        0x98, 0x32, 0xB2, 0x12, 0x92}},
      {SG, "Z\x81rich", {0x2A, 0x15, 0x95, 0xAA, 0x1A, 0x9A, 0x13, 0x93, 0x17, 0x97, 0x2E, 0xAE, 0x23, 0xA3}},
      {SF, "o\x97", {0x18, 0x98, 0x2A, 0x0D, 0x8D, 0xAA, 0x16, 0x96}},
      // E-acute capital through Caps Lock; the next letters compensate, the first plain key
      // switches Caps Lock off again.
      {SF, "\x90t\x82", {0x3A, 0xBA, 0x27, 0xA7, 0x2A, 0x14, 0x94, 0x3A, 0xBA, 0xAA, 0x27, 0xA7}},
      {IT, "pi\x97", {0x19, 0x99, 0x17, 0x97, 0x2B, 0xAB}},
      {IT, "\\{", {0x2A, 0xE0, 0x38, 0x1A, 0x9A, 0xAA, 0xE0, 0xB8}},
      {IT, "@", {0xE0, 0x38, 0x27, 0xA7, 0xE0, 0xB8}},
      {SP, "a\xA4o", {0x1E, 0x9E, 0x27, 0xA7, 0x18, 0x98}},
      // Inverted question mark, q u e-acute (dead acute on its own key), question mark.
      {SP, "\xA8qu\x82?",
       {0x2A, 0x0D, 0x8D, 0xAA, 0x10, 0x90, 0x16, 0x96, 0x28, 0xA8, 0x12, 0x92, 0x2A, 0x0C, 0x8C, 0xAA}},
  };
  for (const auto& k : cases) {
    compiler::ConvertSettings s;
    s.language = k.language;
    Bytes out;
    ASSERT_TRUE(compiler::convert_scancodes(s, k.text, 0, false, out)) << k.text;
    EXPECT_EQ(out, k.bytes) << kNames[k.language] << ": " << k.text;
  }
}

TEST(Chartables, CustomTableReplacesTheLanguage) {
  compiler::ConvertSettings s;
  s.language = GR;
  s.custom_table_used = true;
  s.custom_table[0x84] = 0x1628;               // a-umlaut: custom dead key 1, then key 28h
  s.custom_deadkeys[1] = {0x05, 0x28};         // AltGr + the key 28h
  Bytes out;
  ASSERT_TRUE(compiler::convert_scancodes(s, "\x84z", 0, false, out));
  // z is 0 in the custom table: Alt and 122 on the keypad.
  EXPECT_EQ(out, (Bytes{0xE0, 0x38, 0x28, 0xA8, 0xE0, 0xB8, 0x28, 0xA8, 0x38, 0x4F, 0xCF, 0x50, 0xD0,
                        0x50, 0xD0, 0xB8}));
  EXPECT_EQ(compiler::character_value(s, 0x84), 0x1628);
  s.custom_table_used = false;
  EXPECT_EQ(compiler::character_value(s, 0x84), 0x0628);
}
