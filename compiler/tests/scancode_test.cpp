#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/chartables.h"
#include "compiler/keynames.h"
#include "compiler/scancode.h"

using compiler::ConvertSettings;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes scan(const std::string& text, int language = 0, std::uint8_t initial = 0, bool make_only = false,
           bool shift_lock = false) {
  ConvertSettings s;
  s.language = language;
  s.shift_lock = shift_lock;
  Bytes out{0xEE};
  if (!compiler::convert_scancodes(s, text, initial, make_only, out)) return {0xDE, 0xAD};
  return out;
}

}  // namespace

TEST(Scancode, ConcreteSequences) {
  struct Case {
    std::string text;
    Bytes bytes;
    int language = 0;
    std::uint8_t initial = 0;
    bool make_only = false;
  } cases[] = {
      {"a", {0x1E, 0x9E}},
      {"A", {0x2A, 0x1E, 0x9E, 0xAA}},
      {"Ab", {0x2A, 0x1E, 0x9E, 0xAA, 0x30, 0xB0}},
      {"aA", {0x1E, 0x9E, 0x2A, 0x1E, 0x9E, 0xAA}},
      {"{Shift+a}", {0x2A, 0x1E, 0x9E, 0xAA}},
      {"A{Shift+b}", {0x2A, 0x1E, 0x9E, 0x30, 0xB0, 0xAA}},
      {"{F1}", {0x3B, 0xBB}},
      {"{FS1}", {0x2A, 0x3B, 0xBB, 0xAA}},
      {"{ALT0228}", {0x38, 0x52, 0xD2, 0x50, 0xD0, 0x50, 0xD0, 0x48, 0xC8, 0xB8}},
      {"\x82", {0x38, 0x4F, 0xCF, 0x51, 0xD1, 0x52, 0xD2, 0xB8}},
      {"\x82", {0x0D, 0x8D, 0x12, 0x92}, 1},
      {"{EMPTY}", {}},
      {"ab{Empty}cd", {}},
      {"{LAYER3}", {0xF9, 0x03}},
      {"{LAYER0}", {0xF9, 0x80}},
      {"{EasyLayer 12}", {0xF9, 0x0C}},
      {"{\\x1C}", {0x1C}},
      {"{\\xE0}{\\x4B}{\\xE0}{\\xAA}", {0xE0, 0x4B, 0xE0, 0xAA}},
      {"a", {0x1E}, 0, 0, true},
      {"{Shift}", {0x2A}, 0, 0, true},
      {"{Left}", {0xE0, 0x4B}, 0, 0, true},
      {"a", {0xAA, 0x1E, 0x9E, 0x2A}, 0, 0x02},
      {"{Ctrl+c}", {0x1D, 0x2E, 0xAE, 0x9D}},
      {"{POSKEY005}", {0x68, 0x05}},
      {"{POSKEY078}", {0x68, 0xE0, 0x01}},
      {"{Beep}{Delay}", {0xFF, 0xFE}},
      {"\\{x\\}", {0x2A, 0x1A, 0x9A, 0xAA, 0x2D, 0xAD, 0x2A, 0x1B, 0x9B, 0xAA}},
      {"1+1", {0x02, 0x82, 0x2A, 0x0D, 0x8D, 0xAA, 0x02, 0x82}},
      {"{Ctrl+Pause}", {0x1D, 0xE0, 0x46, 0xE0, 0xC6, 0x9D}},
      {"{E0Shift+Left}", {0xE0, 0x2A, 0xE0, 0x4B, 0xE0, 0xCB, 0xE0, 0xAA}},
      {"{E0Shift+Left}", {0xE0, 0x2A, 0xE0, 0x4B}, 0, 0, true},
      {"{ALT}", {0x38, 0xB8}},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(scan(k.text, k.language, k.initial, k.make_only), k.bytes) << k.text;
  }
}

TEST(Scancode, FailuresLeaveTheOutputAlone) {
  for (const char* text : {"{LAYER200}", "{NoSuchKey}", "{\\q}", "{ALTX1}", "{a\\"}) {
    EXPECT_EQ(scan(text), (Bytes{0xDE, 0xAD})) << text;
  }
  // A backslash at the end inside braces ends the conversion without a fault.
  EXPECT_EQ(scan("{Shift}{\\"), (Bytes{0x2A, 0xAA}));
  EXPECT_EQ(scan("a\\"), (Bytes{0x1E, 0x9E, 0x2B, 0xAB}));
}

