#include "compiler/scancode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/keynames.h"

using compiler::ConvertSettings;
using compiler::ConvertStatus;
using Bytes = std::vector<std::uint8_t>;

namespace {

enum Language { US, GR, FR, UK, SG, SF, IT, SP };

struct Options {
  int language = US;
  std::uint8_t initial = 0;
  bool make_only = false;
  bool shift_lock = false;
};

const Bytes kFailed{0xDE, 0xAD};

// The conversion's bytes, or kFailed; the output buffer starts dirty to show it is replaced.
Bytes scan(const std::string& text, Options o = {}) {
  ConvertSettings s;
  s.language = o.language;
  s.shift_lock = o.shift_lock;
  Bytes out{0xEE};
  if (!compiler::convert_scancodes(s, text, o.initial, o.make_only, out)) return kFailed;
  return out;
}

struct Case {
  const char* text;
  Bytes bytes;
  Options options = {};
};

void check(const std::vector<Case>& cases) {
  for (const auto& k : cases) EXPECT_EQ(scan(k.text, k.options), k.bytes) << '"' << k.text << '"';
}

const Options kMakeOnly{US, 0, true};

}  // namespace

TEST(Scancode, CharactersGetTheModifiersTheyNeed) {
  check({
      {"a", {0x1E, 0x9E}},
      {"A", {0x2A, 0x1E, 0x9E, 0xAA}},
      {"Ab", {0x2A, 0x1E, 0x9E, 0xAA, 0x30, 0xB0}},
      {"aA", {0x1E, 0x9E, 0x2A, 0x1E, 0x9E, 0xAA}},
      {"AB", {0x2A, 0x1E, 0x9E, 0x30, 0xB0, 0xAA}},
      {"1+1", {0x02, 0x82, 0x2A, 0x0D, 0x8D, 0xAA, 0x02, 0x82}},
      // Escaped braces and backslashes are characters; "\" before anything else at the top
      // level is itself a character, as is a "\" at the end.
      {"\\{x\\}", {0x2A, 0x1A, 0x9A, 0xAA, 0x2D, 0xAD, 0x2A, 0x1B, 0x9B, 0xAA}},
      {"\\q", {0x2B, 0xAB, 0x10, 0x90}},
      {"\\x4", {0x2B, 0xAB, 0x2D, 0xAD, 0x05, 0x85}},
      {"a\\", {0x1E, 0x9E, 0x2B, 0xAB}},
      {"}}", {0x2A, 0x1B, 0x9B, 0x1B, 0x9B, 0xAA}},
      // A character no US key types: Alt and its code page 850 code on the keypad.
      {"\x82", {0x38, 0x4F, 0xCF, 0x51, 0xD1, 0x52, 0xD2, 0xB8}},
      // The definition requires Shift: a small letter releases it, the end restores it.
      {"a", {0xAA, 0x1E, 0x9E, 0x2A}, {US, 0x02}},
      // Caps Lock active: Shift makes the small letter, the capital needs none.
      {"a", {0x2A, 0x1E, 0x9E, 0xAA}, {US, 0x40}},
      {"A", {0x1E, 0x9E}, {US, 0x40}},
  });
}

