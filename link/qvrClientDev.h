// qvrClientDev_t: the machine device whose packets travel to the machines
// server over TCP (link/qvrClientSocket.h). It owns one client socket,
// reconnects by itself, turns the server's messages into stored records and
// notifications (WM_USER+222 to the owner window, lParam the device), and
// offers the requests of the build queue and the send-and-wait commands
// that procedures and scripts use.
//
//   qvrClientDev_t* device = new qvrClientDev_t(window, lock);
//   device->connect(L"localhost", machineNumber, true, 8722);
//   ...
//   if (!device->sendCommandWait(130, 1, 2))   // state 5 only; waits up to 60 s
//       ...                                    // the link failed it
//   ...
//   delete device;                        // returns within a second
//
// Requests to the server and device packets wait in one queue and go out
// one at a time: the next leaves only when the server has answered the one
// in flight (any server message that is not a greeting step answers it).
//
// Send-and-wait: the waiter knows which queue entry its command is and
// returns when that entry leaves the queue (the reply that closes it has
// been handled, or a reset cleared the queue), when the machine leaves state
// 5, when the device is deleted, or after 60000 ms. A reply that closes
// another command (a command only queued, which the printer may also answer
// with type 10) releases nobody. A command cleared with the queue (the link
// was lost, or is being made again) or cut off by the device's end has
// failed: the caller learns it from the result, since the stored status is
// the last one of the old link and still says state 5.
// A printer that has left state 5 answers an action with type 2 at once and
// runs it later; the stored status may still say state 5 until the next
// poll. So when an awaited command is closed by a reply that carries no
// status, the state counts as unknown: a status request goes out at once,
// and the waiter (and any send-and-wait that starts meanwhile) waits for a
// status newer than that reply before the caller's state test, so that a
// procedure looping over send-and-wait does not pour the rest of its
// commands into the printer's background work.
//
// Threads: the device thread runs step, onTick, waitForInput, sendPending
// and every handler; between passes it sleeps until the socket brings a
// message or closes, a packet is queued, something wakes it or the next
// tick is due. Other threads call the requests, the send-and-wait
// commands and the getters; every field is guarded by the shared lock and
// the getters return copies. Only one thread creates, connects and deletes
// the device; deleting it stops the device thread and closes the socket.
#pragma once
#include "link/layerRecord.h"
#include "link/qvrClientSocket.h"
#include "machine/errorHistory.h"
#include "machine/event.h"
#include "machine/fileInfo.h"
#include "machine/fileSendParams.h"
#include "machine/machineHostIDname.h"
#include "machine/qvrCommDev.h"
#include "machine/qvrHostModelInfo.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class inputStream_t;
class outputStream_t;

class qvrClientDev_t : public qvrCommDev_t {
public:
    static constexpr std::uint32_t tickPeriodMs = 100;
    static constexpr int defaultPort = 8722;
    // A socket whose greeting has not been accepted this long after the
    // last (re)connection is replaced by a new one.
    static constexpr std::uint32_t reconnectIntervalMs = 2500;
    // Longest wait of sendCommandWait for its reply.
    static constexpr std::uint32_t commandWaitMs = 60000;
    // Pause before a request that the server asked to wait for goes again.
    static constexpr std::uint32_t resendDelayMs = 500;
    // Layer records kept for the current build (indices 0 to 1999).
    static constexpr std::int32_t layerRecordCapacity = 2000;

    // A device without an owner window yet and with the given shared lock
    // (the device keeps its own copy); its socket has no control access
    // until connect says so. Nothing runs before connect.
    qvrClientDev_t(HWND ownerWindow, sharedLock_t& lock);
    // Stops the device thread, closes the socket (through its listener when
    // it came from one) and waits for its thread; returns within a second.
    ~qvrClientDev_t() override;

    // --- connection -------------------------------------------------------------
    // False (nothing changes) while the socket is connected. Otherwise stores
    // the host (empty: "localhost"), machine ID, access and port and asks for
    // a (re)connection, which the device thread makes; starts the device
    // thread when it does not run yet (false when it cannot start).
    bool connect(const std::wstring& host, std::int32_t machineId, bool controlAccess, int port = defaultPort);
    // Takes over a connection accepted by a listener (host, port and access
    // are the socket's); refused (false) while the own socket is connected or
    // the device thread runs. When its link ends the device posts 134 and does
    // not reconnect.
    bool attachSocket(qvrClientSocket_t* socket);

