// The listening side: accepting, the worker pool, refusals, closing and the
// sockets failure box.
#include "link/qvrSocket.h"
#include "platform/messageBoxHook.h"
#include "scriptedPeer.h"
#include "socketTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace socketTest;

namespace {

std::atomic<int> connectionsDestroyed{0};

// An accepted connection that answers every message with "ECHO:" and the message.
class echoConnection_t : public qvrSocket_t {
public:
    echoConnection_t(int fd, basicSocket_t* listener) : qvrSocket_t(fd, listener) {}
    ~echoConnection_t() override
    {
        shutdown();
        ++connectionsDestroyed;
    }
    void onMessage(socketBytes_t message) override
    {
        const std::string reply = "ECHO:" + std::string(message.begin(), message.end());
        send(reply.data(), static_cast<int>(reply.size()));
    }
};

class testListener_t : public qvrSocket_t {
public:
    explicit testListener_t(const sharedLock_t& lock, int most = INT_MAX, bool refuse = false,
                            std::string ourHost = "localhost")
        : qvrSocket_t(lock), most_(most), refuse_(refuse), ourHost_(std::move(ourHost))
    {
    }
    ~testListener_t() override { shutdown(); }

    // "localhost": the second socket never binds (the main one holds the
    // port), whatever this computer's name resolves to.
    std::string ourHostName() const override { return ourHost_; }

    int maxConnections() const override { return most_; }
    basicSocket_t* createConnection(int fd) override
    {
        ++created;
        if (refuse_)
            return nullptr;
        auto* connection = new echoConnection_t(fd, this);
        std::lock_guard<std::mutex> lock(mutex_);
        made_.push_back(connection);
        return connection;
    }
    echoConnection_t* made(std::size_t i)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return i < made_.size() ? made_[i] : nullptr;
    }

    std::atomic<int> created{0};

private:
    int most_;
    bool refuse_;
    std::string ourHost_;
    std::mutex mutex_;
    std::vector<echoConnection_t*> made_;
};

// A plain POSIX client of the listener.
class plainClient_t {
public:
    explicit plainClient_t(int port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~plainClient_t() { ::close(fd_); }
    bool connected() const { return connected_; }
    void send(const std::string& text) { ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL); }
    // One receive: the text, "" at the end of the link, "<timeout>" when nothing came.
    std::string receive(int ms = 10000)
    {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, ms) <= 0)
            return "<timeout>";
        char buffer[256];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        return n <= 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

}  // namespace

TEST(BasicSocketListenerThreads, AcceptsConnectionsAndRunsThemOnReusedWorkers)
{
    sharedLock_t lock;
    testListener_t listener(lock);
    ASSERT_TRUE(listener.listen(0));
    ASSERT_TRUE(listener.waitListening(10000));
    const int port = listener.listeningPort();
    ASSERT_NE(port, 0);
    EXPECT_TRUE(listener.isServerMode());
    {
        plainClient_t client(port);
        ASSERT_TRUE(client.connected());
        client.send("PING");
        EXPECT_EQ(client.receive(), "ECHO:PING");
        echoConnection_t* connection = listener.made(0);
        ASSERT_NE(connection, nullptr);
        EXPECT_EQ(connection->getHost(), L"127.0.0.1");
        EXPECT_TRUE(connection->localHostFlag());
        EXPECT_EQ(connection->owner(), &listener);
        EXPECT_TRUE(connection->isConnected());
        EXPECT_NE(connection->getPort(), 0);
        EXPECT_EQ(listener.connectionCount(), 1);
        EXPECT_EQ(listener.workerCount(), 1);
    }
    // The client went away: the connection closes and is purged.
    echoConnection_t* first = listener.made(0);
    ASSERT_TRUE(first->waitClosed(10000));
    const int destroyedBefore = connectionsDestroyed.load();
    listener.purgeConnections();
    EXPECT_EQ(listener.connectionCount(), 0);
    EXPECT_EQ(connectionsDestroyed.load(), destroyedBefore + 1);

    // The worker that ran it is free again and takes the next connection.
    ASSERT_TRUE(waitUntil([&] { return listener.idleWorkerCount() == 1; }));
    plainClient_t second(port);
    second.send("PONG");
    EXPECT_EQ(second.receive(), "ECHO:PONG");
    EXPECT_EQ(listener.workerCount(), 1);
    EXPECT_EQ(listener.connectionCount(), 1);
}

