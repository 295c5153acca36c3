#include <gtest/gtest.h>

#include <vector>

#include "platform/msgbox.h"

using namespace platform;

namespace {

struct MessageBoxTest : testing::Test {
  void TearDown() override { set_message_presenter({}); }
};

}  // namespace

TEST_F(MessageBoxTest, PresenterSeesTheMessageAndAnswers) {
  std::vector<MsgBox> seen;
  set_message_presenter([&](const MsgBox& m) {
    seen.push_back(m);
    return MsgAnswer::Yes;
  });
  EXPECT_EQ(message_box("Gr\xFC\xDF", "Download keytable", MsgButtons::YesNo, MsgIcon::Warning), MsgAnswer::Yes);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "Gr\xFC\xDF");  // the bytes as they are: the presenter converts
  EXPECT_EQ(seen[0].caption, "Download keytable");
  EXPECT_EQ(seen[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(seen[0].icon, MsgIcon::Warning);
  EXPECT_EQ(seen[0].default_answer, MsgAnswer::No);
}

// Without a presenter the safe answer is taken, and the message goes to standard error in UTF-8.
TEST_F(MessageBoxTest, FallbackTakesTheSafeAnswer) {
  const struct {
    MsgButtons buttons;
    MsgAnswer answer;
  } cases[] = {
      {MsgButtons::Ok, MsgAnswer::Ok},
      {MsgButtons::OkCancel, MsgAnswer::Cancel},
      {MsgButtons::YesNo, MsgAnswer::No},
      {MsgButtons::YesNoCancel, MsgAnswer::Cancel},
      {MsgButtons::RetryCancel, MsgAnswer::Cancel},
  };
  testing::internal::CaptureStderr();
  for (const auto& c : cases) EXPECT_EQ(message_box("x", "y", c.buttons), c.answer);
  EXPECT_EQ(message_box(MsgBox{"Can\xB4t go on", "Error", MsgButtons::RetryCancel, MsgIcon::Error, MsgAnswer::Retry}),
            MsgAnswer::Retry);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Error: Can\xC2\xB4t go on\n"), std::string::npos) << err;
}

TEST_F(MessageBoxTest, PresenterMayReplaceItself) {
  // A presenter that removes itself while it runs (a closing window) must not dead-lock.
  int calls = 0;
  set_message_presenter([&](const MsgBox&) {
    ++calls;
    set_message_presenter({});
    return MsgAnswer::Retry;
  });
  EXPECT_EQ(message_box("a", "b", MsgButtons::RetryCancel), MsgAnswer::Retry);
  testing::internal::CaptureStderr();
  EXPECT_EQ(message_box("a", "b", MsgButtons::RetryCancel), MsgAnswer::Cancel);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(calls, 1);
}
