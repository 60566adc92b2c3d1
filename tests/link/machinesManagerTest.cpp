// The device manager: which device is current, what removal keeps, the
// access a remote host gets, and the listener that turns a machines server's
// connection into a device.
#include "link/machinesManager.h"
#include "link/qvrClientDev.h"
#include "link/qvrListenerSocket.h"
#include "tests/link/clientTestSupport.h"
#include "tests/link/socketTestSupport.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace clientTest;

namespace {

// A port where nothing listens.
int refusingPort()
{
    scriptedPeer_t gone;
    return gone.port();
}

// The device of the last 151 the manager posted (0 when none).
LPARAM lastCurrentNotice(const std::vector<postedMessage_t>& messages)
{
    LPARAM device = 0;
    for (const postedMessage_t& m : messages)
        if (m.message == 1246 && m.wParam == 151)
            device = m.lParam;
    return device;
}

LPARAM asNotice(qvrClientDev_t* device)
{
    return reinterpret_cast<LPARAM>(static_cast<basicComm_t*>(device));
}

int connectToPort(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

bool sendAll(int fd, const bytes_t& bytes)
{
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// One message from the device (its messages here are small and come whole).
bool readMessage(int fd, bytes_t& message, int ms)
{
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, ms) <= 0)
        return false;
    std::vector<uint8_t> buffer(65536);
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (n <= 0)
        return false;
    message.assign(buffer.begin(), buffer.begin() + n);
    return true;
}

class machinesManagerThreadsTest : public prefixTest {
protected:
    queueWindow_t window;
    const int port = refusingPort();
};

TEST_F(machinesManagerThreadsTest, TheCurrentDeviceFollowsTheRules)
{
    machinesManager_t manager(window.handle());
    manager.makeCurrentAt(0);  // an empty list: nothing to make current
    EXPECT_EQ(manager.getCurrent(), nullptr);

    std::vector<qvrClientDev_t*> d;
    for (int i = 0; i < 4; ++i) {
        d.push_back(new qvrClientDev_t(window.handle(), manager.getLock()));
        EXPECT_TRUE(manager.addDevice(d.back(), L"localhost", i + 1, true, port, i == 3));
    }
    struct step_t {
        const char* name;
        std::function<void()> action;
        qvrClientDev_t* current;
        int count;
    };
    const std::vector<step_t> steps = {
        {"the first added became current, the last asked to", [] {}, d[3], 4},
        {"an index past the end means 0", [&] { manager.makeCurrentAt(9); }, d[0], 4},
        {"device 0 is not removed while current", [&] { manager.removeDevice(); }, d[0], 4},
        {"an index outside the list removes nothing", [&] { manager.removeDeviceAt(4); }, d[0], 4},
        {"a current device gives way to device 0",
         [&] {
             manager.makeCurrentAt(3);
             manager.removeDevice();
         },
         d[0], 3},
        {"a listed device that is not current goes", [&] { manager.removeDevice(d[1]); }, d[0], 2},
        {"an unlisted device is not made current", [&] { manager.makeCurrent(d[1]); }, d[0], 2},
        {"devices after the first whose link is down go", [&] { manager.removeDisconnected(); }, d[0], 1},
    };
    for (const step_t& s : steps) {
        SCOPED_TRACE(s.name);
        s.action();
        EXPECT_EQ(manager.getCurrent(), s.current);
        EXPECT_EQ(manager.deviceCount(), s.count);
        EXPECT_TRUE(window.waitFor([&](const std::vector<postedMessage_t>& messages) {
            return lastCurrentNotice(messages) == asNotice(s.current);
        })) << "151 names the current device";
    }
    EXPECT_TRUE(manager.hasDevice(d[0]));
    EXPECT_FALSE(manager.hasDevice(d[1]));
    EXPECT_FALSE(manager.hasDevice(d[3]));
    EXPECT_EQ(manager.countConnected(), 0);
    EXPECT_TRUE(manager.connectedMachineRecords().empty());

    manager.clearDevices();
    EXPECT_EQ(manager.deviceCount(), 0);
    EXPECT_EQ(manager.getCurrent(), nullptr);
}

// Devices are added while another thread keeps clearing the list: a device
// is listed only once it is connected, so the clearing deletes only whole
// devices (a device deleted mid-connect shows under the sanitizers).
TEST_F(machinesManagerThreadsTest, ClearingWhileAddingDeletesOnlyConnectedDevices)
{
    machinesManager_t manager(window.handle());
    std::atomic<bool> adding{true};
    std::atomic<int> listedUnconnected{0};
    std::thread clearer([&] {
        while (adding.load()) {
            // Only this thread deletes devices: the one seen stays alive.
            if (qvrClientDev_t* device = manager.deviceAt(0); device != nullptr && !device->isRunning())
                ++listedUnconnected;
            manager.clearDevices();
        }
    });
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(manager.addDevice(new qvrClientDev_t(window.handle(), manager.getLock()), L"localhost", i + 1,
                                      true, port, i % 2 == 0));
    adding.store(false);
    clearer.join();
    EXPECT_EQ(listedUnconnected.load(), 0);
}

// A listening socket on one loop-back address and an ephemeral port.
class loopbackListener_t {
public:
    explicit loopbackListener_t(const char* address)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &local.sin_addr);
        socklen_t length = sizeof local;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0)
            return;
        port_ = ntohs(local.sin_port);
    }
    ~loopbackListener_t()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int port() const { return port_; }
    // The next connection (-1 when none comes within ms).
    int accept(int ms)
    {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, ms) <= 0)
            return -1;
        return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

