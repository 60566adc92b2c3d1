// A named mutex as the system uses one: created by name, with "already
// existed" when another holder (in any process) has it; released when the
// holder closes it or its process ends. A lock file per name in the
// prefix's objects/ folder; the kernel drops the locks of a dead process.
// Ownership waits are not needed by the system and not provided.
#pragma once
#include <string>

class namedMutex_t {
public:
    // Creates or opens the mutex; *alreadyExisted (when given) tells whether
    // another handle held it at that moment. Names are case-sensitive.
    explicit namedMutex_t(const std::wstring& name, bool* alreadyExisted = nullptr);
    ~namedMutex_t();
    namedMutex_t(const namedMutex_t&) = delete;
    namedMutex_t& operator=(const namedMutex_t&) = delete;
    bool isValid() const { return fd_ >= 0; }
    void close();

private:
    int fd_ = -1;
};

// Whether any handle (in any process) holds the mutex of that name.
bool namedMutexExists(const std::wstring& name);
