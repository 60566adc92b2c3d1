#include "link/basicSocket.h"

#include "link/childSocketThreadHandle.h"
#include "link/hostResolution.h"
#include "link/socketError.h"
#include "machine/spinWait.h"
#include "machine/systemInfo.h"
#include "platform/lastError.h"
#include "platform/messageBoxHook.h"
#include "platform/waitHook.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A failure that ends the connection thread with the sockets message box.
struct socketFailure_t {
    std::wstring text;
};

[[noreturn]] void fail(const wchar_t* text)
{
    throw socketFailure_t{text};
}

// The same, with the system error of the call that just failed as the last error.
[[noreturn]] void failWithErrno(const wchar_t* text)
{
    setLastSocketError(socketErrorFromErrno(errno));
    throw socketFailure_t{text};
}

// Listening sockets take the kernel's largest backlog.
constexpr int listenBacklog = INT_MAX;
// An answer from this side within this time after a message was handed over
// marks a quick exchange (see receiveLoop). An idle connection answers far
// later (a status poll every few hundred milliseconds).
constexpr std::chrono::milliseconds quickAnswerLimit{1};
// The listener's wait for a connection, per pass.
constexpr int selectTimeoutMs = 10000;
// However large maxConnections() is, a listener runs no more live accepted
// connections (each holds a thread) than this.
constexpr int liveConnectionCap = 1024;

sockaddr_in ipv4Address(std::uint32_t address, int port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(static_cast<std::uint16_t>(port));
    result.sin_addr.s_addr = address;
    return result;
}

int newStreamSocket()
{
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

// On Linux a port whose last connection lingers in TIME_WAIT cannot be bound
// again without this; a port that another socket listens on still cannot.
void allowAddressReuse(int fd)
{
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

int receiveSome(int fd, std::uint8_t* into, int capacity)
{
    for (;;) {
        const ssize_t n = ::recv(fd, into, static_cast<std::size_t>(capacity), 0);
        if (n < 0 && errno == EINTR)
            continue;
        return static_cast<int>(n);
    }
}

// One receive that does not wait, tried again and again for the spin budget:
// true with its result in length when something came (or the link ended).
bool receiveSoon(int fd, std::uint8_t* into, int capacity, int& length)
{
    return spinUntil(
        [&] {
            const ssize_t n = ::recv(fd, into, static_cast<std::size_t>(capacity), MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                return false;
            length = static_cast<int>(n);
            return true;
        },
        exchangeSpinBudget);
}

}  // namespace

basicSocket_t::basicSocket_t(const sharedLock_t& lock) : lock_(lock) {}

basicSocket_t::basicSocket_t(int acceptedSocket, basicSocket_t* listener) : lock_(listener->lock_)
{
    connected_ = true;
    incoming_ = true;
    {
        lockGuard_t guard(lock_);
        owner_ = listener;
        listener->members_.push_back(this);
    }
    mainSocket_.store(acceptedSocket);
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(acceptedSocket, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
        peer.sin_family == AF_INET) {
        char dotted[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &peer.sin_addr, dotted, sizeof dotted) != nullptr)
            host_.assign(dotted, dotted + std::char_traits<char>::length(dotted));
        // Kept in host byte order; the client device copies it as it is.
        port_ = ntohs(peer.sin_port);
    }
}

basicSocket_t::~basicSocket_t()
{
    shutdown();
}

int basicSocket_t::maxConnections() const
{
    return INT_MAX;
}

void basicSocket_t::onConnected() {}

int basicSocket_t::onDisconnected()
{
    return 0;
}

void basicSocket_t::onConnectFailed() {}

void basicSocket_t::onMessage(socketBytes_t) {}

basicSocket_t* basicSocket_t::createConnection(int)
{
    return nullptr;
}

messageCompleteness_e basicSocket_t::messageCompleteness(const socketBytes_t&)
{
    return messageComplete_e;
}

bool basicSocket_t::connect(const std::wstring& host, int port)
{
    lockGuard_t guard(lock_);
    if (connectionThread_ != nullptr)
        return true;
    if (shutdownStarted_ || incoming_)
        return false;
    if (host.empty()) {
        host_ = L"localhost";
        localHost_ = true;
    } else {
        host_ = host;
    }
    port_ = port;
    serverMode_ = false;
    return startOwnThread();
}

bool basicSocket_t::listen(int port)
{
    lockGuard_t guard(lock_);
    if (connectionThread_ != nullptr)
        return true;
    if (shutdownStarted_ || incoming_)
        return false;
    port_ = port;
    serverMode_ = true;
    host_ = L"localhost";
    localHost_ = true;
    // The listener's wait for connections also watches this pipe, so that
    // closing the listener wakes it at once.
    if (wakePipe_[0] < 0 && ::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakePipe_[0] = -1;
        wakePipe_[1] = -1;
    }
    return startOwnThread();
}

bool basicSocket_t::startOwnThread()
{
    auto thread = std::make_unique<threadHandle_t>();
    if (thread->start(&threadProc, this) == INVALID_HANDLE_VALUE)
        return false;
    connectionThread_ = std::move(thread);
    return true;
}

unsigned basicSocket_t::threadProc(void* argument)
{
    static_cast<basicSocket_t*>(argument)->threadMain();
    return 0;
}

void basicSocket_t::threadMain()
{
    if (incoming_) {
        receiveLoop();
        // Last act: whoever deletes this connection waits for this event.
        closed_.set();
        return;
    }
    bool server;
    {
        lockGuard_t guard(lock_);
        server = serverMode_;
    }
    try {
        if (server)
            runListener();
        else
            runOutgoing();
    } catch (const socketFailure_t& failure) {
        std::wstring text = L"Sockets failed: ";
        text += failure.text;
        text += L"\r\nLast error is: ";
        text += lastErrorText();
        text += L"\r\nprogram is non-functional. Please call technical support.";
        showMessageBox(0, text, L"3D Printer TCP/IP Sockets Manager", MB_OK);
    }
    if (server)
        closed_.set();
}

int basicSocket_t::connectWithStop(int fd, std::uint32_t address, int port)
{
    // Connect without blocking, so that closing the socket (stop event) ends
    // a connection attempt to a host that does not answer.
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    const sockaddr_in peer = ipv4Address(address, port);
    int err = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        err = errno;
        if (err == EINPROGRESS || err == EINTR) {
            err = 0;
            for (;;) {
                if (stop_.isSet()) {
                    err = EINTR;
                    break;
                }
                pollfd ready{fd, POLLOUT, 0};
                const int r = ::poll(&ready, 1, 100);
                if (r < 0 && errno == EINTR)
                    continue;
                if (r < 0) {
                    err = errno;
                    break;
                }
                if (r == 0)
                    continue;
                socklen_t length = sizeof err;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &length) != 0)
                    err = errno;
                break;
            }
        }
    }
    ::fcntl(fd, F_SETFL, flags);
    return socketErrorFromErrno(err);
}

