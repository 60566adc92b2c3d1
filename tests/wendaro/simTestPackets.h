// Device packets for the simulated printer's tests, built field by field
// (little-endian), and a printer set up the way most tests want it.
#pragma once
#include "standins/wendaro/simPrinter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

class pkt_t {
public:
    explicit pkt_t(int code) { bytes.push_back(static_cast<std::uint8_t>(code)); }
    pkt_t& u8(int v)
    {
        bytes.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    pkt_t& u16(int v)
    {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        return *this;
    }
    pkt_t& i32(std::int64_t v)
    {
        const auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
        return *this;
    }
    operator const std::vector<std::uint8_t>&() const { return bytes; }

    std::vector<std::uint8_t> bytes;
};

// Field readers over a reply packet: offsets count from the payload (after
// the type byte), as the records' layouts give them.
inline std::uint32_t payloadU32(const std::vector<std::uint8_t>& p, std::size_t offset)
{
    return static_cast<std::uint32_t>(p.at(1 + offset)) | (static_cast<std::uint32_t>(p.at(2 + offset)) << 8) |
           (static_cast<std::uint32_t>(p.at(3 + offset)) << 16) | (static_cast<std::uint32_t>(p.at(4 + offset)) << 24);
}
inline std::int16_t payloadI16(const std::vector<std::uint8_t>& p, std::size_t offset)
{
    return static_cast<std::int16_t>(p.at(1 + offset) | (p.at(2 + offset) << 8));
}

inline simPrinterConfig_t testConfig()
{
    simPrinterConfig_t config;
    config.machineID = 7;
    config.actionMs = 100;
    config.sensingActions = 1;  // every awaited action ends after actionMs
    config.layerMs = 50;
    config.initMs = 300;
    config.wallClockStart = 1796738700;  // 2026-12-08 14:05:00 UTC
    config.layerTroublePerMille = 0;  // clean layer records unless a test asks
    return config;
}

// Sends a packet; a reply still pending is run to its end on the printer's
// clock, so the result is the packet the client would get.
inline simReply_t sendAndRun(simPrinter_t& printer, const std::vector<std::uint8_t>& packet,
                             std::uint32_t connection = 0)
{
    simReply_t reply = printer.handleCommand(packet, connection);
    for (int i = 0; i < 1000 && reply.isPending(); ++i) {
        printer.advance(10);
        reply = printer.pollReply(reply.ticket);
    }
    return reply;
}

// Brings a printer in state 7 into technician mode 5.
inline void enterTechnicianMode(simPrinter_t& printer)
{
    ASSERT_EQ(printer.handleCommand(pkt_t(146)).type(), 2);
    ASSERT_EQ(printer.machineState(), 5);
}
