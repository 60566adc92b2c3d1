#include "link/machinesManager.h"

#include "link/hostResolution.h"
#include "link/qvrClientDev.h"
#include "link/qvrListenerSocket.h"
#include "machine/basicComm.h"
#include "platform/windowTable.h"

#include <algorithm>

namespace {

// How long startListener waits to learn whether the listener listens.
constexpr DWORD listenerStartWaitMs = 5000;

}  // namespace

machinesManager_t::machinesManager_t(HWND ownerWindow) : ownerWindow_(ownerWindow) {}

machinesManager_t::~machinesManager_t()
{
    clearDevices();
}

// --- devices ---------------------------------------------------------------------

qvrClientDev_t* machinesManager_t::newDevice()
{
    if (deviceCount() > 0)
        clearDevices();
    lockGuard_t guard(lock_);
    auto* device = new qvrClientDev_t(ownerWindow_, lock_);
    devices_.push_back(device);
    device->setPollInterval(otherPollMs_);
    if (current_ == nullptr)
        makeCurrentLocked(device);
    return device;
}

bool machinesManager_t::addDevice(qvrClientDev_t* device, const std::wstring& host, std::int32_t machineId,
                                  bool controlAccess, int port, bool makeCurrent)
{
    if (device == nullptr)
        return false;
    // Control of a machine is kept for this computer's own server; another
    // computer's machines are watched only. (Resolving may take a while: not
    // under the lock.)
    if (controlAccess && !host.empty() && !isLocalHost(host))
        controlAccess = false;
    // Connected under the lock before it is listed, as an accepted device
    // is attached: a clearDevices meanwhile cannot delete it mid-connect.
    lockGuard_t guard(lock_);
    device->setPollInterval(otherPollMs_);
    const bool connected = device->connect(host, machineId, controlAccess, port);
    if (std::find(devices_.begin(), devices_.end(), device) == devices_.end())
        devices_.push_back(device);
    if (makeCurrent || devices_.size() == 1)
        makeCurrentLocked(device);
    return connected;
}

bool machinesManager_t::addAcceptedDevice(qvrClientSocket_t* socket)
{
    // Attached under the lock, and listed only once attached: a clearDevices
    // on another thread waits for the lock and then finds a whole device, so
    // it cannot delete one that is still being attached. (The listener calls
    // here holding this same lock anyway; attaching only starts the device's
    // thread, which waits for nothing under it.)
    lockGuard_t guard(lock_);
    if (!acceptingDevices_ || socket == nullptr)
        return false;
    auto* device = new qvrClientDev_t(ownerWindow_, lock_);
    device->setPollInterval(otherPollMs_);
    const bool attached = device->attachSocket(socket);
    devices_.push_back(device);
    return attached;
}

void machinesManager_t::makeCurrent(qvrClientDev_t* device)
{
    lockGuard_t guard(lock_);
    if (std::find(devices_.begin(), devices_.end(), device) != devices_.end())
        makeCurrentLocked(device);
}

void machinesManager_t::makeCurrentAt(int index)
{
    lockGuard_t guard(lock_);
    if (devices_.empty())
        return;
    if (index < 0 || index >= static_cast<int>(devices_.size()))
        index = 0;
    makeCurrentLocked(devices_[static_cast<std::size_t>(index)]);
}

void machinesManager_t::makeCurrentLocked(qvrClientDev_t* device)
{
    current_ = device;
    if (ownerWindow_ != 0 && device != nullptr)
        postMessage(ownerWindow_, basicComm_t::notifyMessageNumber, static_cast<WPARAM>(currentDeviceChanged),
                    reinterpret_cast<LPARAM>(static_cast<basicComm_t*>(device)));
    applyPollIntervalsLocked();
}

