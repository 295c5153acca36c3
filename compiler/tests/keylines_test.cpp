#include <gtest/gtest.h>

#include <cstdio>

#include "compiler/context.h"
#include "compiler/definitions.h"
#include "compiler/directives.h"
#include "compiler/line_reader.h"
#include "compiler/tests/source_fixture.h"
#include "compiler/writer.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

using compiler_test::Source;

struct Rec {
  int value, mask, mode;
  Bytes codes;
};

void expect_records(const Source& s, int key, const std::vector<Rec>& want, const std::string& what) {
  const auto& got = s.key(key);
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].value, want[i].value) << what << " record " << i;
    EXPECT_EQ(got[i].mask, want[i].mask) << what << " record " << i;
    EXPECT_EQ(got[i].mode, want[i].mode) << what << " record " << i;
    EXPECT_EQ(got[i].codes, want[i].codes) << what << " record " << i;
  }
}

}  // namespace

TEST(KeyLines, ConditionsModesAndLists) {
  struct Case {
    std::vector<const char*> lines;
    int key;
    std::vector<Rec> records;
  } cases[] = {
      {{"A01 \"a\""}, 0, {{0x00, 0x80, 0x00, {0x1E, 0x9E}}}},
      {{"H16 \"a\""}, 127, {{0x00, 0x80, 0x00, {0x1E, 0x9E}}}},
      {{"M1H \"x\""}, 128, {{0x00, 0x80, 0x00, {0x2D, 0xAD}}}},
      {{"A01 +S\"A\""}, 0, {{0x02, 0x82, 0x00, {0x1E, 0x9E}}}},
      {{"A01 -K\"a\""}, 0, {{0x80, 0x80, 0x00, {0x1E, 0x9E}}}},
      {{"A01 +K\"a\""}, 0, {{0x00, 0x00, 0x00, {0x1E, 0x9E}}}},
      {{"A01 /S\"a\""}, 0, {{0x00, 0x00, 0x1B, {0x1E}}}},
      {{"A01 /C\"ab\""}, 0, {{0x00, 0x80, 0x40, {0x61, 0x62}}}},
      {{"A01 :#65"}, 0, {{0x00, 0x80, 0x00, {0x2A, 0x1E, 0x9E, 0xAA}}}},
      {{"A01 \"a\"", "A01 \"b\""}, 0, {{0x00, 0x80, 0x00, {0x30, 0xB0}}}},
      {{"A01 +S\"a\"", "A01 \"b\""}, 0, {{0x02, 0x82, 0x00, {0xAA, 0x1E, 0x9E, 0x2A}}, {0x00, 0x80, 0x00, {0x30, 0xB0}}}},
      {{"A01 \"b\"", "A01 +S\"a\""}, 0, {{0x02, 0x82, 0x00, {0xAA, 0x1E, 0x9E, 0x2A}}, {0x00, 0x80, 0x00, {0x30, 0xB0}}}},
      {{"KEYLAYER EasyLayer2", "A01 +S\"x\""}, 0, {{0x02, 0x7F, 0x80, {0x2D, 0xAD}}}},
      {{"A01 /N5\"x\"", "A02 \"y\""}, 1, {{0x05, 0x7F, 0x80, {0x15, 0x95}}}},
      {{"A01 \"a\"", "A01 /N1\"b\"", "A01 /N3\"c\"", "A01 /N1\"d\""}, 0,
       {{0x03, 0x7F, 0x80, {0x2E, 0xAE}}, {0x01, 0x7F, 0x80, {0x30, 0xB0}}, {0x01, 0x7F, 0x80, {0x20, 0xA0}}, {0x00, 0x80, 0x00, {0x1E, 0x9E}}}},
      {{"DEF /K", "A01 \"a\""}, 0, {{0x00, 0x80, 0x01, {0x1E, 0x9E}}}},
      {{"A01 \"a\"%255"}, 0, {{0x00, 0x80, 0x00, {0x1E, 0x9E, 0xFF}}}},
  };
  for (const auto& k : cases) {
    Source s;
    std::string what;
    for (const char* l : k.lines) {
      s << l;
      what += std::string(l) + " | ";
    }
    expect_records(s, k.key, k.records, what);
  }
}