TEST(Scancode, NamesAndModifiersInBraces) {
  check({
      {"{Shift+a}", {0x2A, 0x1E, 0x9E, 0xAA}},
      {"A{Shift+b}", {0x2A, 0x1E, 0x9E, 0x30, 0xB0, 0xAA}},
      {"{F1}", {0x3B, 0xBB}},
      {"{FS1}", {0x2A, 0x3B, 0xBB, 0xAA}},
      {"{fa12}", {0x38, 0x58, 0xD8, 0xB8}},
      {"{Ctrl+c}", {0x1D, 0x2E, 0xAE, 0x9D}},
      {"{ALT}", {0x38, 0xB8}},
      {"{ALT0228}", {0x38, 0x52, 0xD2, 0x50, 0xD0, 0x50, 0xD0, 0x48, 0xC8, 0xB8}},
      {"{Shift++}", {0x2A, 0x0D, 0x8D, 0xAA}},
      {"{POSKEY005}", {0x68, 0x05}},
      {"{POSKEY078}", {0x68, 0xE0, 0x01}},
      {"{Beep}{Delay}", {0xFF, 0xFE}},
      // Restoring after a group goes right Shift, left Shift, Ctrl, Alt, then the E0 keys.
      {"{RShift+Ctrl+Alt+x}", {0x36, 0x1D, 0x38, 0x2D, 0xAD, 0xB6, 0x9D, 0xB8}},
      {"{AltGr+RCtrl+Shift+q}", {0xE0, 0x38, 0xE0, 0x1D, 0x2A, 0x10, 0x90, 0xAA, 0xE0, 0x9D, 0xE0, 0xB8}},
      // With AltGr alone held, a character keeps it; with more of the E0 keys held (and no
      // Shift, Ctrl, Alt) it is typed as usual, which releases right Ctrl and AltGr.
      {"{AltGr+q}", {0xE0, 0x38, 0x10, 0x90, 0xE0, 0xB8}},
      {"{AltGr+RCtrl+LWin+RWin+App+E0Shift+q}",
       {0xE0, 0x38, 0xE0, 0x1D, 0xE0, 0x5B, 0xE0, 0x5C, 0xE0, 0x5D, 0xE0, 0x2A, 0xE0, 0x9D, 0xE0,
        0xB8, 0x10, 0x90, 0xE0, 0xDB, 0xE0, 0xDC, 0xE0, 0xDD, 0xE0, 0xAA}},
      {"{E0Shift+Left}", {0xE0, 0x2A, 0xE0, 0x4B, 0xE0, 0xCB, 0xE0, 0xAA}},
      // With Ctrl held PAUSE is BREAK; the pause sequence's E1 codes are no Ctrl or Num Lock,
      // so the keypad digit afterwards still needs Shift.
      {"{Ctrl+Pause}", {0x1D, 0xE0, 0x46, 0xE0, 0xC6, 0x9D}},
      {"{Pause}{#1}", {0xE1, 0x1D, 0x45, 0xE1, 0x9D, 0xC5, 0x2A, 0x4F, 0xCF, 0xAA}},
      // Num Lock switched on makes the keypad digit plain; under Ctrl the lock key does not
      // switch.
      {"{Num}{#1}", {0x45, 0xC5, 0x4F, 0xCF}},
      {"{Ctrl+Num}{#1}", {0x1D, 0x45, 0xC5, 0x9D, 0x2A, 0x4F, 0xCF, 0xAA}},
      {"{#1}", {0x4F, 0xCF}, {US, 0x20}},
      // A character no key types, inside a group: Shift is released for the Alt sequence.
      {"{Shift+\x82}", {0x38, 0x4F, 0xCF, 0x51, 0xD1, 0x52, 0xD2, 0xB8}},
      // Ctrl with a character typed with AltGr (GR @ is AltGr+Q).
      {"{Ctrl+@}", {0x1D, 0xE0, 0x38, 0x10, 0x90, 0x9D, 0xE0, 0xB8}, {GR}},
      // Unbalanced braces end like balanced ones.
      {"{F1", {0x3B, 0xBB}},
      {"{{a}", {0x1E, 0x9E}},
      {"{", {}},
      {"{+", {}},
  });
}

TEST(Scancode, LayersEmptyAndRawBytes) {
  check({
      {"{LAYER3}", {0xF9, 0x03}},
      {"{LAYER0}", {0xF9, 0x80}},
      {"{layer127}", {0xF9, 0x7F}},
      {"{EasyLayer 12}", {0xF9, 0x0C}},
      {"{LAYER0003}", {0xF9, 0x03}},
      {"{LAYER200}", kFailed},
      {"{LAYER128}", kFailed},
      {"{LAYER1234}", kFailed},
      {"{LAYER  3}", kFailed},
      {"{EMPTY}", {}},
      {"ab{Empty}cd", {}},
      // Raw mode: the bytes as given, no modifiers, no clean-up.
      {"{\\x1C}", {0x1C}},
      {"{\\xE0}{\\x4B}{\\xE0}{\\xAA}", {0xE0, 0x4B, 0xE0, 0xAA}},
      {"{\\x1E}A", {0x1E, 0x1E, 0x9E}},
      {"{\\x4}", {}},
      {"{\\x}", {}},
      {"{\\x00}", {}},
      {"{\\xZZ}", kFailed},
      // A raw byte later in the text: modifiers as usual, but the clean-up is skipped.
      {"a{\\x1C}", {0x1E, 0x9E, 0x1C}},
      {"{Shift}{\\x1E}", {0x2A, 0xAA, 0x1E}},
  });
}

