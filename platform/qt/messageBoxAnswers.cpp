#include "platform/qt/messageBoxAnswers.h"

#include "platform/codePage.h"
#include "platform/qt/qtMessageBox.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace {

struct answerName_t {
    const char* name;
    int id;
};

constexpr answerName_t answerNames[] = {{"Ok", IDOK},       {"Cancel", IDCANCEL}, {"Abort", IDABORT},
                                        {"Retry", IDRETRY}, {"Ignore", IDIGNORE}, {"Yes", IDYES},
                                        {"No", IDNO}};

const char* nameOf(int id) {
    for (const answerName_t& entry : answerNames)
        if (entry.id == id)
            return entry.name;
    return "?";
}

bool isButtonOf(int id, unsigned style) {
    const QMessageBox::StandardButtons buttons = messageBoxLayout(style).buttons;
    for (QMessageBox::StandardButton button :
         {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore,
          QMessageBox::Yes, QMessageBox::No})
        if (buttons.testFlag(button) && messageBoxButtonId(button) == id)
            return true;
    return false;
}

// The whole box on one line.
std::string oneLine(const std::wstring& text) {
    std::string line = wideToUtf8(text);
    std::string out;
    for (char c : line) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

struct answerList_t {
    std::mutex lock;
    std::vector<int> answers;
    std::size_t next = 0;
};

} // namespace

std::optional<std::vector<int>> parseMessageBoxAnswers(const std::string& text) {
    std::vector<int> answers;
    const QString all = QString::fromUtf8(text.c_str());
    if (all.trimmed().isEmpty())
        return answers;
    for (const QString& part : all.split(QLatin1Char(','))) {
        const QString word = part.trimmed();
        int id = 0;
        for (const answerName_t& entry : answerNames)
            if (word.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
                id = entry.id;
        if (id == 0)
            return std::nullopt;
        answers.push_back(id);
    }
    return answers;
}

messageBoxHook_t answeringMessageBoxHook(std::vector<int> answers, messageBoxHook_t next) {
    auto list = std::make_shared<answerList_t>();
    list->answers = std::move(answers);
    return [list, next = std::move(next)](HWND owner, const std::wstring& text, const std::wstring& caption,
                                          unsigned style) {
        int answer = 0;
        {
            // Boxes come from any thread; each takes the next answer once.
            std::lock_guard<std::mutex> guard(list->lock);
            if (list->next < list->answers.size() && isButtonOf(list->answers[list->next], style))
                answer = list->answers[list->next++];
        }
        const std::string line = "message box \"" + oneLine(caption) + "\" [style " + std::to_string(style) +
                                 "]: " + oneLine(text) + " -> " + (answer != 0 ? nameOf(answer) : "(asked)");
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
        if (answer != 0)
            return answer;
        return next ? next(owner, text, caption, style) : defaultMessageBoxAnswer(style);
    };
}

bool installMessageBoxAnswersFromEnvironment() {
    const char* text = std::getenv("QVR_MESSAGE_BOX_ANSWERS");
    if (text == nullptr)
        return true;
    const std::optional<std::vector<int>> answers = parseMessageBoxAnswers(text);
    if (!answers) {
        std::fprintf(stderr,
                     "QVR_MESSAGE_BOX_ANSWERS=%s: not a list of Ok, Cancel, Abort, Retry, Ignore, Yes, No\n",
                     text);
        return false;
    }
    setMessageBoxHook(answeringMessageBoxHook(*answers, qtMessageBox));
    return true;
}