TEST(KeyLines, Numbering) {
  struct Case {
    const char* type;
    const char* keyword;
    int key;
    bool extended;
  } cases[] = {
      {"TYPE ZK01", "A17", -1, false},   {"TYPE ZK00", "G12", 107, false}, {"TYPE ZK00", "H01", -1, false},
      {"TYPE ZK02", "A06", 77, false},   {"TYPE ZK02", "A14", -1, false},  {"TYPE ZK02", "G01", -1, false},
      {"TYPE ZK03", "A10", 115, false},  {"TYPE ZK03", "H16", 114, false}, {"TYPE ZK03", "A17", -1, false},
      {"TYPE ZK04", "B01", 17, false},   {"TYPE ZK05", "F01", -1, false},  {"TYPE ZK08", "A06", -1, false},
      {"TYPE ZK11", "H13", 182, true},   {"TYPE ZK11", "G20", 169, true},  {"TYPE ZK12", "H01", 177, true},
      {"TYPE ZK13", "G22", 183, true},   {"TYPE ZK14", "A05", 174, true},  {"TYPE ZK14", "A09", 174, true},
      {"TYPE ZK14", "G16", 171, true},   {"TYPE ZK14", "A01", 0, true},    {"TYPE ZK07", "KLT", 141, false},
  };
  for (const auto& k : cases) {
    Source s;
    s << k.type;
    EXPECT_EQ(compiler::key_number(s.ctx, k.keyword), k.key) << k.type << " " << k.keyword;
    EXPECT_EQ(s.ctx.extended_layout, k.extended) << k.type << " " << k.keyword;
  }
}

TEST(KeyLines, BuiltinDefinitions) {
  Source s;
  s << "A01 KEY-LEFT";
  EXPECT_EQ(s.ctx.error_count, 0) << s.listing();
  expect_records(s, 0,
                 {{0x20, 0xA6, 0x1E, {0xE0, 0x2A, 0xE0, 0x4B}}, {0xA0, 0xA6, 0x1C, {0xE0, 0x4B, 0xE0, 0xAA}},
                  {0x00, 0x00, 0x1E, {0xE0, 0x4B}}},
                 "KEY-LEFT");
  s << "A01 KEY-LEFT";
  EXPECT_EQ(s.ctx.error_count, 3);
  EXPECT_NE(s.listing().find("multiple defined key"), std::string::npos);

  Source k;
  k << "A01 KEY-LEFT/K";
  for (const auto& r : k.key(0)) EXPECT_EQ(r.mode & 0x01, 0x01);

  Source two;
  two << "VERSION CYP" << "A01 KEY-UP" << "A02 KEY-FN";
  expect_records(two, 0, {{0x00, 0x00, 0x1A, {0xE0, 0x48}}}, "KEY-UP set 2");
  EXPECT_EQ(two.key(1).size(), 2u);

  Source quoted;
  quoted << "A01 \"k-fn1\"";
  EXPECT_EQ(quoted.key(0).size(), 3u);

  Source layer;
  layer << "KEYLAYER EasyLayer4" << "A01 KEY-LEFT";
  ASSERT_EQ(layer.key(0).size(), 3u);
  for (const auto& r : layer.key(0)) {
    EXPECT_EQ(r.value, 4);
    EXPECT_EQ(r.mask, 0x7F);
    EXPECT_EQ(r.mode & 0x80, 0x80);
  }
  EXPECT_EQ(compiler::builtin_set(1).size(), 104u);
  EXPECT_EQ(compiler::builtin_set(2).size(), 79u);
}

