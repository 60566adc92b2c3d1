// A small scripted TCP peer for the link's tests, in plain POSIX: it listens
// on 127.0.0.1 on an ephemeral port, accepts connections one after another
// and runs on each the next script the test gave (a connection without a
// script is just held open). It records every message it receives and every
// step that failed. Every wait of a step is bounded (stepTimeoutMs) and the
// destructor wakes all of them, so a broken test cannot hang.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class scriptedPeer_t {
public:
    using bytes_t = std::vector<std::uint8_t>;
    // Says whether the bytes received so far are a whole message.
    using completeness_t = std::function<bool(const bytes_t&)>;

    struct step_t {
        enum kind_e { send_e, receive_e, waitFor_e, run_e, close_e, reset_e };
        kind_e kind = send_e;
        std::vector<bytes_t> pieces;  // send_e: one send per piece
        std::uint32_t pauseMs = 0;    // send_e: pause between two pieces
        completeness_t complete;      // receive_e
        std::function<bool()> condition;  // waitFor_e
        std::function<void(int fd)> action;  // run_e
    };
    using script_t = std::vector<step_t>;

    // One send of the whole message.
    static step_t send(bytes_t message);
    static step_t send(const std::string& message);
    // A message split into pieces, one send each, with a pause between them.
    static step_t sendPieces(std::vector<bytes_t> pieces, std::uint32_t pauseMs);
    // Waits for one message and records it. Without a completeness test a
    // message is what arrives until the line has been quiet for gapMs.
    static step_t receive(completeness_t complete = nullptr);
    // Waits until the condition holds (checked every few milliseconds).
    static step_t waitFor(std::function<bool()> condition);
    // Runs an action on the connection's descriptor.
    static step_t run(std::function<void(int fd)> action);
    // Orderly close (FIN) and abortive close (RST).
    static step_t close();
    static step_t reset();

    explicit scriptedPeer_t(std::uint32_t stepTimeoutMs = 10000, std::uint32_t gapMs = 50);
    ~scriptedPeer_t();
    scriptedPeer_t(const scriptedPeer_t&) = delete;
    scriptedPeer_t& operator=(const scriptedPeer_t&) = delete;

    int port() const { return port_; }
    // The next accepted connection runs this script.
    void addScript(script_t script);

    int acceptedCount() const;
    bool waitAccepted(int count, std::uint32_t ms) const;
    // Every script given so far has run to its end.
    bool waitScriptsDone(std::uint32_t ms) const;
    bool waitReceived(std::size_t count, std::uint32_t ms) const;
    std::vector<bytes_t> received() const;
    // Steps that failed ("receive: timed out", ...); empty when all went well.
    std::vector<std::string> failures() const;

private:
    void serve();
    void runScript(int fd, const script_t& script);
    bool runStep(int fd, const step_t& step);
    bool receiveMessage(int fd, const completeness_t& complete, bytes_t& message);
    // Waits until fd is readable (true), or the wake pipe / ms come first.
    bool waitReadable(int fd, int ms);
    bool stopping() const;
    void fail(const std::string& what);

    std::uint32_t stepTimeoutMs_;
    std::uint32_t gapMs_;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    int port_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<script_t> scripts_;
    int scriptsRunning_ = 0;
    int accepted_ = 0;
    bool stop_ = false;
    std::vector<bytes_t> received_;
    std::vector<std::string> failures_;
    std::vector<int> heldFds_;
    std::thread thread_;
};
