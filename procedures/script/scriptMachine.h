// What the machine built-ins share: the client device of the running script
// and the few ways they use it. Commands are awaited (sent only in machine
// state 5, then the reply is waited for up to a minute) or queued (sent in
// any state, never waited for); snapshots are copies of the device's records.
//
// A script run without a device (a check of a script's syntax, a test of the
// language) behaves like a machine outside state 5: nothing is sent, the
// snapshots are empty records.
#pragma once
#include "machine/machineInfo.h"
#include "machine/machineStatus.h"

#include <cstdint>

class qvrClientDev_t;

class scriptMachine_t {
public:
    // Field types of a command: a byte, the low 16 bits, all 32 bits.
    static constexpr std::int32_t byteField = 1;
    static constexpr std::int32_t int16Field = 2;
    static constexpr std::int32_t int32Field = 4;

    // The running script's device, or none.
    static qvrClientDev_t* device();

    // Send and wait for the reply (state 5 only). A command that the link
    // failed, or that would go out on another link than the run's (nothing
    // is sent then), stops the run: the call ends, then "BATCH execution
    // INTERRUPTED", as when the machine leaves state 5.
    static void wait(std::uint8_t code, std::int32_t type1 = 0, std::int32_t value1 = 0, std::int32_t type2 = 0,
                     std::int32_t value2 = 0);
    static void waitData(std::uint8_t code, const std::uint8_t* bytes, std::int32_t count);
    // Queued at once, in any state, not waited for.
    static void queue(std::uint8_t code, std::int32_t type1 = 0, std::int32_t value1 = 0, std::int32_t type2 = 0,
                      std::int32_t value2 = 0);

    static machineStatus_t status();
    static machineInfo_t info();
    static std::int32_t currentTool();
    static bool isDoorOpen();

    // The status request that a sensor, position or height read awaits
    // before it takes its snapshot.
    static constexpr std::uint8_t statusRequestCode = 147;
    // Awaits the status request, then a snapshot.
    static machineStatus_t freshStatus();
    // The running script's link still holds (see batchRunContext_t).
    static bool onRunLink();
    // 1 when the bit of the value is set, else 0.
    static std::int32_t bit(std::uint32_t value, int index) { return static_cast<std::int32_t>((value >> index) & 1u); }
};