TEST(KeyLines, HotkeysConversionAndCustomTable) {
  Source s;
  s << "HOTKEY0 \"{Ctrl+Alt+Del}\"" << "HOTKEY1 \"{Shift+F2}\"";
  EXPECT_EQ(s.ctx.image[296], 0x0C);
  EXPECT_EQ(s.ctx.image[297], 0x0C);
  EXPECT_EQ(s.ctx.image[298], 0xD3);
  EXPECT_EQ(s.ctx.image[299], 0x02);
  EXPECT_EQ(s.ctx.image[300], 0x02);
  EXPECT_EQ(s.ctx.image[301], 0x3C);
  s << "CONV \"'a\"=\"b\"" << "CONV \"\\x41\"=%1";
  EXPECT_EQ(s.ctx.blocks[6].data, (Bytes{'a', 2, 0x30, 0xB0, 0x41, 1, 0x01}));
  std::string table = "KEYTABLE";
  for (int i = 0; i < 10; ++i) table += " 0x011E,";
  s << table.c_str() << "DEADKEY 0x020D,\\x01\\x29";
  EXPECT_EQ(s.ctx.custom_count, 10);
  EXPECT_EQ(s.ctx.custom_deadkeys[0][0], 0x02);
  EXPECT_EQ(s.ctx.custom_deadkeys[0][1], 0x0D);
  EXPECT_EQ(s.ctx.custom_deadkeys[1][1], 0x29);
  EXPECT_EQ(s.ctx.error_count, 0) << s.listing();
  // Every character now types with the custom table: character 5 is key 1Eh.
  s << "A01 #5";
  EXPECT_EQ(s.key(0).front().codes, (Bytes{0x1E, 0x9E}));
  std::size_t length = 0;
  EXPECT_FALSE(compiler::build_image(s.ctx, length));  // fewer than 255 entries
  EXPECT_NE(s.listing().find("ERROR: to few KEYTABLE Parameters\n"), std::string::npos);
}

TEST(Writer, EntriesAndRecords) {
  Source s;
  s << "A01 /S\"a\"" << "A02 /S/M\"{Left}\"" << "A03 \"a\"" << "A03 +S\"b\"";
  std::size_t length = 0;
  ASSERT_TRUE(compiler::build_image(s.ctx, length)) << s.listing();
  const auto& img = s.ctx.image;
  EXPECT_EQ(img[8], 0x00);
  EXPECT_EQ(img[9], 0x1E);
  EXPECT_EQ(img[10], 0x00);
  EXPECT_EQ(img[11], 0xCB);
  const std::size_t first = img[12] << 8 | img[13];
  EXPECT_EQ(first, 317u);
  const std::size_t second = img[first] << 8 | img[first + 1];
  EXPECT_EQ(second, first + 6 + 4);
  EXPECT_EQ(img[second] << 8 | img[second + 1], 0);
  EXPECT_EQ(length, second + 6 + 2);
  EXPECT_EQ(img[6] << 8 | img[7], static_cast<int>(length));

  Source ext;
  ext << "TYPE ZK11" << "H13 \"a\"";
  ASSERT_TRUE(compiler::build_image(ext.ctx, length));
  EXPECT_EQ(ext.ctx.image[352] << 8 | ext.ctx.image[353], 400 + 13);
  EXPECT_EQ(ext.ctx.image[302] << 8 | ext.ctx.image[303], 400);
  EXPECT_EQ(ext.ctx.image[398], 0x01);
  EXPECT_EQ(ext.ctx.image[399], 0x2E);

  Source full;
  full << "MEMORY 512";
  for (char row = 'A'; row <= 'H'; ++row) {
    for (int col = 1; col <= 16; ++col) {
      char line[64];
      std::snprintf(line, sizeof line, "%c%02d \"abcdef\"", row, col);
      full << line;
    }
  }
  EXPECT_FALSE(compiler::build_image(full.ctx, length));
  EXPECT_NE(full.listing().find("FATAL: zpx-file to long\n"), std::string::npos);
}
