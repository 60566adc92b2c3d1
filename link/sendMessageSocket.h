// sendMessageSocket_t: a one-shot text message to the user of another
// computer, through that computer's machines server. The server greets; this
// socket answers the greeting with "TEXTMESSAGE" and the message instead of a
// connect word, and counts the server's next message, whatever it is, as
// delivery.
//
//   bool delivered = sendTextMessage(L"WORKSHOP-PC", L"Model finished");
//
// Threads: the socket thread sends and sets the flags (under the shared
// lock); the caller waits for the reply event and reads the flags.
#pragma once
#include "link/qvrSocket.h"
#include "machine/event.h"

#include <string>

class sendMessageSocket_t : public qvrSocket_t {
public:
    static constexpr int defaultPort = 8722;
    // The longest wait of sendTextMessage for the server's answer.
    static constexpr DWORD replyWaitMs = 5000;

    // Starts connecting to the host at once.
    sendMessageSocket_t(const std::wstring& host, const std::wstring& text, const sharedLock_t& lock,
                        int port = defaultPort);
    ~sendMessageSocket_t() override;

    void onConnectFailed() override;
    void onMessage(socketBytes_t message) override;
    // A link that ends brings no answer any more: the waiter need not wait.
    int onDisconnected() override;

    // Waits up to ms for the server's answer (or the failed connect); the
    // result is whether the message was delivered.
    bool wait(DWORD ms);
    bool isSent() const;
    bool isDelivered() const;

private:
    std::wstring text_;
    bool sent_ = false;       // under the shared lock
    bool delivered_ = false;  // under the shared lock
    event_t reply_{true, false};
};

// Sends the text to the user of the host's machines server and waits up to
// 5000 ms for the answer; true when it was delivered. The port is the
// machines servers' (8722) unless a test asks another.
bool sendTextMessage(const std::wstring& host, const std::wstring& text,
                     int port = sendMessageSocket_t::defaultPort);
