// deps: wendaro_core
// Arbitrary bytes as device packets for a simulated printer, with its clock
// and its front panel moving in between. Every packet gets a reply that fits
// "RESP" (at most 64 bytes), waits for the clock, or is refused; nothing
// crashes and no state leaves 1 to 11.
//
// Input: records [head][bytes...]. The low 6 bits of head are the packet's
// length; bit 6 advances the clock first by the next byte times 10 ms; bit 7
// presses a front-panel button first (the next byte chooses which).
#include "standins/wendaro/simPrinter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void frontPanel(simPrinter_t& printer, std::uint8_t which)
{
    switch (which % 8) {
    case 0: printer.pressPause(); break;
    case 1: printer.pressResume(); break;
    case 2: printer.setDoorOpen((which & 8) != 0); break;
    case 3: printer.setMedia((which & 8) != 0); break;
    case 4: printer.removeModel(); break;
    case 5: printer.powerCycle(); break;
    case 6: printer.clearError(); break;
    default: printer.cancelBuild(0); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    simPrinterConfig_t config;
    config.writeLogs = false;
    // With the logs off the folder is never used; naming it spares every
    // input a look into the registry for the default one.
    config.dataRoot = L"C:/QVR";
    config.actionMs = 20;
    config.layerMs = 10;
    config.initMs = 20;
    simPrinter_t printer(config);
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t head = data[at++];
        if ((head & 0x40) != 0 && at < size)
            printer.advance(10u * data[at++]);
        if ((head & 0x80) != 0 && at < size)
            frontPanel(printer, data[at++]);
        const std::size_t n = std::min<std::size_t>(head & 0x3F, size - at);
        const simReply_t reply = printer.handleCommand(data + at, n, 1 + (head & 1));
        at += n;
        if (reply.isPacket() && (reply.packet.empty() || reply.packet.size() > 64))
            std::abort();
        if (reply.isPending()) {
            printer.advance(config.actionMs);
            const simReply_t done = printer.pollReply(reply.ticket);
            if (done.isPacket() && done.packet.size() > 64)
                std::abort();
        }
        const std::uint8_t state = printer.machineState();
        if (state < 1 || state > 11)
            std::abort();
    }
    return 0;
}