void basicSocket_t::runOutgoing()
{
    const int fd = newStreamSocket();
    if (fd < 0)
        failWithErrno(L"Failed to create main connection socket");
    std::wstring host;
    int port;
    {
        lockGuard_t guard(lock_);
        mainSocket_.store(fd);
        // Closed before the connection was tried.
        if (stop_.isSet()) {
            closed_.set();
            return;
        }
        host = host_;
        port = port_;
    }
    const std::wstring address = resolveHostAddress(host);
    if (address.empty()) {
        // No call-back and no event: the owner's retry rule applies. The
        // resolver's error is kept for whoever asks why.
        lockGuard_t guard(lock_);
        lastError_ = static_cast<int>(getLastError());
        return;
    }
    const bool local = isLocalAddress(address);
    {
        lockGuard_t guard(lock_);
        if (local) {
            localHost_ = true;
            host_ = L"localhost";
        }
    }
    const int err = connectWithStop(fd, addressFromText(address), port);
    if (err != 0 && err != WSAEWOULDBLOCK) {
        {
            lockGuard_t guard(lock_);
            lastError_ = err;
        }
        setLastSocketError(err);
        closed_.set();
        onConnectFailed();
        return;
    }
    {
        lockGuard_t guard(lock_);
        connected_ = true;
    }
    receiveLoop();
    closed_.set();
}

