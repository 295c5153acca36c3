// Modal message boxes raised by libraries and the utility. The program installs a presenter
// (r4t: Qt dialogs); without one the caption and text go to standard error and the default answer
// is taken, so nothing ever waits for an answer nobody can give.
#pragma once

#include <functional>
#include <string>

#include "platform/api.h"

namespace platform {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

struct MsgBox {
  std::string text;     // Windows-1252 bytes, as the system's texts are
  std::string caption;  // Windows-1252 bytes
  MsgButtons buttons = MsgButtons::Ok;
  MsgIcon icon = MsgIcon::None;
  MsgAnswer default_answer = MsgAnswer::Ok;
};

// The former name of MsgBox, kept until its last users have moved to MsgBox. It clashes with the
// message queue's Message (queue.h): while it exists, no file can include both headers.
using Message = MsgBox;

using MessagePresenter = std::function<MsgAnswer(const MsgBox&)>;

// Installs the presenter for the whole process; an empty function removes it.
ZPX_PLATFORM_API void set_message_presenter(MessagePresenter presenter);

// Shows the message and returns the answer.
ZPX_PLATFORM_API MsgAnswer message_box(const MsgBox& message);

// Convenience: the default answer is the safe one, taken when nobody can answer: Ok for Ok,
// No for YesNo, Cancel for OkCancel, YesNoCancel and RetryCancel.
ZPX_PLATFORM_API MsgAnswer message_box(const std::string& text, const std::string& caption,
                                       MsgButtons buttons = MsgButtons::Ok,
                                       MsgIcon icon = MsgIcon::None);

}  // namespace platform