qvrClientDev_t* machinesManager_t::takeDeviceLocked(qvrClientDev_t* device)
{
    if (device == nullptr)
        device = current_;
    if (device == nullptr)
        return nullptr;
    if (device == current_ && !devices_.empty()) {
        makeCurrentLocked(devices_.front());
        // Device 0 itself stays while it is current.
        if (current_ == device)
            return nullptr;
    }
    const auto found = std::find(devices_.begin(), devices_.end(), device);
    if (found == devices_.end())
        return nullptr;
    devices_.erase(found);
    if (current_ == device)
        makeCurrentLocked(devices_.empty() ? nullptr : devices_.back());
    return device;
}

void machinesManager_t::removeDevice(qvrClientDev_t* device)
{
    std::vector<qvrClientDev_t*> doomed;
    {
        lockGuard_t guard(lock_);
        if (qvrClientDev_t* taken = takeDeviceLocked(device))
            doomed.push_back(taken);
    }
    destroyDevices(doomed);
}

void machinesManager_t::removeDeviceAt(int index)
{
    std::vector<qvrClientDev_t*> doomed;
    {
        lockGuard_t guard(lock_);
        if (index < 0 || index >= static_cast<int>(devices_.size()))
            return;
        if (qvrClientDev_t* taken = takeDeviceLocked(devices_[static_cast<std::size_t>(index)]))
            doomed.push_back(taken);
    }
    destroyDevices(doomed);
}

void machinesManager_t::clearDevices()
{
    std::vector<qvrClientDev_t*> doomed;
    qvrListenerSocket_t* listener;
    {
        lockGuard_t guard(lock_);
        acceptingDevices_ = false;
        doomed.swap(devices_);
        current_ = nullptr;
        listener = listener_;
        listener_ = nullptr;
    }
    // The devices first: a device closes its connection through the
    // listener, which must still be there; deleting the listener then closes
    // whatever it still holds.
    destroyDevices(doomed);
    delete listener;
    lockGuard_t guard(lock_);
    acceptingDevices_ = true;
}

std::vector<qvrClientDev_t*> machinesManager_t::takeListenerDevicesLocked()
{
    std::vector<qvrClientDev_t*> taken;
    std::vector<qvrClientDev_t*> kept;
    for (qvrClientDev_t* device : devices_) {
        if (device->isListenerSocket())
            taken.push_back(device);
        else
            kept.push_back(device);
    }
    devices_.swap(kept);
    if (std::find(taken.begin(), taken.end(), current_) != taken.end())
        current_ = devices_.empty() ? nullptr : devices_.front();
    return taken;
}

void machinesManager_t::dropListenerDevices()
{
    std::vector<qvrClientDev_t*> doomed;
    qvrListenerSocket_t* listener;
    {
        lockGuard_t guard(lock_);
        acceptingDevices_ = false;
        doomed = takeListenerDevicesLocked();
        listener = listener_;
    }
    // Before the listener closes its connections: the devices hold them.
    // Device 0 goes too when its connection came from the listener, since
    // that connection is closed here.
    destroyDevices(doomed);
    if (listener != nullptr)
        listener->closeConnection();
    lockGuard_t guard(lock_);
    if (!devices_.empty())
        makeCurrentLocked(devices_.front());
}

void machinesManager_t::removeDisconnected()
{
    std::vector<qvrClientDev_t*> doomed;
    {
        lockGuard_t guard(lock_);
        std::vector<qvrClientDev_t*> candidates;
        for (std::size_t i = 1; i < devices_.size(); ++i) {
            if (!devices_[i]->isConnected())
                candidates.push_back(devices_[i]);
        }
        for (qvrClientDev_t* device : candidates) {
            if (qvrClientDev_t* taken = takeDeviceLocked(device))
                doomed.push_back(taken);
        }
    }
    destroyDevices(doomed);
}

void machinesManager_t::destroyDevices(std::vector<qvrClientDev_t*>& devices)
{
    for (qvrClientDev_t* device : devices) {
        // Nothing more reaches the window from a device on its way out.
        device->setOwnerWindow(0);
        delete device;  // stops its thread and closes its socket
    }
    devices.clear();
}

