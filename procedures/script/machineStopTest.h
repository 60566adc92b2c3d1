// The stop test of a script that drives a machine: the run may go on while
// the link it started on holds and the machine reports no error and stays
// in the technician state (5).
// Otherwise the test sets the run's stop flag, so the run ends at its next
// check ("BATCH execution INTERRUPTED" right after the call about to run, or
// "EXECUTION INTERRUPTED BY STOP" before the next call). It does not look at
// a Cancel of the progress window: the second Cancel takes the machine out of
// state 5, and that is what ends the run.
#pragma once
#include "procedures/script/batchRunState.h"

class qvrCommDev_t;

// True while the device's status shows error number 0 and state 5. A run
// without a device has no machine to be unfit: always true.
bool machineFitToGoOn(qvrCommDev_t* device);
// The stop test for a run on that device: also unfit once the link that
// was up when the test was made has been lost.
batchStopTest_t machineStopTest(qvrCommDev_t* device);
