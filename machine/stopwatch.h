// A millisecond stopwatch on the system's tick count (wrap-safe).
#pragma once
#include <cstdint>
#include <string>

class stopwatch_t {
public:
    // Constructed running.
    stopwatch_t();
    void start();
    void stop();
    // All fields 0 (stopped, elapsed 0).
    void clear();
    // Milliseconds from start to now while running, else to the stop.
    std::uint32_t elapsed() const;
    // "125 ms."
    std::wstring text() const;
    // The text in a notice box.
    void show() const;
    bool isRunning() const { return running_; }

private:
    std::uint32_t startTick_ = 0;
    std::uint32_t stopTick_ = 0;
    bool running_ = false;
};