int machinesManager_t::countConnected()
{
    lockGuard_t guard(lock_);
    return static_cast<int>(
        std::count_if(devices_.begin(), devices_.end(), [](qvrClientDev_t* d) { return d->isConnected(); }));
}

bool machinesManager_t::hasDevice(const qvrClientDev_t* device)
{
    lockGuard_t guard(lock_);
    return device != nullptr && std::find(devices_.begin(), devices_.end(), device) != devices_.end();
}

qvrClientDev_t* machinesManager_t::getCurrent()
{
    lockGuard_t guard(lock_);
    return current_;
}

int machinesManager_t::deviceCount()
{
    lockGuard_t guard(lock_);
    return static_cast<int>(devices_.size());
}

qvrClientDev_t* machinesManager_t::deviceAt(int index)
{
    lockGuard_t guard(lock_);
    if (index < 0 || index >= static_cast<int>(devices_.size()))
        return nullptr;
    return devices_[static_cast<std::size_t>(index)];
}

void machinesManager_t::applyPollIntervals(std::int32_t currentMs, std::int32_t othersMs)
{
    lockGuard_t guard(lock_);
    currentPollMs_ = currentMs;
    otherPollMs_ = othersMs;
    applyPollIntervalsLocked();
}

void machinesManager_t::applyPollIntervalsLocked()
{
    for (qvrClientDev_t* device : devices_)
        device->setPollInterval(device == current_ ? currentPollMs_ : otherPollMs_);
}

void machinesManager_t::setOwnerWindowAll(HWND window)
{
    lockGuard_t guard(lock_);
    ownerWindow_ = window;
    for (qvrClientDev_t* device : devices_)
        device->setOwnerWindow(window);
}

// --- listener -------------------------------------------------------------------

bool machinesManager_t::startListener(int port, const std::string& ourHost)
{
    std::vector<qvrClientDev_t*> doomed;
    qvrListenerSocket_t* old;
    {
        lockGuard_t guard(lock_);
        acceptingDevices_ = false;
        doomed = takeListenerDevicesLocked();
        old = listener_;
        listener_ = nullptr;
    }
    // The old listener's devices hold its connections: they go first.
    destroyDevices(doomed);
    delete old;
    {
        lockGuard_t guard(lock_);
        acceptingDevices_ = true;
    }
    auto* listener = new qvrListenerSocket_t(this, port, lock_, ourHost);
    {
        lockGuard_t guard(lock_);
        listener_ = listener;
    }
    return listener->waitListening(listenerStartWaitMs);
}

qvrListenerSocket_t* machinesManager_t::getListener()
{
    lockGuard_t guard(lock_);
    return listener_;
}

// --- records ----------------------------------------------------------------------

std::vector<machineHostIDname_t> machinesManager_t::connectedMachineRecords()
{
    lockGuard_t guard(lock_);
    std::vector<machineHostIDname_t> records;
    for (qvrClientDev_t* device : devices_) {
        if (device->isConnected())
            records.push_back(getMachineRecord(*device));
    }
    return records;
}

machineHostIDname_t machinesManager_t::getMachineRecord(qvrClientDev_t& device)
{
    const machineStatus_t status = device.getStatus();
    std::int32_t machineId = static_cast<std::int32_t>(status.machineID());
    if (machineId == 0)
        machineId = device.getRequestedMachineID();
    const std::vector<fileSendParams_t> queue = device.getBuildQueue();
    const std::int32_t lastEntry =
        queue.empty() ? static_cast<std::int32_t>(status.bytes[49]) : queue.back().integer(fileSendParams_t::copies_e);
    return machineHostIDname_t(device.getHost(), machineId, device.getMachineName(),
                               static_cast<std::int32_t>(device.getQueueChangeCount()), lastEntry);
}
