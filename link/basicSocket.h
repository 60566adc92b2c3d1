// basicSocket_t: one TCP conversation on its own thread. The same class is
// the outgoing connection (connect, then the receive loop) and the listening
// server (the loop-back and this computer's own address, a pool of worker
// threads that run the accepted connections).
//
// The exchange alternates strictly: one receive is one message, and the next
// receive is made only after this side has sent something. While the loop
// waits for this side it sends a zero-length probe every probeInterval()
// milliseconds. There is no framing on the wire; a derived class that knows
// its messages says through messageCompleteness() whether the bytes received
// so far make a whole message, and the loop then waits up to
// reassemblyGapMs for the rest of a message that TCP split.
//
// Threads: the socket thread runs the receive loop and the call-backs
// (onConnected, onMessage, onDisconnected, onConnectFailed,
// messageCompleteness); the owner's thread sends, waits for data and reads
// the accessors. The received bytes are handed over through the data-arrived
// event: the owner reads them after data-arrived, and the socket thread does
// not touch them again until this side has sent (data-sent).
//
// Destruction: the thread calls virtual functions, so the destructor of every
// class that overrides any of them must call shutdown() first. shutdown()
// wakes whatever the socket thread waits in, waits for it to end and only
// then closes the descriptors.
#pragma once
#include "machine/event.h"
#include "machine/sharedLock.h"
#include "machine/threadHandle.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

// A view of received or outgoing bytes.
using socketBytes_t = std::span<const std::uint8_t>;

enum messageCompleteness_e { messageComplete_e, messageIncomplete_e };

class basicSocket_t {
public:
    // A worker thread of a listener (link/childSocketThreadHandle.h).
    class childSocketThreadHandle_t;

    // How long the receive side waits for the rest of an incomplete message:
    // the longest quiet gap between two pieces of one message.
    static constexpr std::uint32_t reassemblyGapMs = 200;

    // An outgoing connection (or, after listen, a listener) sharing the
    // owner's lock.
    explicit basicSocket_t(const sharedLock_t& lock);
    // A connection accepted by the listener: connected, owned by the
    // listener, sharing its lock; host and port are the peer's.
    basicSocket_t(int acceptedSocket, basicSocket_t* listener);
    virtual ~basicSocket_t();
    basicSocket_t(const basicSocket_t&) = delete;
    basicSocket_t& operator=(const basicSocket_t&) = delete;

    // Milliseconds between liveness probes while the loop waits for this side.
    virtual std::uint32_t probeInterval() const = 0;
    // The most bytes that one message may have.
    virtual int bufferSize() const = 0;
    // Most live accepted connections and most worker threads.
    virtual int maxConnections() const;
    // The receive loop starts.
    virtual void onConnected();
    // The receive loop ends; the result is the loop's result.
    virtual int onDisconnected();
    // The outgoing connection could not be made (the closed event is set).
    virtual void onConnectFailed();
    // A message arrived (called on the socket thread after data-arrived).
    virtual void onMessage(socketBytes_t message);
    // Makes the object for an accepted connection; null refuses it (the
    // handle is then closed).
    virtual basicSocket_t* createConnection(int socketHandle);
    // Starts the outgoing connection; true when the thread runs (also when it
    // ran already: a socket carries one connection only).
    virtual bool connect(const std::wstring& host, int port);
    // Starts listening on the port (0: an ephemeral port, read back with
    // listeningPort() once waitListening() says it listens).
    virtual bool listen(int port);
    // Whether the bytes received so far make a whole message; asked after
    // each receive while fewer than bufferSize() bytes are in. Default:
    // every receive is a whole message.
    virtual messageCompleteness_e messageCompleteness(const socketBytes_t& received);

    // Sends the whole message (repeating the call until every byte is out or
    // the link fails), then sets the data-sent event; false when not every
    // byte went out. Never raises SIGPIPE.
    bool send(const void* bytes, int length);
    bool send(socketBytes_t bytes) { return send(bytes.data(), static_cast<int>(bytes.size())); }
    // Waits up to ms for the data-arrived event; the reader resets it.
    bool waitForData(DWORD ms);
    // The last message: valid from data-arrived until this side sends.
    socketBytes_t receivedMessage() const;
    int receivedLength() const { return receivedLength_.load(); }