TEST(Scancode, CleanUpRemovesStrokesThatCancel) {
  check({
      {"{Shift}", {}},
      {"{Ctrl}", {}},
      {"{Ctrl+a}{Ctrl+b}", {0x1D, 0x1E, 0x9E, 0x30, 0xB0, 0x9D}},
      // Only the first two codes of a run decide.
      {"{Shift+Ctrl+a}{Shift+Ctrl+b}",
       {0x2A, 0x1D, 0x1E, 0x9E, 0xAA, 0x9D, 0x2A, 0x1D, 0x30, 0xB0, 0xAA, 0x9D}},
      // A "\" at the end inside braces ends the text without clean-up.
      {"{Shift}{\\", {0x2A, 0xAA}},
  });
}

TEST(Scancode, MakeOnly) {
  check({
      {"a", {0x1E}, kMakeOnly},
      {"A", {0x1E}, kMakeOnly},
      {"{Shift}", {0x2A}, kMakeOnly},
      {"{Ctrl}", {0x1D}, kMakeOnly},
      {"{Left}", {0xE0, 0x4B}, kMakeOnly},
      {"{E0Shift+Left}", {0xE0, 0x2A, 0xE0, 0x4B}, kMakeOnly},
      {"{Beep}", {0xFF}, kMakeOnly},
      {"{SpcSeq}", {0xF8, 0x03, 0x01}, kMakeOnly},
      {"{ResetStatus}", {}, kMakeOnly},
  });
}

TEST(Scancode, DeadKeysAndSwissCapitals) {
  check({
      {"\x82", {0x0D, 0x8D, 0x12, 0x92}, {GR}},                          // e acute
      {"\x8A", {0x2A, 0x0D, 0x8D, 0xAA, 0x12, 0x92}, {GR}},              // e grave
      {"\xD2", {0x29, 0xA9, 0x2A, 0x12, 0x92, 0xAA}, {GR}},              // E circumflex
      {"^", {0x29, 0xA9, 0x39, 0xB9}, {GR}},                             // dead key, space
      {"\xA4", {0xE0, 0x38, 0x0D, 0x8D, 0xE0, 0xB8, 0x31, 0xB1}, {SG}},  // n tilde
      // Caps Lock is switched on for the capital and off again before anything else, at the
      // latest at the end of the text.
      {"\x8E", {0x3A, 0xBA, 0x28, 0xA8, 0x3A, 0xBA}, {SG}},
      {"\xB7", {0x3A, 0xBA, 0x2A, 0x28, 0xA8, 0x3A, 0xBA, 0xAA}, {SG}},
      {"\x8E" "1", {0x3A, 0xBA, 0x28, 0xA8, 0x3A, 0xBA, 0x02, 0x82}, {SG}},
      {"\x8E" "a", {0x3A, 0xBA, 0x28, 0xA8, 0x2A, 0x1E, 0x9E, 0x3A, 0xBA, 0xAA}, {SG}},
  });
}

TEST(Scancode, ShiftLockMode) {
  const Options gr{GR, 0, false, true};
  const Options gr_locked{GR, 0x40, false, true};
  check({
      {"A", {0x2A, 0x1E, 0x9E, 0xAA}, gr},
      {"a", {0x1E, 0x9E}, gr},
      // Shift lock on: a Shift stroke ends it before the small letter, and that stroke is kept.
      {"a", {0x36, 0xB6, 0x1E, 0x9E}, gr_locked},
      // The capital needs nothing more: Shift is not pressed while the lock is on.
      {"A", {0x1E, 0x9E}, gr_locked},
  });
}

TEST(Scancode, FailuresLeaveTheOutputAlone) {
  for (const char* text : {"{NoSuchKey}", "{\\q}", "{ALTX1}", "{a\\", "{ALT}1{ALT12A}"})
    EXPECT_EQ(scan(text), kFailed) << text;
}

