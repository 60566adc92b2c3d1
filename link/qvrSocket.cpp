#include "link/qvrSocket.h"

qvrSocket_t::qvrSocket_t(const sharedLock_t& lock) : basicSocket_t(lock) {}

qvrSocket_t::qvrSocket_t(int acceptedSocket, basicSocket_t* listener) : basicSocket_t(acceptedSocket, listener) {}

qvrSocket_t::~qvrSocket_t()
{
    shutdown();
}

std::uint32_t qvrSocket_t::probeInterval() const
{
    return probeInterval_.load();
}

int qvrSocket_t::bufferSize() const
{
    return defaultBufferSize;
}

std::wstring qvrSocket_t::getHost() const
{
    lockGuard_t guard(sharedLock());
    return host_;
}

int qvrSocket_t::getPort() const
{
    lockGuard_t guard(sharedLock());
    return port_;
}

bool qvrSocket_t::isConnected() const
{
    lockGuard_t guard(sharedLock());
    return connected_;
}

bool qvrSocket_t::hasControlAccess() const
{
    lockGuard_t guard(sharedLock());
    return controlAccess_;
}

void qvrSocket_t::setControlAccess(bool on)
{
    lockGuard_t guard(sharedLock());
    controlAccess_ = on;
}

std::wstring qvrSocket_t::userName() const
{
    lockGuard_t guard(sharedLock());
    return userName_;
}

void qvrSocket_t::setUserName(const std::wstring& name)
{
    lockGuard_t guard(sharedLock());
    userName_ = name;
}