    // --- send and wait (procedure and script threads, never the device thread)
    // Only in machine state 5: sends the command with up to two typed
    // arguments (1 byte, 2 16-bit, 4 32-bit, 0 none) and waits up to 60000 ms
    // until the reply that closes this command has been handled (a command
    // dropped as a duplicate of one waiting counts as that one), the queue
    // was cleared, or a status outside state 5 arrived; closed by a reply
    // without a status (type 2 from a printer that left state 5), it also
    // waits for the next status. In any other state nothing is sent. The
    // whole call takes at most 60000 ms.
    // False when the link failed the command: the queue was cleared while it
    // waited (the link was lost or reset), the link was down when it was to
    // be sent (nothing is sent then), or the device is being deleted. True
    // otherwise, also when nothing was sent outside state 5 or the 60000 ms
    // passed: the caller then checks the machine state itself.
    bool sendCommandWait(std::uint8_t code, std::int32_t type1 = 0, std::int32_t value1 = 0,
                         std::int32_t type2 = 0, std::int32_t value2 = 0);
    // The same with a raw payload.
    bool sendCommandDataWait(std::uint8_t code, const packetBuffer_t& payload);
    bool sendCommandDataWait(std::uint8_t code, const void* bytes, std::int32_t count);
    // Threads inside a send-and-wait now.
    int waitingCount() const { return waiters_.load(); }

    // A packet or request that another thread gives while the device runs
    // but its link is not up (lost, being made again, or not yet answered:
    // isConnected is false) is dropped at once: it must not wait in the
    // queue and reach
    // the printer on a later connection, minutes after it was given, to a
    // machine that may have been put on hold meanwhile. The device thread's
    // own traffic (status polls, the pending hand-over) still waits for
    // the connection.
    void sendPacket(const packetBuffer_t& packet) override;

    // --- machine commands -------------------------------------------------------
    // Command 129, Z axis, to "Z Safe Pos" + the status int at byte 16 +
    // "Z Base Delta" (nothing when the sum does not fit 32 bits). Queued.
    void moveZtoSafePos();
    // Brings the machine towards state 5: state 5 nothing; 1 or 7 commands
    // 4, 146, 1; 2 commands 146, 1; any other command 1 (queued in order).
    void prepareForBatch();
    // Command 4 in state 7, then command 158.
    void releaseFromBatch();
    // Fetches the current build's layer records with command 10, at most
    // maxRequests new requests per call; restarts from layer 0 when the fetch
    // is stale or the build's layer count fell.
    void requestLayerRecords(std::int32_t maxRequests);
    // A copy of layer record index (0 to 1999; an empty record outside).
    layerRecord_t getLayerRecord(std::int32_t index);
    // The index of the last layer record received (-1 none) and of the last
    // one requested (-1 none).
    std::int32_t getLastReceivedLayerIndex();
    std::int32_t getLastRequestedLayerIndex();

    // --- units by axis (0 X, 1 Y, 2 Z, 3 Pump, 4 Feeder; step sizes from the
    // parameters "X Step Size" ...; any other axis has step size 0). 64-bit,
    // so that no length wraps; callers check the range they need.
    std::int64_t nanoToSteps(std::int32_t axis, std::int64_t nanometres);
    std::int64_t stepsToNano(std::int32_t axis, std::int64_t steps);
    std::int64_t mmToSteps(std::int32_t axis, double mm);
    double stepsToMm(std::int32_t axis, std::int64_t steps);
    std::int32_t stepSizeOf(std::int32_t axis);
    // "X", "Y", "Z", "Pump", "Feeder", else "Unknown motor".
    static std::wstring motorName(std::int32_t axis);
    // "Cutting Knife", "AG mini (1mm)", ..., "Unused Tool", "---Error---".
    static std::wstring toolTypeName(std::int32_t type);
    // The "BaseDirectory" setting of the system's key (HKEY_CURRENT_USER);
    // the folder is created.
    static void getBaseDirectory(std::wstring& out);
    // Makes folder the data root: creates it, then writes it into the
    // "BaseDirectory" setting. A folder that cannot be created (its parent
    // is missing) leaves the setting as it was: false.
    static bool setBaseDirectory(const std::wstring& folder);

    // --- getters (copies under the lock) ----------------------------------------
    errorHistory_t getErrorHistory();
    std::vector<machineHostIDname_t> getServerMachines();
    std::pair<std::wstring, std::wstring> getLogFileNames();
    std::wstring getMachineLogText();
    std::wstring getSlicerStatusText();
    std::wstring getExtraVersionText();
    std::pair<std::int32_t, std::int32_t> getTimeEstimate();
    double getServerVersion();
    // The server's build-queue list and how many of its entries are this
    // Windows user's.
    std::vector<fileSendParams_t> getQueueList() { return getBuildQueue(); }
    std::int32_t getOwnQueueEntries();
    std::uint32_t getQueueChangeCount();
    bool getWrongPassword();
    std::int32_t getAddedFileIndex();
    std::wstring getHost();
    int getPort();
    std::int32_t getRequestedMachineID();
    bool hasControlAccess();
    // The socket was taken from a listener.
    bool isListenerSocket();
    // Packets and requests handed to the socket so far.
    std::uint32_t sentCount();
    // The socket's upload progress in percent (-1 before any upload).
    int getUploadProgress();
    fileSendParams_t getPendingModelFile();

