// A window for tests: registered in the window table, it keeps the posted
// messages in a thread-safe queue that a test can wait on.
#pragma once
#include "platform/windowTable.h"
#include "tests/support/waitUntil.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

struct postedMessage_t {
    unsigned message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class queueWindow_t : public windowSink_t {
public:
    queueWindow_t();   // registers
    ~queueWindow_t() override;  // unregisters
    queueWindow_t(const queueWindow_t&) = delete;
    queueWindow_t& operator=(const queueWindow_t&) = delete;

    HWND handle() const { return handle_; }
    // Unregisters now, as a window does at its destroy step; later posts
    // are dropped. Safe to call twice.
    void destroy();

    void deliver(unsigned message, WPARAM wParam, LPARAM lParam) override;
    void bringToFront() override;

    std::vector<postedMessage_t> messages() const;
    std::size_t count() const;
    std::vector<postedMessage_t> takeAll();
    int bringToFrontCount() const;

    // Waits until the predicate holds for the queue.
    bool waitFor(const std::function<bool(const std::vector<postedMessage_t>&)>& predicate,
                 std::chrono::milliseconds timeout = 10s) const;
    // Waits for the first message with that number and removes it from the queue.
    std::optional<postedMessage_t> waitForMessage(unsigned message, std::chrono::milliseconds timeout = 10s);

private:
    HWND handle_ = 0;
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::vector<postedMessage_t> queue_;
    int fronts_ = 0;
};