TEST(BasicSocketListenerThreads, RefusedConnectionsAreClosedAtOnce)
{
    struct row_t {
        const char* name;
        int most;
        bool refuse;
        int keptBefore;  // clients that hold a served connection first
    };
    const row_t rows[] = {
        {"createConnection gives null", INT_MAX, true, 0},
        {"maxConnections reached", 1, false, 1},
    };
    for (const row_t& row : rows) {
        SCOPED_TRACE(row.name);
        sharedLock_t lock;
        testListener_t listener(lock, row.most, row.refuse);
        ASSERT_TRUE(listener.listen(0));
        ASSERT_TRUE(listener.waitListening(10000));
        std::vector<std::unique_ptr<plainClient_t>> kept;
        for (int i = 0; i < row.keptBefore; ++i) {
            kept.push_back(std::make_unique<plainClient_t>(listener.listeningPort()));
            kept.back()->send("HI");
            ASSERT_EQ(kept.back()->receive(), "ECHO:HI");
        }
        plainClient_t refused(listener.listeningPort());
        ASSERT_TRUE(refused.connected());
        EXPECT_EQ(refused.receive(), "");  // the end of the link, not a time-out
        EXPECT_EQ(listener.connectionCount(), row.keptBefore);
    }
}

TEST(BasicSocketListenerThreads, ShutdownAndCloseAreQuickAndEndEveryConnection)
{
    struct row_t {
        const char* name;
        bool close;  // closeConnection first, then the destructor
    };
    const row_t rows[] = {{"shutdown", false}, {"closeConnection", true}};
    for (const row_t& row : rows) {
        SCOPED_TRACE(row.name);
        const int threadsBefore = threadCount();
        const int destroyedBefore = connectionsDestroyed.load();
        {
            sharedLock_t lock;
            testListener_t listener(lock);
            ASSERT_TRUE(listener.listen(0));
            ASSERT_TRUE(listener.waitListening(10000));
            // One connection waits for this side after a reply, one sits in its receive.
            plainClient_t talking(listener.listeningPort());
            talking.send("A");
            ASSERT_EQ(talking.receive(), "ECHO:A");
            plainClient_t silent(listener.listeningPort());
            ASSERT_TRUE(waitUntil([&] { return listener.connectionCount() == 2; }));

            const auto start = std::chrono::steady_clock::now();
            if (row.close) {
                listener.closeConnection();
                ASSERT_TRUE(listener.waitClosed(10000));
            } else {
                listener.shutdown();
            }
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
            EXPECT_EQ(connectionsDestroyed.load(), destroyedBefore + 2);
            EXPECT_EQ(listener.connectionCount(), 0);
            EXPECT_FALSE(listener.isServerMode());
            EXPECT_EQ(talking.receive(), "");
            EXPECT_EQ(silent.receive(), "");
        }
        // An ended thread may linger in /proc for a moment after its join.
        EXPECT_TRUE(waitUntil([&] { return threadCount() <= threadsBefore; }));
    }
}

TEST(BasicSocketListenerThreads, FailuresShowTheSocketsBoxAndEndTheListener)
{
    struct box_t {
        HWND owner;
        std::wstring text;
        std::wstring caption;
        unsigned style;
    };
    struct row_t {
        const char* name;
        bool portTaken;
        std::string ourHost;
        std::wstring failure;
        bool listened;  // the loop-back socket listened before the failure
    };
    const row_t rows[] = {
        {"port in use", true, "localhost", L"Bind of localhost socket failed", false},
        {"computer name does not resolve", false, "no-such-host.invalid", L"Failed to get our-host address", true},
    };
    for (const row_t& row : rows) {
        SCOPED_TRACE(row.name);
        std::mutex mutex;
        std::vector<box_t> boxes;
        setMessageBoxHook([&](HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style) {
            std::lock_guard<std::mutex> lock(mutex);
            boxes.push_back({owner, text, caption, style});
            return IDOK;
        });
        scriptedPeer_t holder;  // listens on a port first
        {
            sharedLock_t lock;
            testListener_t listener(lock, INT_MAX, false, row.ourHost);
            ASSERT_TRUE(listener.listen(row.portTaken ? holder.port() : 0));
            EXPECT_TRUE(listener.waitClosed(10000));
            EXPECT_EQ(listener.waitListening(0), row.listened);
        }
        setMessageBoxHook(nullptr);
        ASSERT_EQ(boxes.size(), 1u);
        const box_t& box = boxes[0];
        EXPECT_EQ(box.owner, 0u);
        EXPECT_EQ(box.caption, L"3D Printer TCP/IP Sockets Manager");
        EXPECT_EQ(box.style, MB_OK);
        const std::wstring head = L"Sockets failed: " + row.failure + L"\r\nLast error is: ";
        const std::wstring tail = L"\r\nprogram is non-functional. Please call technical support.";
        EXPECT_EQ(box.text.substr(0, head.size()), head);
        ASSERT_GE(box.text.size(), head.size() + tail.size());
        EXPECT_EQ(box.text.substr(box.text.size() - tail.size()), tail);
    }
}