    // --- queue requests (each queued behind what waits; a request equal to
    // one already waiting behind the front is not queued again) -------------------
    void pauseQueue(std::int32_t n);
    void resumeQueue(std::int32_t n);
    void buildPartialModel(std::int32_t n);
    void removeFromQueue(std::int32_t index, const std::wstring& password);
    void moveFileInQueue(std::int32_t from, std::int32_t to, const std::wstring& password);
    void clearQueue(const std::wstring& password);
    void cancelBuild(std::int32_t index, const std::wstring& password);
    void requestMachineLog(std::int32_t n);
    void createDumpFile(const std::wstring& a, const std::wstring& b);
    void requestQueueInfo();
    void requestFileSenderInfo();
    // "ERRORLOGINFO": the machine's error-history record.
    void requestErrorHistory();
    void requestTimeEstimate(std::int32_t a, std::int32_t b);
    void closeMasterProgram();
    void sendFileToMachine(std::int32_t index, const fileSendParams_t& record, bool move);
    // Finishes the stream and queues it; false when it failed, does not fit
    // a message, or was dropped for want of a link (see sendPacket).
    bool queueRequest(outputStream_t& stream);
    // Queues a finished request buffer (kind 2).
    bool queueRequestBuffer(const packetBuffer_t& request);

    // --- model files -------------------------------------------------------------
    // Replaces the pending hand-over by a new record built from the
    // arguments (pending word set); the device thread queues it as
    // "LOCALSLICEFILE" once connected.
    void sendModelFile(const std::wstring& path, std::int32_t kind, std::int32_t flag, const std::wstring& name,
                       std::int32_t copies, std::int32_t lastLayer, std::int32_t a, std::int32_t b,
                       const std::wstring& displayName) override;
    // Device thread: queues the pending hand-over when its pending word is set.
    void sendPendingUpload();
    // Starts a block upload of the record's local file ("REMOTEQVRFILE").
    void sendRemoteModelFile(const fileSendParams_t& record);
    // Device thread: queues the next block of the pending upload.
    void sendNextFileBlock();

    // --- slots of the device ------------------------------------------------------
    void onTick() override;
    bool step() override;
    void sendPending() override;
    void reset() override;
    // A kind-2 buffer (a finished request) is queued unchanged; any other
    // packet is dispatched as a reply.
    void onPacket(const packetBuffer_t& packet) override;
    bool waitForInput() override;
    void waitForWork(DWORD ms) override;
    void close() override;
    void onLinkTimeout() override;
    void onReplyMismatch() override;
    void onStatus(const packetBuffer_t& reply) override;
    void onStatusReply(const packetBuffer_t& reply) override;
    void createFoldersIfIdKnown() override;
    void onPacket10(const packetBuffer_t& reply) override;
    void onPacket12(const packetBuffer_t& reply) override;
    void onLayerRecord(const packetBuffer_t& reply) override;
    void setMachineName(const std::wstring& name) override;
    void setEmbeddedVersionText(const std::wstring& text) override;
    std::wstring accessModeText() override;
    void stopSlicing() override;
    bool isSameMachine(const machineHostIDname_t& machine) override;

    // Ids below 1 do nothing. Writes the id into "Machine ID", creates the
    // machine's folder and loads its parameters files (or, for a new folder,
    // saves the parameters file and loads it back).
    virtual void setMachineID(std::int32_t id);
    virtual fileInfo_t getFileInfo();
    // "SENDMACHINENAME": renames the machine on the server.
    virtual void sendMachineName(const std::wstring& name);
    virtual void setAddedFileIndex(std::int32_t index);

    // Only while not connected: takes the machine's stored files (version,
    // parameters) for the id; false when its folder does not exist.
    bool openOffline(std::int32_t id);

