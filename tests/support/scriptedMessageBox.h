// A message-box hook for tests: answers the expected boxes in order and
// records every box shown. A box that does not match the next expectation
// is a test failure (answered as the default would); expectations left
// unshown at destruction are failures too. Thread-safe: boxes may come from
// any thread. Uninstalls itself on destruction.
#pragma once
#include "platform/messageBoxHook.h"
#include "tests/support/waitUntil.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct expectedBox_t {
    std::wstring text;                    // the whole text, or a part with `substring`
    bool substring = false;
    std::optional<std::wstring> caption;  // not checked when unset
    std::optional<unsigned> style;        // not checked when unset
    int answer = IDOK;
    // Runs while the box is open, before it is answered (as what the
    // program handles during a real box's event loop).
    std::function<void()> whileShown = {};
};

struct shownBox_t {
    HWND owner = 0;
    std::wstring text;
    std::wstring caption;
    unsigned style = 0;
    int answer = 0;
    bool expected = false;
};

class scriptedMessageBox_t {
public:
    scriptedMessageBox_t();
    ~scriptedMessageBox_t();
    scriptedMessageBox_t(const scriptedMessageBox_t&) = delete;
    scriptedMessageBox_t& operator=(const scriptedMessageBox_t&) = delete;

    scriptedMessageBox_t& expect(expectedBox_t box);
    scriptedMessageBox_t& expect(const std::wstring& text, unsigned style, int answer);
    scriptedMessageBox_t& expectContaining(const std::wstring& part, unsigned style, int answer);

    std::vector<shownBox_t> shown() const;
    std::size_t remaining() const;
    // Waits until at least `count` boxes were shown.
    bool waitForShown(std::size_t count, std::chrono::milliseconds timeout = 10s) const;

    struct state_t;

private:
    std::shared_ptr<state_t> state_;
};
