#include "machine/messageTable.h"
#include "machine/globalNames.h"
#include "platform/codePage.h"
#include <cstring>
#include <mutex>

namespace {

// The printer's texts by code 1 to 88, as its front panel shows them.
const char* const printerTexts[messageTable_t::lastCode] = {
    "READY",
    "ERROR:",
    "NO MODEL",
    "LOADING...",
    "BUS ERROR",
    "ILLEGAL INST.",
    "NON-INITIALIZED",
    "PAUSED",
    "MODEL COMPLETED. OPEN DOOR AND SELECT LIFT MODEL",
    "REMOVE MODEL,",
    "REMOVE PREVIOUS MODEL",
    "PLACE MAGNET & CLOSE DOOR",
    "PLEASE OPEN DOOR",
    "LIFTING MODEL",
    "PLEASE WAIT...",
    "BATCH",
    "INITIALIZING...",
    "SLEEP",
    "BUILDING...",
    "CANCELLING...",
    "XY HOME ERROR",
    "Z HOME ERROR",
    "PUMP HOME ERROR",
    "UNFEED ERROR",
    "MOTOR PROTECTION",
    "INIT FAILED",
    "START BUILD ERROR",
    "DOOR OPEN ERROR",
    "ILLEGAL PARAMETER",
    "HEIGHT CHECK ERROR",
    "TRIMMING ERROR",
    "TAKE TOOL ERROR",
    "RETURN TOOL ERROR",
    "FEEDING ERROR",
    "HOOK ERROR",
    "IRON HOME ERROR",
    "NO MEDIA",
    "IRONING ERROR",
    "NO MEDIA",
    "HEIGHT CHECK ERR",
    "LOW MEDIA",
    "REPLACE KIT AND PRESS RESUME",
    "FATAL ERROR",
    "WARMING UP...",
    "WAITING FOR DATA",
    "TRIM LAYER?",
    "NO MAGNET ERROR",
    "REPLACE CUTTING KNIFE",
    "REPLACE TRIMMING KNIFE",
    "TERMOMETER FAILURE",
    "REPLACED KIT?",
    "DOOR TOTAL ERROR",
    "ADJUST MAGNETIC PAD",
    "RESUME MODEL?",
    "CHECK PEN AND",
    "RETURN TO PLACE",
    "MAIN MENU",
    "<-- GO BACK",
    "EXIT MENU",
    "YES",
    "NO",
    "CONSUMABLES",
    "INITIALIZE",
    "UN-FEED MEDIA",
    "CANCEL MODEL",
    "CANCEL NOW",
    "FINISH LAYER?",
    "SETUP",
    "MOTOR MOVES",
    "HOME XY",
    "HOME IRON",
    "UNHOOK IRON",
    "HOME FEEDER",
    "HOME Z",
    "TRIM LAYER",
    "CHECK HEIGHT",
    "RETURN TOOL",
    "FEED LAYER",
    "IRON LAYER",
    "LIFT MODEL",
    "MAINTENANCE",
    "BUILD TEST MODEL",
    "USB SPEED",
    "FAST",
    "SLOW",
    "FIRMWARE VERSION",
    "(Current Version)",
    "CHECK KNIFE",
};

std::once_flag textsFilled;

}  // namespace

void messageTable_t::fillSharedTexts()
{
    // Devices may be made on several threads; the buffer is written once,
    // before any table reads it.
    std::call_once(textsFilled, [] {
        char* buffer = messageTextBuffer();
        for (std::int32_t code = firstCode; code <= lastCode; ++code) {
            char* entry = buffer + code * messageTextEntrySize;
            std::strncpy(entry, printerTexts[code - 1], messageTextEntrySize - 1);
            entry[messageTextEntrySize - 1] = '\0';
        }
    });
}

messageTable_t::messageTable_t()
{
    fillSharedTexts();
    bindPage();
}

void messageTable_t::bindPage() { page_ = ::bindPage(pageIndex_); }

std::string messageTable_t::text(std::int32_t code) const
{
    if (page_ == nullptr || code < firstCode || code > lastCode)
        return "INVALID STRING";
    return std::string(page_ + code * messageTextEntrySize);
}

std::wstring messageTable_t::getMessageText(std::int32_t code) const
{
    if (page_ == nullptr || code < firstCode || code > lastCode)
        return L"Unknown";
    return ansiToWide(text(code));
}
