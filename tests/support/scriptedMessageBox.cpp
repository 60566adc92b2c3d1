#include "tests/support/scriptedMessageBox.h"

#include "platform/codePage.h"

#include <deque>
#include <gtest/gtest.h>
#include <mutex>

struct scriptedMessageBox_t::state_t {
    mutable std::mutex lock;
    std::deque<expectedBox_t> expected;
    std::vector<shownBox_t> shown;
};

namespace {

bool matches(const expectedBox_t& e, const std::wstring& text, const std::wstring& caption, unsigned style) {
    const bool textOk = e.substring ? text.find(e.text) != std::wstring::npos : text == e.text;
    return textOk && (!e.caption || *e.caption == caption) && (!e.style || *e.style == style);
}

}  // namespace

scriptedMessageBox_t::scriptedMessageBox_t() : state_(std::make_shared<state_t>()) {
    // The hook holds the state, not this object: a box asked for while the
    // object is being destroyed still finds valid data.
    std::shared_ptr<state_t> state = state_;
    setMessageBoxHook([state](HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style) {
        shownBox_t box{owner, text, caption, style, defaultMessageBoxAnswer(style), false};
        std::function<void()> whileShown;
        {
            std::lock_guard<std::mutex> guard(state->lock);
            if (!state->expected.empty() && matches(state->expected.front(), text, caption, style)) {
                box.answer = state->expected.front().answer;
                box.expected = true;
                whileShown = std::move(state->expected.front().whileShown);
                state->expected.pop_front();
            }
            state->shown.push_back(box);
        }
        // Outside the lock: what runs may show boxes of its own.
        if (whileShown)
            whileShown();
        if (!box.expected) {
            ADD_FAILURE() << "unexpected message box: \"" << wideToUtf8(text) << "\", caption \"" << wideToUtf8(caption)
                          << "\", style " << style;
        }
        return box.answer;
    });
}

scriptedMessageBox_t::~scriptedMessageBox_t() {
    setMessageBoxHook(nullptr);
    std::lock_guard<std::mutex> guard(state_->lock);
    for (const auto& e : state_->expected) ADD_FAILURE() << "expected message box not shown: \"" << wideToUtf8(e.text) << "\"";
}

scriptedMessageBox_t& scriptedMessageBox_t::expect(expectedBox_t box) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->expected.push_back(std::move(box));
    return *this;
}

scriptedMessageBox_t& scriptedMessageBox_t::expect(const std::wstring& text, unsigned style, int answer) {
    return expect(expectedBox_t{text, false, std::nullopt, style, answer});
}

scriptedMessageBox_t& scriptedMessageBox_t::expectContaining(const std::wstring& part, unsigned style, int answer) {
    return expect(expectedBox_t{part, true, std::nullopt, style, answer});
}

std::vector<shownBox_t> scriptedMessageBox_t::shown() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->shown;
}

std::size_t scriptedMessageBox_t::remaining() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->expected.size();
}

bool scriptedMessageBox_t::waitForShown(std::size_t count, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return shown().size() >= count; }, timeout);
}
