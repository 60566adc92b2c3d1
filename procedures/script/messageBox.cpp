#include "procedures/script/messageBox.h"

#include "platform/messageBoxHook.h"
#include "platform/winConstants.h"

std::int32_t messageBox_t::exec()
{
    showMessageBox(HWND{}, L"Batch is paused. Press any key to continue.", L"Dorvanel Batch Parser",
                   MB_OK | MB_ICONINFORMATION);
    return 0;
}