TEST(Scancode, UntrustedTextNeverOverruns) {
  // A name is at most 19 characters: ALT with 16 digits still is one, a longer item is none.
  Bytes alt{0x38};
  for (int k = 0; k < 14; ++k) alt.insert(alt.end(), {0x52, 0xD2});
  alt.insert(alt.end(), {0x4D, 0xCD, 0x4C, 0xCC, 0xB8});
  EXPECT_EQ(scan("{ALT0000000000000065}"), alt);
  EXPECT_EQ(scan("{ALT00000000000000065}"), kFailed);
  EXPECT_EQ(scan("{" + std::string(400, 'Q') + "}"), kFailed);
  EXPECT_EQ(scan("{" + std::string(400, 'Q')), kFailed);
  // The output stops at 240 bytes.
  EXPECT_EQ(scan(std::string(300, 'A')).size(), compiler::kMaxCodeString);
  EXPECT_EQ(scan(std::string(150, '{')), Bytes{});
  EXPECT_EQ(scan(std::string(10, '}')).size(), 22u);
}

TEST(KeyNames, TableOrder) {
  const auto& t = compiler::key_names();
  ASSERT_EQ(t.size(), 319u);
  EXPECT_EQ(t[9].name, "E0SHIFT");
  EXPECT_EQ(t[19].name, "MAKEE0SHIFT");
  EXPECT_EQ(t[29].codes, (Bytes{0xE0, 0xAA}));
  EXPECT_EQ(t[30].name, "NORMAL");
  EXPECT_EQ(t[compiler::kRowEmpty].name, "EMPTY");
  struct Pos {
    const char* name;
    Bytes codes;
  } pos[] = {
      {"POSKEY001", {0x68, 0x01}},       {"POSKEY028", {0x68, 0x1C}},
      {"POSKEY029", {0x68, 0x1E}},       {"POSKEY041", {0x68, 0x2B}},
      {"POSKEY062", {0x68, 0x47}},       {"POSKEY077", {0x68, 0x58}},
      {"POSKEY078", {0x68, 0xE0, 0x01}}, {"POSKEY093", {0x68, 0xE0, 0x11}},
      {"POSKEY105", {0x68, 0xE0, 0x23}}, {"POSKEY118", {0x68, 0xE0, 0x39}},
      {"POSKEY128", {0x68, 0xE0, 0x44}},
  };
  for (const auto& p : pos) {
    const int row = compiler::find_key_name(p.name);
    ASSERT_GT(row, compiler::kRowEmpty) << p.name;
    EXPECT_EQ(t[static_cast<std::size_t>(row)].codes, p.codes) << p.name;
  }
  EXPECT_EQ(compiler::find_key_name("POSKEY001"), 158);
  EXPECT_EQ(t[318].name, "WAKE");
  EXPECT_EQ(compiler::find_key_name("POSKEY129"), -1);
  EXPECT_EQ(compiler::find_key_name("f1"), -1);  // names are looked up upper-cased
}

TEST(Charmode, Conversions) {
  struct Row {
    const char* text;
    Bytes bytes;
  } rows[] = {
      {"{SHIFT+a}x{CR}", {0x41, 0x78, 0x0D}},
      {"{{\\}{CTRL+c}{lf}", {'{', '}', 0x03, 0x0A}},
      {"{shift+\xE9}{Tab}{HT}{Esc}{BS}{Del}", {0xE9, 0x09, 0x09, 0x1B, 0x08, 0x7F}},
      {"{CTRL+@}a\\", {'a', '\\'}},  // Ctrl+@ is the zero character: never stored
  };
  for (const auto& r : rows) {
    Bytes out{0xEE};
    ASSERT_TRUE(compiler::convert_characters(r.text, out)) << r.text;
    EXPECT_EQ(out, r.bytes) << r.text;
  }
  for (const char* bad : {"{SHIFT+ab}", "{}", "{SHIFT+}", "{SHIFT}", "{F1}", "{CR", "{CR+x}"}) {
    Bytes out{0xEE};
    EXPECT_FALSE(compiler::convert_characters(bad, out)) << bad;
    EXPECT_EQ(out, Bytes{0xEE}) << bad;
  }
  Bytes out;
  ASSERT_TRUE(compiler::convert_characters(std::string(300, 'x'), out));
  EXPECT_EQ(out.size(), compiler::kMaxCodeString);
}

