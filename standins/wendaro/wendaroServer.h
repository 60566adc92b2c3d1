// wendaroServer_t: the stand-in machines server with its simulated printers,
// for in-process tests and for the program Wendaro.exe.
//
//   wendaroConfig_t config;
//   config.port = 0;                                  // ephemeral
//   config.machines.push_back({printerConfig, L"Printer 3"});
//   wendaroServer_t server(config);
//   server.start();                                   // listening once true
//   qvrClientDev_t device(...); device.connect(L"localhost", 3, true, server.port());
//   server.printer(3).setDoorOpen(true);              // harness events
//   server.faults().add(rule);                        // scripted faults
//   server.trace().waitFor(match, 10s);               // every message
//   server.stop();                                    // joins every thread
//
// It listens on the IPv4 loop-back address (and this computer's own address
// when that differs), greets each connection with its machine list and
// serves the machines-server protocol on it (wendaroSession_t). A server
// thread runs the printers' clocks (real-time mode), turns their reports
// into notices and deletes closed connections.
//
// An in-process server never ends the process: "CLOSEMASTERPROGRAM" is only
// recorded (closeRequested), and the program decides what to do. Every
// public operation is thread-safe; stop() is idempotent and a stopped server
// can be started again, with fresh machines.
#pragma once
#include "machine/machineHostIDname.h"
#include "machine/textMessage.h"
#include "standins/wendaro/simPrinter.h"
#include "standins/wendaro/wendaroConfig.h"
#include "standins/wendaro/wendaroFaults.h"
#include "standins/wendaro/wendaroMachine.h"
#include "standins/wendaro/wendaroNotice.h"
#include "standins/wendaro/wendaroTrace.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class wendaroConnection_t;
class wendaroListener_t;

class wendaroServer_t {
public:
    struct connectionInfo_t {
        std::uint32_t id = 0;
        std::uint32_t machine = 0;  // 0 before the greeting answer
        std::wstring user;
        std::wstring host;
        bool control = false;
        bool textMessage = false;
    };
    using logSink_t = std::function<void(const std::wstring&)>;

    explicit wendaroServer_t(wendaroConfig_t config = wendaroConfig_t());
    ~wendaroServer_t();
    wendaroServer_t(const wendaroServer_t&) = delete;
    wendaroServer_t& operator=(const wendaroServer_t&) = delete;

    // Makes the machines and listens; false (with the reason) when the port
    // is taken or the listener cannot start.
    bool start(std::wstring* error = nullptr);
    // Closes every connection and joins every thread.
    void stop();
    bool isRunning() const;
    // The port listened on (the real one after port 0); 0 when stopped.
    int port() const;
    const wendaroConfig_t& config() const { return config_; }
    std::wstring dataRoot() const;
    std::wstring shareFolder() const;
    std::wstring hostName() const;

    // --- machines (valid from start until stop) -------------------------------
    std::vector<std::uint32_t> machineIds() const;
    // Null when the server has no such machine.
    wendaroMachine_t* findMachine(std::uint32_t id);
    // std::out_of_range when the server has no such machine.
    wendaroMachine_t& machine(std::uint32_t id);
    simPrinter_t& printer(std::uint32_t id) { return machine(id).printer(); }
    wendaroMachine_t* firstMachine();
    // The greeting's list, in configuration order.
    std::vector<machineHostIDname_t> machineList() const;
    // Clock (manual mode): moves every printer's clock.
    void advance(std::uint64_t ms);

    // --- harness ---------------------------------------------------------------
    wendaroFaults_t& faults() { return faults_; }
    wendaroTrace_t& trace() { return trace_; }
    // A notice for one connection (or every connection of the machine: 0),
    // sent with its next reply (a notice that ends a message: in place of
    // its next status poll's answer).
    void queueNotice(std::uint32_t machine, std::uint32_t connection, const wendaroNotice_t& notice);
    // The server's link to the printer goes down ("CMND" is answered
    // "WAITFORCONNECTION" or "DEVICENOTCONNECTED") or comes back
    // ("HASREOPENEDRESP").
    void printerLinkDown(std::uint32_t machine, wendaroMachine_t::link_e mode);
    void printerLinkUp(std::uint32_t machine);
    void renameMachine(std::uint32_t machine, const std::wstring& name);

    // --- connections --------------------------------------------------------------
    std::vector<connectionInfo_t> connections() const;
    std::size_t connectionCount() const;
    // Closes the connection; false when there is none with that id.
    bool dropConnection(std::uint32_t id);
    // Worker threads of the listener and how many of them are idle.
    int workerCount() const;
    int idleWorkerCount() const;

    // --- what the program acts on ---------------------------------------------------
    bool closeRequested() const { return closeRequested_.load(); }
    // The text messages clients sent, the latest keptTextMessages of them
    // (a server that runs for weeks keeps no unbounded list).
    static constexpr std::size_t keptTextMessages = 100;
    std::vector<textMessage_t> textMessages() const;
    void clearTextMessages();
    // Lines for the program's own log (connections, requests to close).
    void setLogSink(logSink_t sink);
    // A text dump of the machines, printers and queues.
    std::wstring dumpText(const std::wstring& comment) const;
    bool writeDump(const std::wstring& fileName, const std::wstring& comment) const;

    // --- used by the connections --------------------------------------------------
    std::uint32_t nextConnectionId() { return nextConnectionId_.fetch_add(1); }
    void registerConnection(std::uint32_t id, wendaroConnection_t* connection, const std::wstring& host);
    void unregisterConnection(std::uint32_t id);
    void updateConnection(const connectionInfo_t& info);
    void noteTextMessage(const textMessage_t& message);
    void noteCloseRequest();
    void log(const std::wstring& text);
    // Whether log() reaches anyone: a caller builds its text only then.
    bool logging() const;

private:
    void housekeeping();
    void pumpAll();

    wendaroConfig_t config_;
    std::wstring dataRoot_;
    std::wstring hostName_;
    wendaroFaults_t faults_;
    wendaroTrace_t trace_;

    mutable std::mutex mutex_;  // machines_, connections_, infos_, messages_, logSink_
    std::vector<std::unique_ptr<wendaroMachine_t>> machines_;
    std::map<std::uint32_t, wendaroConnection_t*> connections_;
    std::map<std::uint32_t, connectionInfo_t> infos_;
    std::vector<textMessage_t> messages_;
    logSink_t logSink_;

    mutable std::mutex runMutex_;  // start and stop
    std::unique_ptr<wendaroListener_t> listener_;
    std::atomic<bool> running_{false};
    std::atomic<int> port_{0};
    std::thread thread_;
    std::mutex threadMutex_;
    std::condition_variable threadWake_;
    bool threadStop_ = false;
    std::atomic<std::uint32_t> nextConnectionId_{1};
    std::atomic<bool> closeRequested_{false};
};
