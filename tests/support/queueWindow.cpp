#include "tests/support/queueWindow.h"

queueWindow_t::queueWindow_t() { handle_ = registerWindow(this); }

queueWindow_t::~queueWindow_t() { destroy(); }

void queueWindow_t::destroy() {
    if (handle_ != 0) unregisterWindow(handle_);
}

void queueWindow_t::deliver(unsigned message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        queue_.push_back(postedMessage_t{message, wParam, lParam});
    }
    changed_.notify_all();
}

void queueWindow_t::bringToFront() {
    std::lock_guard<std::mutex> guard(lock_);
    ++fronts_;
}

std::vector<postedMessage_t> queueWindow_t::messages() const {
    std::lock_guard<std::mutex> guard(lock_);
    return queue_;
}

std::size_t queueWindow_t::count() const {
    std::lock_guard<std::mutex> guard(lock_);
    return queue_.size();
}

std::vector<postedMessage_t> queueWindow_t::takeAll() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<postedMessage_t> out;
    out.swap(queue_);
    return out;
}

int queueWindow_t::bringToFrontCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return fronts_;
}

bool queueWindow_t::waitFor(const std::function<bool(const std::vector<postedMessage_t>&)>& predicate,
                            std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return predicate(queue_); });
}

std::optional<postedMessage_t> queueWindow_t::waitForMessage(unsigned message, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    std::optional<postedMessage_t> found;
    changed_.wait_for(guard, timeout, [&] {
        for (auto it = queue_.begin(); it != queue_.end(); ++it) {
            if (it->message == message) {
                found = *it;
                queue_.erase(it);
                return true;
            }
        }
        return false;
    });
    return found;
}
