#include <gtest/gtest.h>

#include <cstdio>

#include "common/zpx_format.h"
#include "compiler/context.h"
#include "compiler/directives.h"
#include "compiler/line_reader.h"
#include "compiler/tests/source_fixture.h"

namespace {

using compiler_test::Source;

std::string only_error(Source& r) {
  std::string l = r.listing();
  auto at = l.find("): ");
  return at == std::string::npos ? "" : l.substr(at + 3, l.find('\n', at) - at - 3);
}

}  // namespace

TEST(Directives, ModelTableCodesNeverContainEachOther) {
  const auto& t = compiler::model_table();
  ASSERT_EQ(t.size(), 15u);
  for (std::size_t i = 0; i < t.size(); ++i)
    for (std::size_t j = 0; j < t.size(); ++j) {
      if (i == j) continue;
      EXPECT_EQ(t[j].find(t[i]), std::string_view::npos) << t[i] << " in " << t[j];
    }
}

TEST(Directives, TypeAndCapacity) {
  struct Case {
    std::vector<const char*> lines;
    int model, capacity;
  } cases[] = {{{"TYPE ZK01"}, 1, 8000},
               {{"TYPE ZK11"}, 11, 6400},
               {{"TYPE ZK12"}, 12, 8000},
               {{"MEMORY 7000", "TYPE ZK05"}, 5, 7000},
               {{"TYPE ZK05", "TYPE ZK01"}, 1, 6400}};
  for (const auto& k : cases) {
    Source r;
    for (const char* l : k.lines) r << l;
    EXPECT_EQ(r.block(1)[0], k.model);
    EXPECT_EQ(r.ctx.capacity, k.capacity);
    EXPECT_EQ(r.ctx.error_count, 0);
  }
}

TEST(Directives, HeaderBytes) {
  struct Case {
    const char* line;
    std::size_t at;
    std::vector<int> bytes;
  } cases[] = {
      {"LANG GR", 4, {0x18}},
      {"LANG GR,C", 4, {0x10}},
      {"LANG US,S", 4, {0x08}},
      {"KBID SP", 4, {0x70}},
      {"INTER COM:9600,E,8,H", 4, {0x02, 0xDA}},
      {"INTER COM", 4, {0x02, 0xE2}},
      {"INTER USB", 4, {0x04, 0x00}},
      {"KBCI COM:38400,N,7", 4, {0x02, 0x80}},
      {"SOUND 100,100,50,1000", 292, {0xFF, 0x05, 0x7F, 0x32}},
      {"SOUND 50,0", 292, {0x7F, 0x02, 0xFF, 0x14}},
      {"SNDK 0,0", 292, {0x00, 0x00}},
      {"SNDA 100", 294, {0xFF, 0x14}},
      {"SOUND 123H", 292, {0x55}},
  };
  for (const auto& k : cases) {
    Source r;
    r << k.line;
    for (std::size_t i = 0; i < k.bytes.size(); ++i) EXPECT_EQ(r.byte(k.at + i), k.bytes[i]) << k.line << " byte " << i;
  }
}

TEST(Directives, NumberBase) {
  Source r;
  r << "BASE H" << "SOUND 64,14";
  EXPECT_EQ(r.byte(292), 0x64 * 255 / 100 & 0xFF);
  EXPECT_EQ(r.byte(293), 0x14 / 20);
  r << "SOUND 64Z";
  EXPECT_EQ(r.byte(292), 64 * 255 / 100);
  r << "BASE Z" << "SOUND 99999999999999999999999,100";
  EXPECT_EQ(r.ctx.error_count, 0);
  EXPECT_EQ(r.byte(293), 5);
}

