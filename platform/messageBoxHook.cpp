#include "platform/messageBoxHook.h"

#include "platform/codePage.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>

namespace {

struct state_t {
    std::mutex lock;
    std::shared_ptr<const messageBoxHook_t> hook;
    std::wstring applicationName;
    std::atomic<HWND> mainWindow{0};
};

state_t& state() {
    static state_t* instance = new state_t;
    return *instance;
}

}  // namespace

void setMessageBoxHook(messageBoxHook_t hook) {
    std::shared_ptr<const messageBoxHook_t> next;
    if (hook) next = std::make_shared<const messageBoxHook_t>(std::move(hook));
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.hook = std::move(next);
}

int defaultMessageBoxAnswer(unsigned style) {
    switch (style & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_OKCANCEL: return IDCANCEL;
    case MB_ABORTRETRYIGNORE: return IDABORT;  // the nearest to "cancel"
    case MB_YESNOCANCEL: return IDCANCEL;
    case MB_YESNO: return IDNO;
    case MB_RETRYCANCEL: return IDCANCEL;
    default: return IDCANCEL;
    }
}

int showMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style) {
    std::shared_ptr<const messageBoxHook_t> hook;
    {
        auto& s = state();
        std::lock_guard<std::mutex> guard(s.lock);
        hook = s.hook;
    }
    // Called outside the lock: the hook blocks until the box is answered.
    if (hook) return (*hook)(owner, text, caption, style);

    const int answer = defaultMessageBoxAnswer(style);
    const std::string line = "[message box] " + wideToUtf8(caption) + ": " + wideToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return answer;
}

void setApplicationName(const std::wstring& name) {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.applicationName = name;
}

std::wstring applicationName() {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.applicationName;
}

void setMainWindow(HWND window) { state().mainWindow.store(window); }

HWND mainWindow() { return state().mainWindow.load(); }
