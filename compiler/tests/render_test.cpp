#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/render.h"
#include "compiler/scancode.h"

namespace {

std::string render(std::vector<std::uint8_t> codes, int flags = 0, int language = 0, bool lock = false) {
  return compiler::render_codes(codes.data(), codes.size(), flags, language, lock);
}

}  // namespace

TEST(Render, ConcreteTexts) {
  struct Case {
    std::vector<std::uint8_t> codes;
    std::string text;
    int flags = 0;
    int language = 0;
  } cases[] = {
      {{0x1E, 0x9E}, "a"},
      {{0x2A, 0x1E, 0x9E, 0xAA}, "A"},
      {{0x1D, 0x2E, 0xAE, 0x9D}, "{Ctrl+c}"},
      {{0x3B, 0xBB}, "{F1}"},
      {{0x2A, 0x3B, 0xBB, 0xAA}, "{Shift+F1}"},
      {{0x38, 0x4F, 0xCF, 0x51, 0xD1, 0x52, 0xD2, 0xB8}, "{Alt130}"},
      {{0xE0, 0x4B, 0xE0, 0xCB}, "{Left}"},
      {{0x68, 0x05}, "{POSKey005}"},
      {{0x68, 0xE0, 0x44}, "{POSKey128}"},
      {{0xFF}, "{Beep}"},
      {{}, "{EMPTY}"},
      {{0x39, 0xB9}, "{Space}"},
      {{0x1E, 0x9E}, "{Shift+a}", 2},
      {{0x1E, 0x9E, 0x30, 0xB0}, "ab"},
      {{0x62}, "{POSMSR1}"},
      {{0xE0, 0x38, 0x10, 0x90, 0xE0, 0xB8}, "{AltGr+@}", 0, 1},
      {{0x15, 0x95}, "z", 0, 1},
      {{0x0D, 0x8D, 0x12, 0x92}, "\x82", 0, 1},
  };
  for (const auto& k : cases) EXPECT_EQ(render(k.codes, k.flags, k.language), k.text) << k.text;
}

TEST(Render, LongTextsAreCut) {
  std::vector<std::uint8_t> codes;
  for (int i = 0; i < 100; ++i) codes.insert(codes.end(), {0x3B, 0xBB});
  EXPECT_EQ(render(codes).size(), compiler::kRenderMax);
}

// Texts typed in a language render back to the same text.
TEST(Render, TextsRoundTrip) {
  struct Case {
    int language;
    const char* text;
  } cases[] = {{0, "Hello"}, {0, "{F5}"}, {1, "Gr\x94\xE1" "e"}, {1, "\x82t\x82"}, {2, "caf\x82"}, {7, "a\xA4o"}};
  for (const auto& k : cases) {
    compiler::ConvertSettings s;
    s.language = k.language;
    std::vector<std::uint8_t> codes;
    ASSERT_TRUE(compiler::convert_scancodes(s, k.text, 0, false, codes));
    EXPECT_EQ(render(codes, 0, k.language), k.text) << k.text;
  }
}