TEST(Directives, Errors) {
  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {"TYPE", "unknown type"},
      {"LANG XX", "unknown language"},
      {"INTER RS", "unknown Interface"},
      {"INTER COM:5,E", "unknown baudrate"},
      {"INTER COM:96,X", "unknown parity"},
      {"INTER COM:96,E,9", "unknown datalengh"},
      {"INTER COM:9600,E,8,X", "unknown parameter 'H' expected"},
      {"SOUND 50,0", "duration 0 not allowed (set volume to 0)"},
      {"SND 1,2", "unknown SNDx-code"},
      {"SOUND 1F", "unexpected hex figure"},
      {"MOD T1", "unknown sign '+-'"},
      {"RATE 30", "unknown delay code"},
      {"RATE 31,250", "unknown typematic rate"},
      {"RATE 2,250,X", "unknown slow output speed"},
      {"BASE X", "unknown character, expect 'H' or 'Z'"},
      {"MSR NX,\"t\"", "unknown parameter"},
      {"PORT 9600,Q", "unknown parameter"},
      {"PARA \"0,1,2,3,4,5,6,7\"", "PARAM - unknown"},
      {"PARA \"1,2,3\"", "PARAM - less than 8 codes"},
      {"PARA \"1,2,3,4,5,6,7,8,9\"", "PARAM - more than 8 codes"},
      {"MEMORY 511", "MEMORY - check MEMORY size parameter"},
      {"HK0 \"a\"", "unknown keycode"},
      {"HOTKEY2 \"a\"", "wrong hotkeycode"},
      {"DEADKEY 0x020D", "use keytable failed"},
      {"KEYLAYER EasyLayer200", "maximum 127 layers !  write 'EasyLayer1' etc. "},
      {"A17 \"a\"", "unknown keycode"},
      {"A01 #65", "unknown sign. '/+-' expected"},
      {"A01 +Q\"a\"", "unknown layer chracter"},
      {"A01 /N\"a\"", "EasyLayerdefinition /N1  "},
      {"A01 \"{NoKey}\"", "string conversion (scancode)"},
      {"A01 /C\"{F1}\"", "string conversion (ASCII)"},
      {"CONV \"'a\"=\"abcdefghi\"", "more than 8 Scancodes"},
      {"CONV \"'a\"=\"{EMPTY}\"", "Assignment conversion"},
      {"FOO", "unknown command"},
  };
  for (const auto& k : cases) {
    Source r;
    r << k.line;
    EXPECT_EQ(only_error(r), k.message) << k.line;
    EXPECT_EQ(r.ctx.error_count, 1) << k.line;
  }
}

TEST(Directives, ModOptions) {
  Source r;
  r << "MOD +T1,-KL,+OPOS";
  EXPECT_EQ(r.block(1)[1], 0xBF & ~0x20);
  EXPECT_TRUE(r.ctx.opos);
  Source s;
  s << "MOD -T1-T2+BA2+MCO-EF+IEK+GCA";
  EXPECT_EQ(s.block(1)[1], (0xBF & ~0x03) | 0x40);
  EXPECT_EQ(s.block(1)[2], 0x01 | 0x02);
  EXPECT_EQ(s.block(1)[3], 0x80);
  EXPECT_TRUE(s.ctx.char_mode_option);
  Source t;
  t << "MOD +XY";
  EXPECT_EQ(t.ctx.error_count, 2);  // the unknown name, then the sign that is not one
}

TEST(Directives, RateAndBlocks) {
  Source r;
  r << "RATE 10,500,SLOW";
  EXPECT_EQ(r.block(2)[0], 0x0C + 0x20);
  EXPECT_EQ(r.block(1)[3], 0x2C);
  r << "PORT 19200,N,8,1,NRTS,\"\\x1B^A\"";
  EXPECT_EQ(r.block(3), (std::vector<std::uint8_t>{0x01, '1', '9', '2', '0', '0', ',', 'N', ',', '8', ',', '1', 0x04, 0x13}));
  EXPECT_EQ(r.block(4), (std::vector<std::uint8_t>{0x1B, 0x01}));
  r << "PARA \"1,2,3,4,5,6,7,8\"" << "PARA \"\\x0A 11 12 13 14 15 16 17\"";
  EXPECT_EQ(r.block(8), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17}));
  r << "MSR N2,LRC,\"Track \\text\"";
  EXPECT_EQ(r.block(1)[1] & 0x07, 0x05);
  EXPECT_EQ(r.block(1)[2] & 0x38, 0x10);
  const auto block5 = r.block(5);
  std::string msr(block5.begin(), block5.end());
  EXPECT_EQ(msr, std::string("Track \\text") + '\0');
  r << "VERSION CYP2";
  EXPECT_EQ(r.ctx.definition_set, 2);
  EXPECT_EQ(r.ctx.error_count, 0) << r.listing();
}
