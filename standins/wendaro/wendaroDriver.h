// wendaroDriver_t: Wendaro.exe's role as the USB driver program, as the
// installer and the technician program know it:
// - while it runs it holds the mutex "Wendaro is OK mutex"; a second
//   instance finds it held and leaves quietly;
// - the value "To Close Master Program?" under "SOFTWARE\Brevanquillor\Ondrel"
//   (current user) set to 1 asks it to close: it clears the value, stops
//   serving, releases the mutex and exits; a 1 left over from before is
//   cleared at start;
// - started with "/c" it only sets that value, and only when another
//   instance holds the mutex;
// - it writes "Wendaro.log" in the data root.
// Only the program uses this; an in-process server never takes the mutex.
#pragma once
#include "platform/namedMutex.h"

#include <memory>
#include <mutex>
#include <string>

class wendaroDriver_t {
public:
    static constexpr wchar_t mutexName[] = L"Wendaro is OK mutex";
    static constexpr wchar_t closeKey[] = L"SOFTWARE\\Brevanquillor\\Ondrel";
    static constexpr wchar_t closeValueName[] = L"To Close Master Program?";

    // The log goes to dataRoot + "/Wendaro.log".
    explicit wendaroDriver_t(std::wstring dataRoot);
    ~wendaroDriver_t();
    wendaroDriver_t(const wendaroDriver_t&) = delete;
    wendaroDriver_t& operator=(const wendaroDriver_t&) = delete;

    // "/c": sets the close request when another instance runs; true when
    // one did.
    static bool askRunningInstanceToClose();
    // False (and nothing held) when another instance holds the mutex.
    bool takeMutex();
    void releaseMutex();
    bool holdsMutex() const { return mutex_ != nullptr; }

    static bool closeRequested();
    static void clearCloseRequest();

    std::wstring logPath() const;
    // One line "date hh:mm:ss text"; failures lose the line only.
    void log(const std::wstring& text);

private:
    std::wstring dataRoot_;
    std::unique_ptr<namedMutex_t> mutex_;
    std::mutex logMutex_;
};
