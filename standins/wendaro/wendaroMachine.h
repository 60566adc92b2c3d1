// wendaroMachine_t: one machine of the stand-in server: its ID and name, its
// simulated printer, its password, the state of the server's link to the
// printer, and the notices waiting for each connection attached to it.
//
// The printer reports what happened (simEvent_t); pumpEvents() turns those
// reports into notices for every attached connection, which take them with
// their next reply. Thread-safe; the machine's lock is never held while the
// caller sends.
#pragma once
#include "machine/machineHostIDname.h"
#include "standins/wendaro/simPrinter.h"
#include "standins/wendaro/wendaroConfig.h"
#include "standins/wendaro/wendaroNoticeSet.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class wendaroMachine_t {
public:
    // What the server answers to "CMND" while its link to the printer is down.
    enum class link_e { up_e, waitForConnection_e, notConnected_e };

    wendaroMachine_t(const wendaroMachineConfig_t& config, const std::wstring& dataRoot);
    wendaroMachine_t(const wendaroMachine_t&) = delete;
    wendaroMachine_t& operator=(const wendaroMachine_t&) = delete;

    std::uint32_t id() const { return id_; }
    std::wstring name() const;
    // Renames the machine; every other attached connection hears of it.
    void rename(const std::wstring& name, std::uint32_t byConnection = 0);
    simPrinter_t& printer() { return *printer_; }
    const simPrinter_t& printer() const { return *printer_; }

    // No password configured: every request passes.
    bool passwordAccepts(const std::optional<std::wstring>& given) const;
    void setPassword(const std::wstring& password);

    link_e link() const;
    // Coming back up tells every attached connection ("HASREOPENEDRESP").
    void setLink(link_e mode);

    // The machine's entry in the greeting's list.
    machineHostIDname_t listEntry(const std::wstring& host) const;

    // Connections.
    void attach(std::uint32_t connection);
    void detach(std::uint32_t connection);
    std::vector<std::uint32_t> attached() const;
    // Control access when only one connection may have it: the holder (0
    // none) with its user and host.
    struct controller_t {
        std::uint32_t connection = 0;
        std::wstring user;
        std::wstring host;
    };
    controller_t controller() const;
    void setController(const controller_t& controller);

    // Printer reports become notices.
    void pumpEvents();
    // For one connection, or every attached one (0).
    void addNotice(std::uint32_t connection, wendaroNotice_t notice);
    bool hasTerminalNotice(std::uint32_t connection) const;
    bool hasNotice(std::uint32_t connection, wendaroNotice_t::kind_e kind) const;
    // The waiting chained notices with their values, in the client's order.
    std::vector<wendaroNotice_t> takeChained(std::uint32_t connection);
    std::optional<wendaroNotice_t> takeTerminal(std::uint32_t connection);
    // A live notice with the machine's values now.
    wendaroNotice_t resolve(const wendaroNotice_t& notice) const;

private:
    // Taken by value: a notice for one connection is moved into its set.
    void addLocked(std::uint32_t connection, wendaroNotice_t notice, std::uint32_t except = 0);

    const std::uint32_t id_;
    std::unique_ptr<simPrinter_t> printer_;
    mutable std::mutex mutex_;
    std::wstring name_;
    std::wstring password_;
    link_e link_ = link_e::up_e;
    std::map<std::uint32_t, wendaroNoticeSet_t> sessions_;
    controller_t controller_;
};
