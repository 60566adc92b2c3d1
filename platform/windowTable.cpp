#include "platform/windowTable.h"

#include <mutex>
#include <unordered_map>

namespace {

// The table lives for the whole process (never destroyed), so a post from a
// thread that outlives main's statics still finds a valid lock.
struct table_t {
    // Recursive: a sink may post or ask isWindow from inside deliver.
    std::recursive_mutex lock;
    std::unordered_map<HWND, windowSink_t*> sinks;
    HWND next = 0x10000;  // handles are never reused; 0 is "none"
};

table_t& table() {
    static table_t* instance = new table_t;
    return *instance;
}

}  // namespace

HWND registerWindow(windowSink_t* sink) {
    if (sink == nullptr) return 0;
    auto& t = table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    const HWND handle = t.next++;
    t.sinks.emplace(handle, sink);
    return handle;
}

void unregisterWindow(HWND window) {
    auto& t = table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    t.sinks.erase(window);
}

bool isWindow(HWND window) {
    if (window == 0) return false;
    auto& t = table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    return t.sinks.count(window) != 0;
}

bool postMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    if (window == 0) return false;
    auto& t = table();
    // Delivered under the lock, so unregisterWindow cannot return while a
    // post is still handing a message to the sink.
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    const auto it = t.sinks.find(window);
    if (it == t.sinks.end()) return false;
    it->second->deliver(message, wParam, lParam);
    return true;
}

void bringWindowToFront(HWND window) {
    if (window == 0) return;
    auto& t = table();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    const auto it = t.sinks.find(window);
    if (it != t.sinks.end()) it->second->bringToFront();
}
