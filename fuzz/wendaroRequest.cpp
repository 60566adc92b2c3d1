// deps: wendaro_core
// Arbitrary bytes as client messages of the stand-in machines server. The
// reader must judge each message (whole, cut short, malformed) without
// reading past it; a session, after a greeting answer or not, must answer
// or ignore each message with at most one message that fits the client's
// buffer, and never crash.
//
// Input: byte 0 bit 0 says whether the session first gets a valid greeting
// answer; then messages, each a 16-bit little-endian length and its bytes
// (the last takes what is left).
#include "standins/wendaro/wendaroRequest.h"
#include "standins/wendaro/wendaroServer.h"
#include "standins/wendaro/wendaroSession.h"
#include "standins/wendaro/wendaroWords.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::uint32_t tickMs = 5;

wendaroServer_t& server()
{
    static wendaroServer_t* instance = [] {
        wendaroConfig_t config;
        config.port = 0;
        // The printer's clock moves once per input (below), not on a
        // thread of its own: each run is then the same for the same bytes.
        config.clock = wendaroConfig_t::clock_e::manual_e;
        config.housekeepingThread = false;
        config.tickMs = tickMs;
        wendaroMachineConfig_t machine;
        machine.printer.actionMs = 0;
        machine.printer.initMs = 0;
        machine.printer.writeLogs = false;
        config.machines.push_back(machine);
        auto* s = new wendaroServer_t(config);
        if (!s->start())
            std::abort();
        return s;
    }();
    return *instance;
}

const std::vector<std::uint8_t>& greetingAnswer()
{
    static const std::vector<std::uint8_t> bytes = {
        0xFF, 0xFE, 0xFF, 0x11, 'Q', 0, 'V', 0, 'R', 0, 'c', 0, 'o', 0, 'n', 0, 't', 0, 'r', 0, 'o', 0, 'l', 0,
        'C',  0,    'o',  0,    'n', 0, 'n', 0, 'e', 0, 'c', 0, 't', 0, 0,   0, 0,   0, 0xFF, 0xFE, 0xFF, 0x01,
        'f',  0,    0,    0,    0,   0, 0,   0, 0x28, 0x40};
    return bytes;
}

void checkRead(const wendaroRequest_t& r, std::size_t size, bool upload)
{
    if (r.complete() && r.word == wendaroWords::command && !r.raw.empty() && r.raw.size() != r.raw[0] + 1u)
        std::abort();
    if (r.complete() && upload && r.word == wendaroWords::sendFileBlock &&
        r.raw.size() > wendaroWords::uploadBlockBytes)
        std::abort();
    if (r.raw.size() > size)
        std::abort();
}

void checkRequest(const std::uint8_t* data, std::size_t size)
{
    const wendaroRequest_t plain = wendaroRequest_t::read(data, size);
    checkRead(plain, size, false);
    // The announced upload size gives only a file block its length; any
    // other word reads the same with it, so only a block is read again.
    if (plain.word == wendaroWords::sendFileBlock)
        checkRead(wendaroRequest_t::read(data, size, 40000), size, true);
}

void checkSteps(const wendaroSession_t::steps_t& steps)
{
    std::size_t sends = 0;
    for (const auto& step : steps) {
        if (step.kind != wendaroSession_t::step_t::kind_e::send_e)
            continue;
        ++sends;
        if (step.bytes.size() > wendaroWords::maxMessageBytes)
            std::abort();
    }
    if (sends > 1)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    wendaroServer_t& s = server();
    static std::uint32_t nextId = 1000000;
    wendaroSession_t session(s, nextId++, L"127.0.0.1", true);
    session.greet();
    // Made once: a lambda passed as is becomes a new function object per message.
    static const wendaroSession_t::goneTest_t stillHere = [] { return false; };
    if ((data[0] & 1) != 0)
        checkSteps(session.handle(greetingAnswer().data(), greetingAnswer().size(), stillHere));
    std::size_t at = 1;
    while (at < size) {
        std::size_t length = size - at;
        if (length >= 2) {
            const std::size_t announced = data[at] | (data[at + 1] << 8);
            at += 2;
            length = std::min(announced, size - at);
        } else {
            at = size - length;
        }
        checkRequest(data + at, length);
        checkSteps(session.handle(data + at, length, stillHere));
        at += length;
    }
    // What one tick of the server would do: the printer's actions run on
    // and its reports become notices.
    s.advance(tickMs);
    session.end();
    // The traces and the text messages keep what they saw; an input's
    // outcome and allocations must not depend on the inputs before it.
    s.trace().clear();
    s.clearTextMessages();
    s.printer(1).trace().clear();
    s.printer(1).takeEvents();
    s.printer(1).clearQueue();
    return 0;
}