    // --- what the server tells (used by the protocol parser) ---------------------
    void setLogFileNames(const std::wstring& first, const std::wstring& second);  // 117
    void setTimeEstimate(std::int32_t estimate, std::int32_t threshold);          // 113
    void setMachineLogText(const std::wstring& text);                             // 147
    // 133 when the new or the previous record is present.
    void setFileInfo(const fileInfo_t& info);
    void setModelInfo(const qvrHostModelInfo_t& info);  // 120
    void setErrorHistory(const errorHistory_t& record);
    void setServerMachines(const std::vector<machineHostIDname_t>& machines);
    void setServerVersion(double version);
    void setPausingUser(const std::wstring& user);
    void setSlicerStatusText(const std::wstring& text);
    void setWrongPassword(bool wrong);
    void setQueueChangeCount(std::uint32_t count);
    void setExtraVersionText(const std::wstring& text);
    // Reads the queue list from the message and counts this user's entries.
    void readQueueInfo(inputStream_t& in);
    // The machine ID of the server's greeting answer becomes the status's
    // (the machine-ID change handling runs).
    void setServerMachineID(std::uint32_t id);
    // "SENDNVM": the server's parameter memory (4096 bytes). On a connection
    // to this computer the machine's own parameters files are loaded instead.
    void takeParameterBlock(const std::uint8_t* bytes4096, bool localHost);

protected:
    qvrClientSocket_t* socketLocked() { return socket_; }

private:
    void reconnect();
    using deadline_t = std::chrono::steady_clock::time_point;
    // The send-and-wait commands: waits for a known state, sends, waits;
    // the result as sendCommandWait's.
    template <class send_t> bool sendAndWait(send_t send);
    enum class sent_e { queued_e, notSent_e, linkDown_e };
    // Under the lock, in state 5 on a link that is up: sends through
    // sendPacket and tells which queue entry the command became (the queue
    // watches it for the waiter).
    template <class send_t> sent_e sendTracked(send_t send, std::uint64_t& entry, std::uint64_t& leftBefore);
    // False when the entry was cleared or the device is being deleted.
    bool waitForReply(std::uint64_t entry, std::uint64_t leftBefore, deadline_t deadline);
    // Until a status newer than the last status-less close of an awaited
    // command has been stored, the device is deleted or the deadline.
    void waitForKnownState(deadline_t deadline);
    // Device thread, after a reply without a status: when it closes an
    // awaited command while the stored state says 5, the state becomes
    // unknown and a status is asked for.
    void askStateAfterClose();
    // A status outside state 5 arrived: every waiter returns.
    void leftTechnicianMode();
    // Under the lock: sends from this caller are dropped now (see sendPacket).
    bool refusesSendsLocked();
    void queueWord(const wchar_t* word);
    bool hasLayerRequestWaiting();
    // Closes a socket that is no longer ours (outside the lock).
    void disposeSocket(qvrClientSocket_t* socket, bool fromListener);

    std::int32_t lastReceivedLayer_ = -1;
    std::int32_t lastRequestedLayer_ = -1;
    std::int32_t addedFileIndex_ = 0;
    // Counts statuses outside state 5; a waiter returns when it changes.
    std::atomic<std::uint64_t> leftTechnicianCount_{0};
    // An awaited command was closed by a reply without a status and no
    // status has been stored since (set only while the stored state is 5).
    std::atomic<bool> stateUnconfirmed_{false};
    // Statuses stored; written by the device thread under the lock.
    std::uint64_t statusCount_ = 0;
    // handleReply keeps the front for the reply being dispatched.
    bool frontKept_ = false;
    // Set by the destructor: no waiter stays.
    event_t closing_{true, false};
    std::atomic<int> waiters_{0};
    // The connection has ended and 119 was posted; the next attempt waits
    // until reconnectIntervalMs after lastContactTick_ (the end).
    bool linkEnded_ = false;
    // "WAITFORCONNECTION": the front goes again at resendAt_ (device thread).
    bool resendPending_ = false;
    std::chrono::steady_clock::time_point resendAt_;
    std::vector<layerRecord_t> layerRecords_;
    std::wstring host_;
    int port_ = defaultPort;
    std::int32_t requestedMachineId_ = 0;
    std::wstring logFileNames_[2];
    std::int32_t ownQueueEntries_ = 0;
    double serverVersion_ = 0.0;
    std::wstring slicerStatusText_;
    std::wstring machineLogText_;
    std::wstring extraVersionText_;
    std::uint32_t queueChangeCount_ = 0;
    errorHistory_t errorHistory_;
    qvrClientSocket_t* socket_ = nullptr;
    std::uint32_t lastContactTick_ = 0;
    bool controlAccess_ = false;
    bool fromListener_ = false;
    // Read by the device thread at every pass.
    std::atomic<bool> reconnectWanted_{false};
    bool wrongPassword_ = false;
    fileSendParams_t pendingFile_;
    std::vector<machineHostIDname_t> serverMachines_;
    std::uint32_t sentCount_ = 0;
};