void basicSocket_t::receiveLoop()
{
    const int capacity = std::max(bufferSize(), 1);
    buffer_.assign(static_cast<std::size_t>(capacity) + 2, 0);
    onConnected();
    const int fd = mainSocket_.load();
    bool quickAnswers = false;
    for (;;) {
        dataSent_.reset();
        if (stop_.isSet())
            break;
        // In a quick exchange the answer is looked for a while before the
        // thread sleeps in the socket, so that its arrival need not wake it.
        int length = -1;
        if (!(quickAnswers && receiveSoon(fd, buffer_.data(), capacity, length)))
            length = receiveSome(fd, buffer_.data(), capacity);
        if (length < 1) {
            receivedLength_.store(length);
            break;
        }
        const bool linkEnded = !completeMessage(fd, length, capacity);
        buffer_[static_cast<std::size_t>(length)] = 0;
        buffer_[static_cast<std::size_t>(length) + 1] = 0;
        receivedLength_.store(length);
        dataArrived_.set();
        onMessage(socketBytes_t(buffer_.data(), static_cast<std::size_t>(length)));
        // A link that ended inside the message is over now, not at the next
        // receive after this side's send.
        if (stop_.isSet() || linkEnded)
            break;
        // Strict alternation: the next receive waits for this side's send.
        // When this side answered the last message within a moment, it is
        // in a quick exchange and will likely answer this one as fast: the
        // send is waited for on the processor for up to the spin budget, so
        // that the sender need not wake this thread.
        const auto handedOver = std::chrono::steady_clock::now();
        if (quickAnswers)
            spinUntil([this] { return dataSent_.peek(); }, exchangeSpinBudget);
        while (!dataSent_.wait(probeInterval())) {
            const ssize_t sent = ::send(fd, buffer_.data(), 0, MSG_NOSIGNAL);
            probeCount_.fetch_add(1);
            if (sent != 0)
                break;  // a dead link: the next receive ends the loop
        }
        quickAnswers = std::chrono::steady_clock::now() - handedOver < quickAnswerLimit;
    }
    onDisconnected();
}

bool basicSocket_t::completeMessage(int fd, int& length, int capacity)
{
    using clock = std::chrono::steady_clock;
    auto lastArrival = clock::now();
    while (length < capacity &&
           messageCompleteness(socketBytes_t(buffer_.data(), static_cast<std::size_t>(length))) ==
               messageIncomplete_e) {
        if (stop_.isSet())
            return true;
        const auto quiet =
            std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - lastArrival).count();
        if (quiet >= static_cast<long long>(reassemblyGapMs))
            return true;
        pollfd ready{fd, POLLIN, 0};
        const int r = ::poll(&ready, 1, static_cast<int>(reassemblyGapMs - quiet));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return true;  // hand over what arrived
        const int n = receiveSome(fd, buffer_.data() + length, capacity - length);
        if (n < 1)
            return false;  // the link ended: hand over what arrived
        length += n;
        lastArrival = clock::now();
    }
    return true;
}

