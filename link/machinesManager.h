// machinesManager_t: several client devices at once, one of them current, for
// a program that watches several machines: devices connected by the program,
// and devices made from the connections that machines servers open to its
// listener (qvrListenerSocket_t).
//
//   machinesManager_t manager(window);
//   manager.startListener(8722);
//   auto* device = new qvrClientDev_t(window, manager.getLock());
//   manager.addDevice(device, L"WORKSHOP-PC", 0, true, 8722, true);
//   ...
//   manager.makeCurrentAt(1);      // posts 151 to the owner window
//
// Notifications: the devices post theirs as always; the manager posts 151
// (lParam the device) when the current device changes. A device may be
// deleted while its notifications still wait in the window's queue: a
// handler that gets a device pointer checks it with hasDevice first.
//
// Threads: the manager's lock is the shared lock of all its devices and
// sockets; every list operation runs under it, and devices and sockets are
// deleted only after it has been released (deleting a device waits for its
// threads). The manager itself is created and deleted by one thread.
#pragma once
#include "machine/machineHostIDname.h"
#include "machine/sharedLock.h"
#include "platform/winConstants.h"

#include <cstdint>
#include <string>
#include <vector>

class qvrClientDev_t;
class qvrClientSocket_t;
class qvrListenerSocket_t;

class machinesManager_t {
public:
    static constexpr std::int32_t currentDeviceChanged = 151;
    // Status polls: the current device as often as a single device polls,
    // the others less often.
    static constexpr std::int32_t defaultCurrentPollMs = 350;
    static constexpr std::int32_t defaultOtherPollMs = 1000;

    explicit machinesManager_t(HWND ownerWindow = 0);
    // Deletes every device and the listener.
    ~machinesManager_t();
    machinesManager_t(const machinesManager_t&) = delete;
    machinesManager_t& operator=(const machinesManager_t&) = delete;

    // The lock to give a device made for addDevice.
    sharedLock_t& getLock() { return lock_; }

    // --- devices ----------------------------------------------------------------
    // Clears the devices when there are any, then makes a new one, which
    // becomes current.
    qvrClientDev_t* newDevice();
    // Takes the device over, makes it current when asked or when it is the
    // first, and connects it; control access is withdrawn for a host that is
    // not this computer. The result is that of the device's connect.
    bool addDevice(qvrClientDev_t* device, const std::wstring& host, std::int32_t machineId, bool controlAccess,
                   int port, bool makeCurrent);
    // A new device for a connection accepted by the listener; the result is
    // that of the device's attachSocket.
    bool addAcceptedDevice(qvrClientSocket_t* socket);
    // Only a listed device: it becomes current, 151 is posted and the poll
    // intervals are applied again.
    void makeCurrent(qvrClientDev_t* device);
    // An index outside the list means 0 (nothing on an empty list).
    void makeCurrentAt(int index);
    // null: the current device. The current device gives way to device 0
    // first; device 0 itself, when current, is not removed. A removed
    // current device is replaced by the last of the list.
    void removeDevice(qvrClientDev_t* device = nullptr);
    // An index outside the list does nothing.
    void removeDeviceAt(int index);
    // Every device and the listener go; no current device.
    void clearDevices();
    // Every device whose connection came from the listener goes, and the
    // listener closes its connections and stops accepting; device 0 is
    // current afterwards.
    void dropListenerDevices();
    // Every device from index 1 on whose link is not up goes.
    void removeDisconnected();

    int countConnected();
    bool hasDevice(const qvrClientDev_t* device);
    qvrClientDev_t* getCurrent();
    int deviceCount();
    // null outside the list.
    qvrClientDev_t* deviceAt(int index);

    // Status-poll intervals in ms: the first for the current device, the
    // second for the others (also for devices added later).
    void applyPollIntervals(std::int32_t currentMs, std::int32_t othersMs);
    // The owner window of the manager and of every device.
    void setOwnerWindowAll(HWND window);

    // --- listener -------------------------------------------------------------
    // Replaces the listener (the devices of the old one's connections go
    // first) by a new one on the port; false when it cannot start. ourHost:
    // see qvrListenerSocket_t.
    bool startListener(int port, const std::string& ourHost = std::string());
    // null when none.
    qvrListenerSocket_t* getListener();

    // --- records -----------------------------------------------------------------
    // One record per device whose link is up.
    std::vector<machineHostIDname_t> connectedMachineRecords();
    // The device's host; its machine ID (the status's, or the requested one
    // while that is 0); its name; its queue-change count; and the copies of
    // the last entry of its queue list (status byte 49 when the list is
    // empty).
    static machineHostIDname_t getMachineRecord(qvrClientDev_t& device);

private:
    // Under the lock: the current device changes; 151 and the intervals.
    void makeCurrentLocked(qvrClientDev_t* device);
    void applyPollIntervalsLocked();
    // Takes the device out of the list by removeDevice's rule; the device
    // to destroy, or null when nothing is removed.
    qvrClientDev_t* takeDeviceLocked(qvrClientDev_t* device);
    // Takes the listener's devices out of the list; the current device is
    // then device 0.
    std::vector<qvrClientDev_t*> takeListenerDevicesLocked();
    // Stops and deletes devices taken out of the list (outside the lock).
    static void destroyDevices(std::vector<qvrClientDev_t*>& devices);

    sharedLock_t lock_;
    qvrClientDev_t* current_ = nullptr;
    std::vector<qvrClientDev_t*> devices_;
    HWND ownerWindow_ = 0;
    qvrListenerSocket_t* listener_ = nullptr;
    // Cleared while the listener's devices are being dropped: a connection
    // accepted meanwhile gets no device (and is closed), so that no device
    // keeps a connection that the listener deletes.
    bool acceptingDevices_ = true;
    std::int32_t currentPollMs_ = defaultCurrentPollMs;
    std::int32_t otherPollMs_ = defaultOtherPollMs;
};
