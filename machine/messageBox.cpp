#include "machine/messageBox.h"

#include "machine/systemInfo.h"
#include "platform/messageBoxHook.h"
#include "platform/windowTable.h"

#include <atomic>

namespace {

// Any thread may show a box, so the count is atomic: a lost update would
// leave it above 0 and silence every later notice.
std::atomic<int> openBoxes{0};

constexpr unsigned questionBit = 4;

class openBox_t {
public:
    ~openBox_t() { --openBoxes; }
};

}  // namespace

int messageBox(const std::wstring& text, unsigned style)
{
    const std::wstring shown = text.empty() ? lastErrorText() : text;
    if (style & questionBit) {
        ++openBoxes;
    } else {
        // Shown only when no other box is open; checked and counted in one step.
        int expected = 0;
        if (!openBoxes.compare_exchange_strong(expected, 1))
            return 0;
    }
    openBox_t counted;
    const HWND owner = mainWindow();
    if (owner != 0)
        bringWindowToFront(owner);
    return showMessageBox(owner, shown, applicationName(), style);
}

int openMessageBoxes()
{
    return openBoxes.load();
}
