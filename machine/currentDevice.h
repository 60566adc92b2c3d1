// The current device of the process: the device that the unit conversions
// and parameter formatters reach. Only the main dialog sets it; the machine
// link offers the same pointer as its client device.
#pragma once

class qvrCommDev_t;

qvrCommDev_t* getCurrentDevice();
void setCurrentDevice(qvrCommDev_t* device);
