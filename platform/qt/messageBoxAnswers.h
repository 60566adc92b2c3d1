// Message boxes answered from a list, for tests that run a program as its
// own process: QVR_MESSAGE_BOX_ANSWERS="Yes,Retry,Cancel" answers the
// program's boxes in that order. Every box is written to standard error as
// one line, so that the test can read what was asked:
//
//     message box "<caption>" [style <n>]: <text> -> <answer>
//
// (a line break of the text written as "\r\n"). An answer that is not one
// of the box's buttons, and every box after the list has run out, go to the
// ordinary hook (the line ends "-> (asked)"): a person answers them. Without
// the variable nothing changes, and no box is ever answered by itself.
#pragma once
#include "platform/messageBoxHook.h"

#include <optional>
#include <string>
#include <vector>

// The button ids of a list of button names (Ok, Cancel, Abort, Retry,
// Ignore, Yes, No; any case; separated by commas, blanks around them
// ignored); nothing when a name is unknown.
std::optional<std::vector<int>> parseMessageBoxAnswers(const std::string& text);

// The hook that gives the answers in order and hands anything else to the
// next hook.
messageBoxHook_t answeringMessageBoxHook(std::vector<int> answers, messageBoxHook_t next);

// Installs the answers of QVR_MESSAGE_BOX_ANSWERS in front of the Qt
// message-box hook when the variable is set; false when it is set but
// cannot be read (then nothing is installed and the reason is on standard
// error).
bool installMessageBoxAnswersFromEnvironment();
