// simReply_t: what the simulated printer gives back for one command packet.
//
// packet_e: the reply packet, [type][payload], at most 64 bytes: what the
//           server puts after "RESP".
// pending_e: the command is an action the client awaits (machine state 5) or
//           a command 19 behind queued actions; the reply follows when the
//           printer's clock has run the action. Ask for it with the ticket
//           (simPrinter_t::pollReply / awaitReply). The server sends nothing
//           meanwhile: the client sends nothing either while it waits.
// none_e:   no reply at all (a scripted fault, or the ticket was dropped).
// malformed_e: the bytes are not a device packet (empty, or a length byte
//           that does not match); the server answers "ERROR".
#pragma once
#include <cstdint>
#include <vector>

struct simReply_t {
    enum class kind_e { packet_e, pending_e, none_e, malformed_e };

    kind_e kind = kind_e::none_e;
    std::vector<std::uint8_t> packet;
    std::uint64_t ticket = 0;

    bool isPacket() const { return kind == kind_e::packet_e; }
    bool isPending() const { return kind == kind_e::pending_e; }
    // The packet type, or -1 when there is no packet.
    int type() const { return isPacket() && !packet.empty() ? packet[0] : -1; }
};
