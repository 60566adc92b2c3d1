// wendaroSession_t: the protocol of one client connection, apart from the
// socket: it says what to send for the greeting and for each client
// message, as steps the connection carries out (send, pause, close).
//
// Rules it keeps (the client's reading forces them):
// - exactly one reply per request, never a message unasked (the client reads
//   again only after it has sent); a request may stay unanswered (an unknown
//   machine, a scripted fault, a client that left during an action);
// - notices ride in front of a reply, in the client's order, and never in
//   front of a word that must stand alone (the greeting answer,
//   "WAITFORCONNECTION", "WRONGPASSWORD", "GETLOGFILENAMES",
//   "MACHINELOGDATA"), where they wait for the next reply;
// - each request gets its own answer: a notice that ends a message replaces
//   only the answer to a status poll (command 1), whose loss costs nothing;
// - bad input (cut short, garbage, unknown words) is answered "ERROR" and
//   traced, and ends nothing.
//
// Threads: the connection's thread calls everything; an awaited printer
// action blocks that thread (the client sends nothing meanwhile).
#pragma once
#include "machine/fileSendParams.h"
#include "machine/longnameStream.h"
#include "standins/wendaro/wendaroFaults.h"
#include "standins/wendaro/wendaroNotice.h"
#include "standins/wendaro/wendaroRequest.h"
#include "standins/wendaro/wendaroStep.h"
#include "standins/wendaro/wendaroSteps.h"
#include "standins/wendaro/wendaroTrace.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class wendaroMachine_t;
class wendaroMessage_t;
class wendaroServer_t;

class wendaroSession_t {
public:
    using step_t = wendaroStep_t;
    using steps_t = wendaroSteps_t;
    // True once the client has gone or the connection is closing: a wait
    // for the printer ends then.
    using goneTest_t = std::function<bool()>;

    wendaroSession_t(wendaroServer_t& server, std::uint32_t id, std::wstring peerHost, bool peerLocal);
    ~wendaroSession_t();
    wendaroSession_t(const wendaroSession_t&) = delete;
    wendaroSession_t& operator=(const wendaroSession_t&) = delete;

    steps_t greet();
    steps_t handle(const std::uint8_t* bytes, std::size_t length, const goneTest_t& gone);
    // The connection ended: the machine forgets it, an upload is dropped.
    void end();

    std::uint32_t id() const { return id_; }
    // Size of the file being uploaded (it gives a block its length).
    std::optional<std::uint32_t> uploadSize() const;

private:
    struct reply_t {
        std::vector<std::uint8_t> bytes;
        std::vector<std::wstring> words;
        int packetType = -1;
        bool silent = false;
        // "CLOSEMASTERPROGRAM" was taken: noted after the reply went out.
        bool asksToClose = false;
        std::string note;
    };
    struct upload_t {
        fileSendParams_t record;
        std::wstring storedPath;
        std::uint32_t size = 0;
        std::uint32_t received = 0;
        basic_longname_ofstream<char> out;
    };
    using terminal_t = std::function<void(wendaroMessage_t&)>;

    reply_t dispatch(const wendaroRequest_t& request, const std::optional<wendaroFaults_t::match_t>& fault,
                     const goneTest_t& gone);
    reply_t connect(const wendaroRequest_t& request);
    reply_t textMessage(const wendaroRequest_t& request);
    reply_t command(const wendaroRequest_t& request, const std::optional<wendaroFaults_t::match_t>& fault,
                    const goneTest_t& gone);
    reply_t queueRequest(const wendaroRequest_t& request);
    reply_t localSliceFile(const wendaroRequest_t& request);
    reply_t remoteFile(const wendaroRequest_t& request);
    reply_t fileBlock(const wendaroRequest_t& request);
    reply_t finishUpload();
    reply_t fileToMachine(const wendaroRequest_t& request, bool move);
    reply_t machineLog(const wendaroRequest_t& request);

    // A reply with the waiting notices in front of the terminal word (none:
    // the message ends after the notices).
    reply_t withNotices(const terminal_t& terminal);
    reply_t withNotices(std::wstring_view word);
    // A word that stands alone; the notices keep waiting.
    reply_t alone(const terminal_t& terminal);
    reply_t alone(std::wstring_view word);
    // "QUEUEINFO" and the queue, cut to fit one message.
    reply_t queueList();
    reply_t silent(const std::string& note);
    void abandonUpload(const std::string& why);
    std::wstring mapSharedPath(const std::wstring& path) const;
    // Takes its lists by value: the callers hand over what they no longer
    // need, and each entry costs one copy less.
    void trace(wendaroTraceEntry_t::kind_e kind, std::vector<std::wstring> words, int command, int packetType,
               std::vector<std::uint8_t> bytes, std::string note, bool malformed, int fault);

    wendaroServer_t& server_;
    const std::uint32_t id_;
    const std::wstring peerHost_;
    const bool peerLocal_;
    wendaroMachine_t* machine_ = nullptr;
    bool accepted_ = false;
    bool textOnly_ = false;
    bool control_ = false;
    bool ended_ = false;
    std::wstring user_;
    std::unique_ptr<upload_t> upload_;
    std::atomic<std::uint32_t> uploadSize_{0};
    std::atomic<bool> uploading_{false};
};
