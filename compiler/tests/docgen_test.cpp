#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "compiler/docgen.h"

// The manual's tables are the compiler's tables: run zpfdoc on it after changing them.
TEST(Manual, GeneratedSectionsAreCurrent) {
  std::ifstream in(ZPX_MANUAL);
  ASSERT_TRUE(in) << ZPX_MANUAL;
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  EXPECT_EQ(compiler::update_manual(text), text) << "run: zpfdoc docs/zpf-language.md";
  EXPECT_NE(text.find("<!-- generated:messages -->"), std::string::npos);
}