TEST_F(machinesManagerThreadsTest, ARemoteHostIsWatchedOnly)
{
    struct case_t {
        std::wstring host;
        const char* address;  // where its server listens
        bool asked;
        const char* answer;
    };
    const std::vector<case_t> cases = {
        {L"", "127.0.0.1", true, "QVRcontrolConnect"},
        {L"localhost", "127.0.0.1", true, "QVRcontrolConnect"},
        {L"127.0.0.1", "127.0.0.1", true, "QVRcontrolConnect"},
        {L"127.0.0.2", "127.0.0.2", true, "QVRnormalConnect"},
        {L"localhost", "127.0.0.1", false, "QVRnormalConnect"},
    };
    machinesManager_t manager(window.handle());
    for (const case_t& c : cases) {
        SCOPED_TRACE(std::string(c.host.begin(), c.host.end()) + (c.asked ? " asked" : " not asked"));
        loopbackListener_t server(c.address);
        ASSERT_GT(server.port(), 0);
        auto* device = new qvrClientDev_t(window.handle(), manager.getLock());
        EXPECT_TRUE(manager.addDevice(device, c.host, 0, c.asked, server.port(), true));
        // The device answers the server's greeting with the access it asks for.
        const int fd = server.accept(10000);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(sendAll(fd, greeting()));
        bytes_t answer;
        EXPECT_TRUE(readMessage(fd, answer, 10000));
        EXPECT_TRUE(startsWith(answer, wide(c.answer)));
        ::close(fd);
        manager.removeDevice(device);
    }
}

TEST_F(machinesManagerThreadsTest, NewDeviceReplacesTheOthersAndBecomesCurrent)
{
    machinesManager_t manager(window.handle());
    qvrClientDev_t* first = manager.newDevice();
    EXPECT_EQ(manager.getCurrent(), first);
    qvrClientDev_t* second = manager.newDevice();
    EXPECT_EQ(manager.deviceCount(), 1);
    EXPECT_EQ(manager.getCurrent(), second);
}

// --- the listener ----------------------------------------------------------------

TEST_F(machinesManagerThreadsTest, AnAcceptedConnectionBecomesADeviceUntilItsLinkEnds)
{
    const int threadsBefore = socketTest::threadCount();
    {
        machinesManager_t manager(window.handle());
        // "localhost" as this computer's own name: the listener needs no
        // resolvable host name.
        ASSERT_TRUE(manager.startListener(0, "localhost"));
        const int listenPort = manager.getListener()->listeningPort();
        ASSERT_GT(listenPort, 0);

        // A machines server calls in and greets; the device answers as a
        // client without control access.
        const int fd = connectToPort(listenPort);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(sendAll(fd, greeting()));
        bytes_t message;
        ASSERT_TRUE(readMessage(fd, message, 10000));
        EXPECT_EQ(message, wide("QVRnormalConnect") + u32(0) + wide("tech") + f64(12.0));
        ASSERT_TRUE(sendAll(fd, connectAnswer(false, 7, "Alpha")));

        // The device polls; its link is up with the first status.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (manager.countConnected() == 0 && std::chrono::steady_clock::now() < deadline) {
            if (!readMessage(fd, message, 50))
                continue;
            ASSERT_TRUE(sendAll(fd, commandCode(message) >= 0 ? statusResp(statusFields_t{}) : wide("ERROR")));
        }
        ASSERT_EQ(manager.countConnected(), 1);
        ASSERT_EQ(manager.deviceCount(), 1);
        qvrClientDev_t* device = manager.deviceAt(0);
        EXPECT_TRUE(device->isListenerSocket());
        EXPECT_FALSE(device->hasControlAccess());
        EXPECT_EQ(manager.getCurrent(), nullptr) << "an accepted device is not made current";
        EXPECT_EQ(manager.connectedMachineRecords(),
                  (std::vector<machineHostIDname_t>{{L"127.0.0.1", 7, L"Alpha", 0, 0}}));

        // The server hangs up: 134, not a reconnection.
        ::close(fd);
        EXPECT_TRUE(waitCode(window, 134));
        // Told once: the device loop passes every millisecond, and a
        // connection taken from a listener is never replaced.
        EXPECT_FALSE(waitCode(window, 134, 2, std::chrono::milliseconds(500))) << "the lost link is told once";
        EXPECT_EQ(manager.deviceCount(), 1);

        manager.dropListenerDevices();
        EXPECT_EQ(manager.deviceCount(), 0);
        EXPECT_EQ(connectToPort(listenPort), -1) << "the listener has closed";
    }
    EXPECT_TRUE(socketTest::waitUntil([&] { return socketTest::threadCount() <= threadsBefore; }))
        << "threads left: " << socketTest::threadCount() - threadsBefore;
}

TEST_F(machinesManagerThreadsTest, DeletingTheManagerWhileAServerIsConnectedEndsEverything)
{
    const int threadsBefore = socketTest::threadCount();
    int fd = -1;
    {
        machinesManager_t manager(window.handle());
        ASSERT_TRUE(manager.startListener(0, "localhost"));
        fd = connectToPort(manager.getListener()->listeningPort());
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(sendAll(fd, greeting()));
        bytes_t message;
        ASSERT_TRUE(readMessage(fd, message, 10000));
        EXPECT_EQ(manager.deviceCount(), 1);
        // A second listener replaces the first, and the first one's device goes.
        ASSERT_TRUE(manager.startListener(0, "localhost"));
        EXPECT_EQ(manager.deviceCount(), 0);
    }
    EXPECT_TRUE(socketTest::waitUntil([&] { return socketTest::threadCount() <= threadsBefore; }))
        << "threads left: " << socketTest::threadCount() - threadsBefore;
    bytes_t rest;
    EXPECT_FALSE(readMessage(fd, rest, 10000)) << "the connection is closed";
    ::close(fd);
}

}  // namespace
