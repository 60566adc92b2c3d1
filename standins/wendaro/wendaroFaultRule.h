// wendaroFaultRule_t: a scripted fault of the stand-in machines server,
// acting on the message level (the printer's own faults, on packets, are
// simFaultRule_t). A rule matches a client request, or the greeting of a new
// connection, lets `skip` matches pass, then acts `times` times (-1: for
// ever).
//
// Matchers (each unset one matches anything):
// - connection and machine (0: any);
// - word: the request's word, or "BrevanquillorMachinesServer" for the
//   greeting the server is about to send;
// - command: a "CMND"'s command code, and its first payload byte;
// - state: the printer's machine state when the request arrives.
//
// Actions, each one scenario the client must survive:
// - noReply_e: nothing is sent (no greeting, when matched on the greeting);
// - delay_e: the reply goes out after `value` ms;
// - replaceWord_e: the reply is the word `text` alone (or with `bytes` as
//   its raw fields): "WRONGPASSWORD", "NOPERMISSION", "ERROR", an unknown
//   word...;
// - replacePacket_e: the "RESP" carries `bytes` instead (empty: an empty
//   RESP);
// - waitForConnection_e: "WAITFORCONNECTION" instead of the reply;
// - truncate_e: only the first `value` bytes of the reply go out;
// - corruptByte_e: byte `value` of the reply is inverted;
// - outOfOrder_e: "HASNEWLOGRESP" and "ERRORLOGINFO" (out of the client's
//   order) ride in front of the reply;
// - twoMessages_e: the reply and a second message ("HASNEWLOGRESP") go out
//   with one send;
// - splitSend_e: the reply goes out in two sends `value` ms apart;
// - closeBefore_e / closeAfter_e: the connection is closed instead of, or
//   right after, the reply;
// - greetingVersions_e: the greeting carries the versions a, b;
// - setError_e, setState_e, openDoor_e, removeMedia_e: happens to the
//   printer as the request arrives, before it is handled;
// - chunkWrongOffset_e, chunkMisaligned_e, chunkShort_e: a parameter chunk
//   (reply type 7) comes back for another offset, for an offset that is not
//   a multiple of 4, or with fewer bytes than its count says.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct wendaroFaultRule_t {
    enum class action_e {
        noReply_e,
        delay_e,
        replaceWord_e,
        replacePacket_e,
        waitForConnection_e,
        truncate_e,
        corruptByte_e,
        outOfOrder_e,
        twoMessages_e,
        splitSend_e,
        closeBefore_e,
        closeAfter_e,
        greetingVersions_e,
        setError_e,
        setState_e,
        openDoor_e,
        removeMedia_e,
        chunkWrongOffset_e,
        chunkMisaligned_e,
        chunkShort_e,
    };

    std::uint32_t connection = 0;
    std::uint32_t machine = 0;
    std::wstring word;
    int command = -1;
    int firstPayloadByte = -1;
    int state = -1;
    int skip = 0;
    int times = 1;

    action_e action = action_e::noReply_e;
    int value = 0;
    std::wstring text;
    std::vector<std::uint8_t> bytes;
    double a = 12.0;
    double b = 12.0;
};
