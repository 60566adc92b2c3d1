// The system's default beep on Qt. Callable from any thread (a script's
// worker beeps): the beep itself is given on the user-interface thread,
// without waiting for it. Silent on the offscreen platform.
#pragma once

void qtBeep();
