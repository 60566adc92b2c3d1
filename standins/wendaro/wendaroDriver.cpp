#include "standins/wendaro/wendaroDriver.h"

#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/longnameStream.h"
#include "machine/registryUtils.h"
#include "machine/timeTexts.h"
#include "platform/codePage.h"

#include <ctime>

wendaroDriver_t::wendaroDriver_t(std::wstring dataRoot) : dataRoot_(std::move(dataRoot)) {}

wendaroDriver_t::~wendaroDriver_t() { releaseMutex(); }

bool wendaroDriver_t::askRunningInstanceToClose()
{
    if (!namedMutexExists(mutexName))
        return false;
    regWriteInt(closeKey, closeValueName, 1, HKEY_CURRENT_USER);
    return true;
}

bool wendaroDriver_t::takeMutex()
{
    if (mutex_)
        return true;
    bool existed = false;
    auto mutex = std::make_unique<namedMutex_t>(mutexName, &existed);
    if (!mutex->isValid() || existed)
        return false;
    mutex_ = std::move(mutex);
    return true;
}

void wendaroDriver_t::releaseMutex() { mutex_.reset(); }

bool wendaroDriver_t::closeRequested()
{
    return regReadInt(closeKey, closeValueName, 0, HKEY_CURRENT_USER) == 1;
}

void wendaroDriver_t::clearCloseRequest() { regWriteInt(closeKey, closeValueName, 0, HKEY_CURRENT_USER); }

std::wstring wendaroDriver_t::logPath() const { return dataRoot_ + L"/" + driverLogFileName; }

void wendaroDriver_t::log(const std::wstring& text)
{
    std::lock_guard<std::mutex> guard(logMutex_);
    createFolder(dataRoot_);
    const std::time_t now = std::time(nullptr);
    std::wstring line = formatDate(now) + L" " + formatLocalTime(now, L"%H:%M:%S") + L" " + text;
    std::string ascii;
    for (wchar_t c : line)
        ascii += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    // Text mode: the line end goes out as CR LF.
    basic_longname_ofstream<char> out(logPath(), std::ios_base::out | std::ios_base::app);
    if (out.is_open())
        out << ascii << '\n';
}
