#include "machine/qt/shellFunctions.h"

#include "platform/qt/fileDialogHook.h"
#include "platform/qt/qtWindowSink.h"
#include "platform/windowTable.h"

#include <QWidget>

void bringToFront(HWND window)
{
    bringWindowToFront(window);
}

std::wstring browseForFolder(HWND owner, const std::wstring& title)
{
    fileDialogRequest_t request;
    request.kind = fileDialogRequest_t::folder_e;
    if (isWindow(owner))
        if (QWidget* widget = widgetForWindow(owner))
            request.parent = widget->window();
    request.title = title;
    return runFileDialog(request).value_or(std::wstring());
}
