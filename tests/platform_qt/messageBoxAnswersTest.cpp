// Message boxes answered from a list (the test hook of programs run as
// their own processes): the list's reading, and that only an answer the box
// offers is given, in order, with everything else left to the next hook.
#include "platform/qt/messageBoxAnswers.h"

#include <gtest/gtest.h>

namespace {

TEST(MessageBoxAnswers, ReadsButtonNamesInAnyCase) {
    struct case_t {
        const char* text;
        std::optional<std::vector<int>> answers;
    };
    for (const case_t& c : std::vector<case_t>{
             {"Yes", std::vector<int>{IDYES}},
             {"yes, RETRY ,Cancel", std::vector<int>{IDYES, IDRETRY, IDCANCEL}},
             {"ok,abort,ignore,no", std::vector<int>{IDOK, IDABORT, IDIGNORE, IDNO}},
             {" ", std::vector<int>{}},
             {"Yes,,No", std::nullopt},
             {"Y", std::nullopt},
             {"Yes;No", std::nullopt},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseMessageBoxAnswers(c.text), c.answers);
    }
}

TEST(MessageBoxAnswers, GivesOnlyAnswersTheBoxOffersInOrder) {
    std::vector<std::wstring> passedOn;
    const messageBoxHook_t hook = answeringMessageBoxHook(
        {IDYES, IDRETRY, IDRETRY}, [&](HWND, const std::wstring& text, const std::wstring&, unsigned) {
            passedOn.push_back(text);
            return IDCANCEL;
        });
    struct box_t {
        const wchar_t* text;
        unsigned style;
        int answer;
    };
    for (const box_t& box : std::vector<box_t>{
             {L"question", MB_YESNO | MB_ICONQUESTION, IDYES},
             // Retry is no button of a notice: a person answers it, and the
             // Retry waits for the next box.
             {L"notice", MB_OK | MB_ICONHAND, IDCANCEL},
             {L"Cannot copy", MB_RETRYCANCEL | MB_ICONEXCLAMATION, IDRETRY},
             {L"Cannot copy", MB_RETRYCANCEL | MB_ICONEXCLAMATION, IDRETRY},
             // The list has run out.
             {L"Cannot copy", MB_RETRYCANCEL | MB_ICONEXCLAMATION, IDCANCEL},
         }) {
        EXPECT_EQ(hook(0, box.text, L"Fennicot", box.style), box.answer) << box.text;
    }
    EXPECT_EQ(passedOn, (std::vector<std::wstring>{L"notice", L"Cannot copy"}));
}

} // namespace
