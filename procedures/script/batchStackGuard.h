// Keeps the script's recursive parsing and evaluation away from the end of
// the thread's stack: a chain of user functions, each calling the one defined
// before it, nests as deep as the script is long.
#pragma once

class batchStackGuard_t {
public:
    // True when less than the safety margin of the running thread's stack is
    // left.
    static bool nearLimit();
    // Raises "nesting too deep" when nearLimit().
    static void check();
};
