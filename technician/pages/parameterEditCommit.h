// What the parameter list's in-place editor does with the typed text when
// the technician presses Enter or clicks elsewhere in the list.
#pragma once
#include <cstdint>
#include <string>

class baseParamHandle_t;

struct parameterEditCommit_t {
    enum action_e {
        // The text is no number, or its value does not fit where it is
        // stored: the editor stays open with the text.
        keepEditing_e,
        // The value equals the current one (in microns for lengths): the
        // editor closes without a question.
        close_e,
        // Ask the question; on Yes the typed text is written.
        ask_e,
    };
    action_e action = keepEditing_e;
    std::wstring question;
};

parameterEditCommit_t decideParameterEdit(const baseParamHandle_t& row, std::int32_t currentValue,
                                          const std::wstring& typed);
