// The global device pointer as the machine link offers it: the process's
// current device (machine/currentDevice.h) typed as the client device. The
// main dialog sets it once it has made its device and clears it when it
// deletes it; pages, procedures and scripts reach the machine through it.
#pragma once

class qvrClientDev_t;

// The current client device; null when none is set, or when the current
// device of the machine library has since been set to another device.
qvrClientDev_t* getCurrentClientDevice();
// Sets the current device of the machine library too (null clears both).
void setCurrentClientDevice(qvrClientDev_t* device);
