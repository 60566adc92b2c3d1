#include "link/sendMessageSocket.h"

#include "link/inputStream.h"
#include "link/qvrClientSocket.h"
#include "link/socketRequestStream.h"
#include "machine/systemInfo.h"
#include "machine/textMessage.h"

sendMessageSocket_t::sendMessageSocket_t(const std::wstring& host, const std::wstring& text,
                                         const sharedLock_t& lock, int port)
    : qvrSocket_t(lock), text_(text)
{
    setUserName(getUserName());
    connect(host, port);
}

sendMessageSocket_t::~sendMessageSocket_t()
{
    // The socket thread calls back into this object; it ends first.
    shutdown();
}

void sendMessageSocket_t::onConnectFailed()
{
    reply_.set();
}

int sendMessageSocket_t::onDisconnected()
{
    reply_.set();
    return 0;
}

void sendMessageSocket_t::onMessage(socketBytes_t message)
{
    bool sent;
    {
        lockGuard_t guard(sharedLock());
        sent = sent_;
        if (sent)
            delivered_ = true;
    }
    if (!sent) {
        inputStream_t in(message.data(), static_cast<std::int32_t>(message.size()));
        if (in.readString() == qvrClientSocket_t::greetingWord) {
            textMessage_t note;
            note.user = userName();
            note.host = getComputerName();
            note.text = text_;
            socketRequestStream_t request(L"TEXTMESSAGE");
            request << note;
            {
                // Marked before it goes: the answer may come at once.
                lockGuard_t guard(sharedLock());
                sent_ = true;
            }
            const std::uint8_t* bytes = request.bytes();
            const std::int32_t length = request.length();
            if (length <= 0 || !send(bytes, length)) {
                // Nothing (or not all of it) went out: no answer will come.
                stop_.set();
                reply_.set();
            }
            // The connection stays up for the server's answer.
            return;
        }
    }
    stop_.set();
    reply_.set();
}

bool sendMessageSocket_t::wait(DWORD ms)
{
    reply_.wait(ms);
    return isDelivered();
}

bool sendMessageSocket_t::isSent() const
{
    lockGuard_t guard(sharedLock());
    return sent_;
}

bool sendMessageSocket_t::isDelivered() const
{
    lockGuard_t guard(sharedLock());
    return delivered_;
}

bool sendTextMessage(const std::wstring& host, const std::wstring& text, int port)
{
    const sharedLock_t lock;
    sendMessageSocket_t socket(host, text, lock, port);
    // Destroying the socket afterwards waits for its thread.
    return socket.wait(sendMessageSocket_t::replyWaitMs);
}
