// Deadline-based waiting for tests: polls a condition until it holds or the
// time is up. Deadlines are generous (they hold under sanitizers); a test
// never sleeps a fixed time instead.
#pragma once
#include <chrono>
#include <functional>

using namespace std::chrono_literals;

// True as soon as the predicate is true; false when the timeout passed
// without it (the predicate is asked once more at the deadline).
bool waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout = 10s);