void basicSocket_t::runListener()
{
    const int fd = newStreamSocket();
    if (fd < 0)
        failWithErrno(L"Failed to create localhost socket");
    std::wstring host;
    int port;
    {
        lockGuard_t guard(lock_);
        mainSocket_.store(fd);
        host = host_;
        port = port_;
    }
    const std::wstring address = resolveHostAddress(host);
    if (address.empty())
        fail(L"Failed to get address for localhost");
    if (isLocalAddress(address)) {
        lockGuard_t guard(lock_);
        localHost_ = true;
        host_ = L"localhost";
    }
    allowAddressReuse(fd);
    const sockaddr_in local = ipv4Address(addressFromText(address), port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        failWithErrno(L"Bind of localhost socket failed");
    if (::listen(fd, listenBacklog) != 0)
        failWithErrno(L"Listen to localhost socket failed");
    if (port == 0) {
        // An ephemeral port: this computer's own address listens on the same one.
        sockaddr_in bound{};
        socklen_t length = sizeof bound;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) == 0)
            port = ntohs(bound.sin_port);
        lockGuard_t guard(lock_);
        port_ = port;
    }
    listening_.set();
    const int second = newStreamSocket();
    if (second < 0)
        failWithErrno(L"Failed to create our-host socket");
    {
        lockGuard_t guard(lock_);
        secondSocket_.store(second);
        // Closed while the sockets were made.
        if (stop_.isSet() && second >= 0)
            ::shutdown(second, SHUT_RDWR);
    }
    int wakeRead;
    {
        lockGuard_t guard(lock_);
        wakeRead = wakePipe_[0];
    }

    for (;;) {
        {
            lockGuard_t guard(lock_);
            if (stop_.isSet() || !serverMode_)
                break;
        }
        if (!secondListening_)
            tryOurHostSocket(port);

        // Only sockets that listen join the set: on Linux a socket that does
        // not listen reads as ready and would make the loop spin.
        pollfd set[3];
        nfds_t count = 0;
        set[count++] = pollfd{fd, POLLIN, 0};
        const nfds_t secondIndex = count;
        if (secondListening_)
            set[count++] = pollfd{second, POLLIN, 0};
        const nfds_t wakeIndex = count;
        if (wakeRead >= 0)
            set[count++] = pollfd{wakeRead, POLLIN, 0};
        const int r = ::poll(set, count, selectTimeoutMs);
        if (r == 0)
            continue;
        if (r < 0) {
            if (errno == EINTR)
                continue;
            failWithErrno(L"Call to select failed");
        }
        if (wakeRead >= 0 && set[wakeIndex].revents != 0) {
            char drain[64];
            while (::read(wakeRead, drain, sizeof drain) > 0) {
            }
        }
        int accepted = -1;
        bool acceptedLocal = false;
        bool tried = false;
        if ((set[0].revents & POLLIN) != 0) {
            tried = true;
            accepted = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
            acceptedLocal = true;
        } else if (secondListening_ && (set[secondIndex].revents & POLLIN) != 0) {
            tried = true;
            accepted = ::accept4(second, nullptr, nullptr, SOCK_CLOEXEC);
        }
        if (accepted < 0) {
            // Out of descriptors or memory: the pending connection stays
            // ready, so pause instead of spinning.
            if (tried && (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM))
                stop_.wait(100);
            continue;
        }
        lockGuard_t guard(lock_);
        if (!stop_.isSet() && serverMode_) {
            const int live = static_cast<int>(std::count_if(connections_.begin(), connections_.end(),
                                                            [](basicSocket_t* c) { return !c->closed_.isSet(); }));
            if (static_cast<int>(connections_.size()) < maxConnections() && live < liveConnectionCap) {
                basicSocket_t* connection = createConnection(accepted);
                if (connection != nullptr) {
                    accepted = -1;  // the connection owns it now
                    connection->localHost_ = acceptedLocal;
                    addConnection(connection);
                    handOverLocked(connection);
                }
            }
        }
        if (accepted >= 0)
            ::close(accepted);
    }
}

std::string basicSocket_t::ourHostName() const
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        name[0] = 0;
    return std::string(name);
}

void basicSocket_t::tryOurHostSocket(int port)
{
    const std::wstring address = resolveHostAddress(ourHostName());
    if (address.empty())
        fail(L"Failed to get our-host address");
    const int second = secondSocket_.load();
    allowAddressReuse(second);
    const sockaddr_in local = ipv4Address(addressFromText(address), port);
    // Fails for ever when the computer's name is the loop-back address, whose
    // port the main socket holds; tried again in every pass.
    if (::bind(second, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return;
    if (::listen(second, listenBacklog) != 0)
        failWithErrno(L"Listen to our-host socket failed");
    secondListening_ = true;
}

void basicSocket_t::handOverLocked(basicSocket_t* connection)
{
    for (childSocketThreadHandle_t* worker : workers_) {
        if (worker->idle()) {
            worker->pending_ = connection;
            worker->event_.set();
            return;
        }
    }
    if (static_cast<int>(workers_.size()) < maxConnections()) {
        auto* worker = new childSocketThreadHandle_t(this, connection);
        if (worker->startThread()) {
            workers_.push_back(worker);
            return;
        }
        delete worker;
    }
    connection->startOwnThread();
}

void basicSocket_t::forgetLocked(const basicSocket_t* connection)
{
    for (childSocketThreadHandle_t* worker : workers_) {
        if (worker->pending_ == connection)
            worker->pending_ = nullptr;
        if (worker->running_ == connection)
            worker->running_ = nullptr;  // busy_ stays until the run ends
    }
}

bool basicSocket_t::send(const void* bytes, int length)
{
    bool complete = true;
    {
        std::lock_guard<std::mutex> sending(sendMutex_);
        const int fd = mainSocket_.load();
        if (fd < 0 || length < 0 || (bytes == nullptr && length > 0)) {
            complete = false;
        } else if (length == 0) {
            complete = ::send(fd, "", 0, MSG_NOSIGNAL) == 0;
        } else {
            const auto* next = static_cast<const char*>(bytes);
            std::size_t left = static_cast<std::size_t>(length);
            // One message, however many calls the kernel needs to take it.
            while (left > 0) {
                const ssize_t n = ::send(fd, next, left, MSG_NOSIGNAL);
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    complete = false;
                    break;
                }
                next += n;
                left -= static_cast<std::size_t>(n);
            }
        }
    }
    dataSent_.set();
    return complete;
}

bool basicSocket_t::waitForData(DWORD ms)
{
    return dataArrived_.wait(ms);
}

socketBytes_t basicSocket_t::receivedMessage() const
{
    const int length = receivedLength_.load();
    if (length <= 0)
        return socketBytes_t();
    return socketBytes_t(buffer_.data(), static_cast<std::size_t>(length));
}

void basicSocket_t::wakeListener()
{
    lockGuard_t guard(lock_);
    if (wakePipe_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakePipe_[1], &byte, 1);
    }
}

