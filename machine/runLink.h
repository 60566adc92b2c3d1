// The link a run (a procedure, a script, a calibration) started on. The
// stored status of a device whose link was lost is the old link's last one
// (often state 5, no error) whatever the printer did since, and a new link
// says nothing of what happened in between. So a run takes the link that is
// up as it starts, and every check it makes before it sends or stores asks
// whether that very link still holds.
//
//   runLink_t link;
//   link.take(device);          // as the run starts
//   ...
//   if (!link.holds())          // before each command or store
//       ...                     // the run ends: nothing more goes out
//
// Threads: take on the thread that starts the run; holds on any thread.
#pragma once
#include <atomic>
#include <cstdint>

class basicComm_t;

class runLink_t {
public:
    // The link that is up on the device now becomes the run's (none when
    // there is no device or no link is up).
    void take(basicComm_t* device);
    // True while the run's link is up: false once it has been lost, even
    // when a new one is up since, and false when the run had none.
    bool holds() const;

private:
    std::atomic<basicComm_t*> device_{nullptr};
    // The device's link session when the run took it (0: none).
    std::atomic<std::uint64_t> session_{0};
};
