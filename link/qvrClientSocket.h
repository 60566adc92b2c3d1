// qvrClientSocket_t: the machines-server protocol for one client device
// (link/qvrClientDev.h). It answers the server's greeting, builds the
// requests the device queues, sends device packets as "CMND" messages and
// parses every server message, acting on the device.
//
// Wire format: every message is one archive image (link/archiveFormat.h)
// that starts with its command word; there is no length prefix and no
// terminator. A device packet [n][code][payload] goes out as "CMND" and the
// queued bytes raw; the printer's answer comes back as "RESP" and at most 64
// raw bytes [type][payload].
//
// Reassembly: the server sends each message with one send, but TCP may
// still deliver it in pieces. messageCompleteness() parses what has arrived
// without acting on it: a message that ends inside a field of known size
// (a text, a number, an object, a list, the 4096 bytes of "SENDNVM", a
// "RESP" packet of a type whose length is known) is incomplete, and the
// socket layer then waits up to 200 ms for more bytes; after that the parser
// takes what arrived. A truncated "SENDNVM" is never stored.
//
// Threads: parseMessage, the senders and the upload builders run on the
// device thread; messageCompleteness runs on the socket thread and touches
// nothing but the bytes it is given. isAccepted, hasControlAccess and the
// upload progress are read under the shared lock from any thread.
#pragma once
#include "link/qvrSocket.h"
#include "machine/fileSendParams.h"
#include "machine/packetBuffer.h"

#include <cstdint>
#include <memory>
#include <string>

class outputStream_t;
class qvrClientDev_t;

class qvrClientSocket_t : public qvrSocket_t {
public:
    // What parseMessage tells the device.
    enum parseResult_e {
        greetingStep_e = 0,  // the greeting or its answer: nothing answered
        handled_e = 1,       // answers the request in flight (reply(): the RESP bytes or nothing)
        waitAndResend_e = 2, // "WAITFORCONNECTION": wait 500 ms and send the same request again
    };

    // Capacity of the reply buffer and of every request buffer (a whole message).
    static constexpr std::int32_t messageCapacity = 0x8000;
    // The most bytes a "RESP" hands over.
    static constexpr std::int32_t maxReplyBytes = 64;
    // The size of the parameter memory that "SENDNVM" carries.
    static constexpr std::int32_t parameterBlockBytes = 4096;
    // The version this client announces; a greeting that needs a newer one
    // is refused with notification 144.
    static constexpr double clientVersion = 12.0;
    // A server below this version is refused with notification 145.
    static constexpr double lowestServerVersion = 1.0;
    // Bytes of each "SENDQVRFILEBLOCK" but the last.
    static constexpr std::int32_t uploadBlockBytes = 31743;
    // The record's integer that holds the local file's size in bytes during
    // a block upload (the caller of sendRemoteModelFile fills it).
    static constexpr int uploadFileSizeInteger = 2;

    static constexpr wchar_t greetingWord[] = L"BrevanquillorMachinesServer";
    static constexpr wchar_t controlConnectWord[] = L"QVRcontrolConnect";
    static constexpr wchar_t normalConnectWord[] = L"QVRnormalConnect";

    // The record being uploaded, kept as the socket's attached object with
    // its input stream open on the local file.
    class upload_t : public qvrSocket_t::attachment_t {
    public:
        fileSendParams_t record;
    };

    // An outgoing connection; the user name is this session's Windows user.
    qvrClientSocket_t(bool controlAccess, const sharedLock_t& lock);
    // A connection accepted by a listener (its shared lock is used).
    qvrClientSocket_t(int acceptedSocket, basicSocket_t* listener, bool controlAccess);
    ~qvrClientSocket_t() override;

    // Remembers the requested machine ID, then connects (empty host:
    // "localhost").
    bool connectTo(const std::wstring& host, std::int32_t machineId, int port);
    std::int32_t requestedMachineId() const;
    // The server has accepted the greeting answer (under the shared lock).
    bool isAccepted() const;

    // Parses the last received message and acts on the device (device
    // thread, after waitForData). Resets the data-arrived event first.
    int parseMessage(qvrClientDev_t& device);
    // The same over given bytes (the message itself; tests and fuzzing).
    int parseBytes(socketBytes_t message, qvrClientDev_t& device);
    // The RESP bytes of the last parsed message (kind 0; empty when it had none).
    const packetBuffer_t& reply() const { return reply_; }

    // Kind 0 (a queued device packet [n][code][payload]) goes as "CMND" and
    // its bytes; kind 2 (a finished request) goes unchanged; other kinds are
    // not sent (false).
    bool sendPacket(const packetBuffer_t& packet);
    // Finishes the stream and sends its bytes with one send (nothing for an
    // empty or failed stream: false).
    bool sendMessage(outputStream_t& stream);

    // Whether the bytes received so far make a whole server message.
    messageCompleteness_e messageCompleteness(const socketBytes_t& received) override;
    // The same test as a pure function of the bytes.
    static bool isCompleteMessage(socketBytes_t received);

    // --- request builders: each fills a buffer of kind 2 with one finished
    // request (capacity messageCapacity); false (buffer empty) when the
    // request does not fit or could not be built.
    static bool finishRequest(packetBuffer_t& buffer, outputStream_t& stream);
    // The word alone ("QUEUEINFO", "FILESENDERINFO", "CLOSEMASTERPROGRAM", ...).
    static bool buildWordRequest(packetBuffer_t& buffer, const std::wstring& word);
    // "LOCALSLICEFILE" + record: hand a model file over by its path.
    static bool buildLocalSliceFile(packetBuffer_t& buffer, const fileSendParams_t& record);
    // "SLICERSERVERTIMEEST" + two int32.
    static bool buildTimeEstimate(packetBuffer_t& buffer, std::int32_t a, std::int32_t b);
    // "SLICEFILESTOP".
    static bool buildStopSlicing(packetBuffer_t& buffer);
    // "MOVEFILETOMACHINE" (move) or "COPYFILETOMACHINE" + int32 + record.
    static bool buildFileToMachine(packetBuffer_t& buffer, std::int32_t index, const fileSendParams_t& record,
                                   bool move);
    // Starts a block upload: opens the local file named by the record's
    // name text for binary reading (false, nothing built, when it does not
    // open); the record replaces any pending upload; progress 0;
    // "REMOTEQVRFILE" + record.
    bool buildRemoteFile(packetBuffer_t& buffer, const fileSendParams_t& record);
    // The next block of the pending upload: "SENDQVRFILEBLOCK", uint32
    // offset, the bytes (31743, or the rest when fewer than 31744 remain);
    // once the file's size is reached, or it can be read no further,
    // "FINISHQVRFILESEND", the upload ends and progress is 100. False when
    // no upload is pending.
    bool buildNextFileBlock(packetBuffer_t& buffer);
    // An upload is pending (its record is attached).
    bool isUploadPending() const;
    // Percent; -1 before the first upload.
    int uploadProgress() const;

private:
    struct parseOutcome_t {
        int result = handled_e;
        // The message ended inside a field of known size.
        bool truncated = false;
    };
    // Parses one message. With a socket and a device it acts on them;
    // without, it only finds out whether the message is whole.
    static parseOutcome_t parse(socketBytes_t message, qvrClientSocket_t* self, qvrClientDev_t* device);
    void answerGreeting();
    // Marks the greeting accepted and sets the access it granted; the old
    // accepted flag.
    bool acceptGreeting(bool controlAccess);

    packetBuffer_t reply_{messageCapacity};
    std::int32_t requestedMachineId_ = 0;  // under the shared lock
    int uploadProgress_ = -1;              // under the shared lock
};