void basicSocket_t::closeConnection()
{
    std::vector<basicSocket_t*> doomed;
    {
        lockGuard_t guard(lock_);
        serverMode_ = false;
        doomed.swap(connections_);
        for (basicSocket_t* connection : doomed)
            forgetLocked(connection);
    }
    // Outside the lock: a connection's destructor waits for its thread.
    for (basicSocket_t* connection : doomed)
        delete connection;
    {
        lockGuard_t guard(lock_);
        serverMode_ = false;
        stop_.set();
        // Also wakes the receive loop's wait for this side.
        dataSent_.set();
        // shutdown, not close: it wakes a thread blocked in the socket, and
        // the descriptor number cannot be reused while the thread may use it.
        if (mainSocket_.load() >= 0)
            ::shutdown(mainSocket_.load(), SHUT_RDWR);
        if (secondSocket_.load() >= 0)
            ::shutdown(secondSocket_.load(), SHUT_RDWR);
        connected_ = false;
    }
    wakeListener();
}

void basicSocket_t::shutdown()
{
    {
        lockGuard_t guard(lock_);
        if (shutdownStarted_)
            return;
        shutdownStarted_ = true;
        serverMode_ = false;
        stop_.set();
        dataSent_.set();
        if (mainSocket_.load() >= 0)
            ::shutdown(mainSocket_.load(), SHUT_RDWR);
        if (secondSocket_.load() >= 0)
            ::shutdown(secondSocket_.load(), SHUT_RDWR);
    }
    wakeListener();

    // The connection thread first: a listener accepts nothing more after it.
    std::unique_ptr<threadHandle_t> thread;
    {
        lockGuard_t guard(lock_);
        thread = std::move(connectionThread_);
    }
    thread.reset();  // waits for it

    std::vector<basicSocket_t*> doomed;
    {
        lockGuard_t guard(lock_);
        doomed.swap(connections_);
        for (basicSocket_t* connection : doomed)
            forgetLocked(connection);
    }
    for (basicSocket_t* connection : doomed)
        delete connection;

    // An accepted connection: leave the listener, and wait for the worker
    // that runs it (a pending one no longer picks it up).
    bool onWorker;
    {
        lockGuard_t guard(lock_);
        if (owner_ != nullptr) {
            auto& list = owner_->connections_;
            list.erase(std::remove(list.begin(), list.end(), this), list.end());
            auto& members = owner_->members_;
            members.erase(std::remove(members.begin(), members.end(), this), members.end());
            owner_->forgetLocked(this);
            owner_ = nullptr;
        }
        onWorker = worker_ != nullptr;
    }
    if (onWorker)
        waitWithoutLimit([this](std::uint32_t ms) { return closed_.wait(ms); });

    // Workers: connections that still run on them (taken out of the list
    // but not deleted) are closed, so that every worker can end; connections
    // that outlive this listener forget it.
    std::vector<childSocketThreadHandle_t*> workers;
    {
        lockGuard_t guard(lock_);
        workers.swap(workers_);
        for (childSocketThreadHandle_t* worker : workers) {
            if (worker->running_ != nullptr)
                worker->running_->closeConnection();
        }
        for (basicSocket_t* member : members_)
            member->owner_ = nullptr;
        members_.clear();
    }
    for (childSocketThreadHandle_t* worker : workers) {
        worker->event_.set();
        delete worker;  // waits for its thread
    }

    closeDescriptors();
    receivedLength_.store(0);
    buffer_.clear();
    buffer_.shrink_to_fit();
    lockGuard_t guard(lock_);
    shutDown_ = true;
}