TEST(Scancode, UntrustedTextNeverOverruns) {
  EXPECT_EQ(scan("{" + std::string(40, 'Q') + "}"), (Bytes{0xDE, 0xAD}));
  Bytes long_out = scan(std::string(300, 'A'));
  EXPECT_EQ(long_out.size(), compiler::kMaxCodeString);
  EXPECT_NE(scan(std::string(100, '{')), (Bytes{0xDE, 0xAD}));
  EXPECT_NE(scan(std::string(100, '}')), (Bytes{0xDE, 0xAD}));
  EXPECT_EQ(scan("{\\x"), Bytes{});
  EXPECT_EQ(scan("{\\x4"), Bytes{});
}

TEST(Scancode, ShiftLockMode) {
  // With the Caps Lock key acting as shift lock, a capital needs Shift and the end releases it.
  EXPECT_EQ(scan("A", 1, 0, false, true), (Bytes{0x2A, 0x1E, 0x9E, 0xAA}));
}

TEST(KeyNames, TableOrder) {
  const auto& t = compiler::key_names();
  ASSERT_EQ(t.size(), 319u);
  EXPECT_EQ(t[compiler::kRowEmpty].name, "EMPTY");
  EXPECT_EQ(t[30].name, "NORMAL");
  EXPECT_EQ(t[9].name, "E0SHIFT");
  EXPECT_EQ(compiler::find_key_name("POSKEY077"), 234);
  EXPECT_EQ(t[234].codes, (Bytes{0x68, 0x58}));
  EXPECT_EQ(t[285].name, "POSKEY128");
  EXPECT_EQ(t[285].codes, (Bytes{0x68, 0xE0, 0x44}));
  EXPECT_EQ(t[318].name, "WAKE");
}

TEST(CharacterMode, Conversions) {
  Bytes out;
  ASSERT_TRUE(compiler::convert_characters("{SHIFT+a}x{CR}", out));
  EXPECT_EQ(out, (Bytes{0x41, 0x78, 0x0D}));
  ASSERT_TRUE(compiler::convert_characters("{{\\}{CTRL+c}{lf}", out));
  EXPECT_EQ(out, (Bytes{'{', '}', 0x03, 0x0A}));
  for (const char* bad : {"{SHIFT+ab}", "{}", "{SHIFT+}", "{F1}", "{CR"}) EXPECT_FALSE(compiler::convert_characters(bad, out)) << bad;
}

TEST(ConvertPending, ModesAndLimits) {
  ConvertSettings s;
  Bytes out;
  std::uint8_t mode = 0x40;
  EXPECT_EQ(compiler::convert_pending(s, 0, 0, mode, "ab", out), compiler::ConvertStatus::Ok);
  EXPECT_EQ(out, (Bytes{'a', 'b'}));
  mode = 0x40;
  EXPECT_EQ(compiler::convert_pending(s, 0, 0, mode, "{F1}", out), compiler::ConvertStatus::AsciiFailed);
  // The character-mode option tries characters first and falls back to scancodes.
  s.char_mode_option = true;
  out.clear();
  mode = 0;
  EXPECT_EQ(compiler::convert_pending(s, 0, 0, mode, "x", out), compiler::ConvertStatus::Ok);
  EXPECT_EQ(mode, 0x40);
  mode = 0;
  out.clear();
  EXPECT_EQ(compiler::convert_pending(s, 0, 0, mode, "{F1}", out), compiler::ConvertStatus::Ok);
  EXPECT_EQ(mode, 0x00);
  EXPECT_EQ(out, (Bytes{0x3B, 0xBB}));
  // The condition's Shift is the initial state only for the first piece.
  s.char_mode_option = false;
  out.clear();
  mode = 0;
  compiler::convert_pending(s, 0x02, 0x82, mode, "a", out);
  EXPECT_EQ(out, (Bytes{0xAA, 0x1E, 0x9E, 0x2A}));
  compiler::convert_pending(s, 0x02, 0x82, mode, "a", out);
  EXPECT_EQ(out.size(), 6u);
  out.assign(238, 0x1E);
  EXPECT_EQ(compiler::convert_pending(s, 0, 0, mode, "a", out), compiler::ConvertStatus::TooLong);
  EXPECT_EQ(out.size(), 238u);
}
