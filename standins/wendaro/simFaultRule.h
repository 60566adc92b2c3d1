// simFaultRule_t: a scripted fault of the simulated printer. A rule matches
// command packets (by code, machine state at arrival and connection), lets
// `skip` matches pass, then acts `times` times (-1: for ever).
//
// Actions:
// - noReply_e: the command is carried out but its reply is lost; the client
//   times out (2000, 5000 or 60000 ms) and reconnects. On command 19 this
//   withholds notification 141.
// - replyType_e: the reply keeps its payload but gets the type `value`
//   (12 during an awaited action: the client takes the machine as paused;
//   1 instead of 13 for command 19: the client resends 19).
// - setError_e: the error number becomes `value` as the command arrives, so
//   the command is not carried out and the reply carries the error.
// - failCommand_e: the command runs its time but has no effect; the error
//   number becomes `value` when it ends. A failed 146 leaves the machine
//   out of state 5.
#pragma once
#include <cstdint>

struct simFaultRule_t {
    enum class action_e { noReply_e, replyType_e, setError_e, failCommand_e };

    int code = -1;              // command code; -1 any
    int state = -1;             // machine state when the command arrives; -1 any
    std::uint32_t connection = 0;  // 0: any
    int skip = 0;               // matches that pass unharmed first
    int times = 1;              // -1: always
    action_e action = action_e::noReply_e;
    int value = 0;
};