void basicSocket_t::closeDescriptors()
{
    {
        std::lock_guard<std::mutex> sending(sendMutex_);
        const int main = mainSocket_.exchange(-1);
        if (main >= 0)
            ::close(main);
        const int second = secondSocket_.exchange(-1);
        if (second >= 0)
            ::close(second);
    }
    lockGuard_t guard(lock_);
    for (int& end : wakePipe_) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

bool basicSocket_t::isShutDown() const
{
    lockGuard_t guard(lock_);
    return shutDown_;
}

bool basicSocket_t::localHostFlag() const
{
    lockGuard_t guard(lock_);
    return localHost_;
}

bool basicSocket_t::isServerMode() const
{
    lockGuard_t guard(lock_);
    return serverMode_;
}

int basicSocket_t::lastSocketError() const
{
    lockGuard_t guard(lock_);
    return lastError_;
}

basicSocket_t* basicSocket_t::owner() const
{
    lockGuard_t guard(lock_);
    return owner_;
}

bool basicSocket_t::waitListening(DWORD ms)
{
    waitForAnyEvent({&listening_, &closed_}, ms);
    return listening_.isSet();
}

int basicSocket_t::listeningPort() const
{
    lockGuard_t guard(lock_);
    return port_;
}

void basicSocket_t::addConnection(basicSocket_t* connection)
{
    lockGuard_t guard(lock_);
    connections_.push_back(connection);
    if (connection->owner_ != this) {
        if (connection->owner_ != nullptr) {
            auto& old = connection->owner_->members_;
            old.erase(std::remove(old.begin(), old.end(), connection), old.end());
        }
        connection->owner_ = this;
        members_.push_back(connection);
    }
}

bool basicSocket_t::hasConnection(const basicSocket_t* connection) const
{
    lockGuard_t guard(lock_);
    return std::find(connections_.begin(), connections_.end(), connection) != connections_.end();
}

void basicSocket_t::removeConnection(basicSocket_t* connection)
{
    lockGuard_t guard(lock_);
    const auto found = std::find(connections_.begin(), connections_.end(), connection);
    if (found == connections_.end())
        return;
    connections_.erase(found);
    // Not to be picked up any more; a run in progress goes on.
    for (childSocketThreadHandle_t* worker : workers_) {
        if (worker->pending_ == connection)
            worker->pending_ = nullptr;
    }
}

void basicSocket_t::removeAndDeleteConnection(basicSocket_t* connection)
{
    {
        lockGuard_t guard(lock_);
        const auto found = std::find(connections_.begin(), connections_.end(), connection);
        // Only a listed connection is ours to delete.
        if (found == connections_.end())
            return;
        connections_.erase(found);
        forgetLocked(connection);
    }
    delete connection;
}

void basicSocket_t::purgeConnections()
{
    std::vector<basicSocket_t*> doomed;
    {
        lockGuard_t guard(lock_);
        const auto closed = std::stable_partition(connections_.begin(), connections_.end(),
                                                  [](basicSocket_t* c) { return !c->closed_.isSet(); });
        doomed.assign(closed, connections_.end());
        connections_.erase(closed, connections_.end());
        for (basicSocket_t* connection : doomed)
            forgetLocked(connection);
    }
    for (basicSocket_t* connection : doomed)
        delete connection;
}

int basicSocket_t::connectionCount() const
{
    lockGuard_t guard(lock_);
    return static_cast<int>(connections_.size());
}

int basicSocket_t::workerCount() const
{
    lockGuard_t guard(lock_);
    return static_cast<int>(workers_.size());
}

int basicSocket_t::idleWorkerCount() const
{
    lockGuard_t guard(lock_);
    return static_cast<int>(std::count_if(workers_.begin(), workers_.end(),
                                          [](const childSocketThreadHandle_t* w) { return w->idle(); }));
}
