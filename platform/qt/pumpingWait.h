// The wait hook of the programs. On the user-interface thread an unbounded
// wait for another thread keeps processing events between short slices, so
// that a message box asked for by the awaited thread can be shown and
// answered; on any other thread it is the plain wait.
#pragma once
#include "platform/waitHook.h"

void pumpingWait(const waitSlice_t& waitSlice);
// Makes pumpingWait the platform's wait hook.
void installPumpingWait();