    // Ends the connection (a listener: stops accepting and deletes its
    // connections); wakes a receive blocked in the socket and the wait for
    // this side. The descriptor stays open until shutdown().
    void closeConnection();
    // Stops everything and waits for the socket's threads, then closes the
    // descriptors; runs once (later calls do nothing).
    void shutdown();
    bool isShutDown() const;

    // Under the shared lock.
    bool localHostFlag() const;
    bool isServerMode() const;
    // The socket error number of the failed connect, or of the host name
    // that did not resolve (link/socketError.h); 0 before either.
    int lastSocketError() const;
    // The listener that accepted this connection (null for an outgoing one).
    basicSocket_t* owner() const;
    // Zero-length probes sent so far.
    int probeCount() const { return probeCount_.load(); }

    // A listener: true once the loop-back socket listens (within ms).
    bool waitListening(DWORD ms);
    // The closed event: the connection thread has ended its work.
    bool waitClosed(DWORD ms) { return closed_.wait(ms); }
    // For an owner that sleeps on several sources at once (waitForAnyEvent);
    // only the reader of a message resets data-arrived.
    event_t& dataArrivedEvent() const { return dataArrived_; }
    event_t& closedEvent() const { return closed_; }
    // The port the listener is bound to (the real one after listen(0)).
    int listeningPort() const;

    // Accepted-connection list of a listener, each under the shared lock.
    void addConnection(basicSocket_t* connection);
    bool hasConnection(const basicSocket_t* connection) const;
    void removeConnection(basicSocket_t* connection);
    void removeAndDeleteConnection(basicSocket_t* connection);
    // Deletes every listed connection whose closed event is set.
    void purgeConnections();
    int connectionCount() const;
    int workerCount() const;
    int idleWorkerCount() const;

protected:
    // The name under which the listener also listens on this computer's own
    // address (gethostname); tests choose it.
    virtual std::string ourHostName() const;
    // The connection thread's body: connect or listen, then the loop. An
    // accepted connection runs it on a worker thread.
    void threadMain();
    // The main socket descriptor (-1 none); it stays valid until shutdown().
    int mainSocket() const { return mainSocket_.load(); }
    const sharedLock_t& sharedLock() const { return lock_; }

    // Fields below are read and written under the shared lock.
    std::wstring host_;
    int port_ = 0;
    bool connected_ = false;
    bool serverMode_ = false;
    bool accepted_ = false;  // set by the protocol once the greeting is accepted
    bool localHost_ = false;

    // Manual reset, unnamed, initially clear.
    mutable event_t dataSent_{true, false};
    mutable event_t dataArrived_{true, false};
    mutable event_t stop_{true, false};
    mutable event_t closed_{true, false};

private:
    static unsigned threadProc(void* argument);
    void runOutgoing();
    void runListener();
    void receiveLoop();
    // Reads more of an incomplete message into the buffer (fd: the main
    // socket); false when the link ended meanwhile.
    bool completeMessage(int fd, int& length, int capacity);
    bool startOwnThread();
    int connectWithStop(int fd, std::uint32_t address, int port);
    // Under the lock.
    void handOverLocked(basicSocket_t* connection);
    // Takes a connection that is about to be deleted out of the workers.
    void forgetLocked(const basicSocket_t* connection);
    void tryOurHostSocket(int port);
    void wakeListener();
    void closeDescriptors();

    sharedLock_t lock_;
    std::unique_ptr<threadHandle_t> connectionThread_;  // under the lock
    int lastError_ = 0;
    std::vector<childSocketThreadHandle_t*> workers_;
    childSocketThreadHandle_t* worker_ = nullptr;  // the worker running this connection
    basicSocket_t* owner_ = nullptr;
    std::vector<basicSocket_t*> connections_;
    // Every live connection whose owner_ points here, listed or not; the
    // listener clears their owner_ before it goes.
    std::vector<basicSocket_t*> members_;
    bool incoming_ = false;  // accepted by a listener; fixed at construction

    std::atomic<int> mainSocket_{-1};
    std::atomic<int> secondSocket_{-1};
    bool secondListening_ = false;  // listener thread only
    int wakePipe_[2] = {-1, -1};
    event_t listening_{true, false};

    std::vector<std::uint8_t> buffer_;  // bufferSize() + 2 bytes
    std::atomic<int> receivedLength_{0};
    std::atomic<int> probeCount_{0};
    bool shutDown_ = false;
    bool shutdownStarted_ = false;
    // Held while bytes go out, so that shutdown() never closes a descriptor
    // that a send still uses.
    std::mutex sendMutex_;
};