class ConvertPending : public ::testing::Test {
 protected:
  ConvertStatus convert(std::uint8_t value, std::uint8_t mask, const char* text) {
    return compiler::convert_pending(settings, value, mask, mode, text, out);
  }
  ConvertSettings settings;
  std::uint8_t mode = 0;
  Bytes out;
};

TEST_F(ConvertPending, CharacterModeAndItsFallBack) {
  mode = 0x40;
  EXPECT_EQ(convert(0, 0, "ab"), ConvertStatus::Ok);
  EXPECT_EQ(out, (Bytes{'a', 'b'}));
  EXPECT_EQ(convert(0, 0, "{F1}"), ConvertStatus::AsciiFailed);
  EXPECT_EQ(out, (Bytes{'a', 'b'}));

  // The option tries characters first and falls back to scancodes without a message.
  settings.char_mode_option = true;
  out.clear();
  mode = 0;
  EXPECT_EQ(convert(0, 0, "x"), ConvertStatus::Ok);
  EXPECT_EQ(mode, 0x40);
  EXPECT_EQ(out, Bytes{'x'});
  // Characters in the string: a piece that only converts as scancodes cannot join them.
  EXPECT_EQ(convert(0, 0, "{F1}"), ConvertStatus::AsciiFailed);
  out.clear();
  mode = 0;
  EXPECT_EQ(convert(0, 0, "{F1}"), ConvertStatus::Ok);
  EXPECT_EQ(mode, 0x00);
  EXPECT_EQ(out, (Bytes{0x3B, 0xBB}));
  // Scancodes in the string: later pieces stay scancodes.
  EXPECT_EQ(convert(0, 0, "x"), ConvertStatus::Ok);
  EXPECT_EQ(mode, 0x00);
  EXPECT_EQ(out, (Bytes{0x3B, 0xBB, 0x2D, 0xAD}));
  // Make-only definitions never try characters.
  out.clear();
  mode = 0x08;
  EXPECT_EQ(convert(0, 0, "x"), ConvertStatus::Ok);
  EXPECT_EQ(mode, 0x08);
  EXPECT_EQ(out, Bytes{0x2D});
}

TEST_F(ConvertPending, InitialModifierState) {
  // +S: the first piece starts with Shift held; later pieces and layer records start from none.
  EXPECT_EQ(convert(0x02, 0x82, "a"), ConvertStatus::Ok);
  EXPECT_EQ(out, (Bytes{0xAA, 0x1E, 0x9E, 0x2A}));
  EXPECT_EQ(convert(0x02, 0x82, "a"), ConvertStatus::Ok);
  EXPECT_EQ(out, (Bytes{0xAA, 0x1E, 0x9E, 0x2A, 0x1E, 0x9E}));
  out.clear();
  mode = 0x80;
  EXPECT_EQ(convert(0x02, 0x7F, "a"), ConvertStatus::Ok);
  EXPECT_EQ(out, (Bytes{0x1E, 0x9E}));
  // Bit 0 (L) and bit 7 (K) are no modifiers: a GR e acute in braces still gets its dead key.
  settings.language = GR;
  out.clear();
  mode = 0;
  EXPECT_EQ(convert(0x81, 0x81, "{\x82}"), ConvertStatus::Ok);
  EXPECT_EQ(out, (Bytes{0x0D, 0x8D, 0x12, 0x92}));
}

TEST_F(ConvertPending, LimitsAndFailures) {
  out.assign(237, 0x1E);
  EXPECT_EQ(convert(0, 0, "a"), ConvertStatus::Ok);  // 239 bytes
  EXPECT_EQ(out.size(), 239u);
  out.assign(238, 0x1E);
  EXPECT_EQ(convert(0, 0, "a"), ConvertStatus::TooLong);
  EXPECT_EQ(out.size(), 238u);
  out.clear();
  EXPECT_EQ(convert(0, 0, std::string(300, 'A').c_str()), ConvertStatus::TooLong);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(convert(0, 0, "{LAYER200}"), ConvertStatus::ScancodeFailed);
  EXPECT_EQ(convert(0, 0, ""), ConvertStatus::Ok);
  EXPECT_TRUE(out.empty());
}
