#include "platform/msgbox.h"

#include <cstdio>
#include <mutex>

#include "platform/text1252.h"

namespace platform {

namespace {
std::mutex g_mutex;
MessagePresenter g_presenter;
}  // namespace

void set_message_presenter(MessagePresenter presenter) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_presenter = std::move(presenter);
}

MsgAnswer message_box(const MsgBox& message) {
  MessagePresenter presenter;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    presenter = g_presenter;
  }
  if (presenter) return presenter(message);
  // Nobody can answer: say it on standard error and take the default answer.
  std::fprintf(stderr, "%s: %s\n", cp1252_to_utf8(message.caption).c_str(),
               cp1252_to_utf8(message.text).c_str());
  return message.default_answer;
}

MsgAnswer message_box(const std::string& text, const std::string& caption, MsgButtons buttons,
                      MsgIcon icon) {
  MsgBox m{text, caption, buttons, icon, MsgAnswer::Ok};
  switch (buttons) {
    case MsgButtons::Ok: m.default_answer = MsgAnswer::Ok; break;
    case MsgButtons::YesNo: m.default_answer = MsgAnswer::No; break;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
    case MsgButtons::RetryCancel: m.default_answer = MsgAnswer::Cancel; break;
  }
  return message_box(m);
}

}  // namespace platform
