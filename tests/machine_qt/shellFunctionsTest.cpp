#include "machine/qt/shellFunctions.h"
#include "platform/qt/fileDialogHook.h"
#include "platform/qt/qtWindowSink.h"
#include "platform/qt/processEventsUntil.h"

#include <QDialog>
#include <QWidget>
#include <gtest/gtest.h>

TEST(ShellFunctionsWidget, BrowsingForAFolderGoesThroughTheFileDialogHook)
{
    QDialog ownerDialog;
    qtWindowSink_t owner(&ownerDialog, {});
    struct caseRow_t {
        HWND owner;
        std::optional<std::wstring> answer;
        std::wstring expected;
        QWidget* parent;
    };
    const caseRow_t rows[] = {
        {owner.handle(), std::wstring(L"C:\\QVR_Printers\\12"), L"C:\\QVR_Printers\\12", &ownerDialog},
        {owner.handle(), std::nullopt, L"", &ownerDialog},  // cancelled
        {HWND(0), std::wstring(L"Z:\\tmp"), L"Z:\\tmp", nullptr},
    };
    for (const auto& row : rows) {
        fileDialogRequest_t seen;
        setFileDialogHook([&](const fileDialogRequest_t& request) {
            seen = request;
            return row.answer;
        });
        EXPECT_EQ(browseForFolder(row.owner, L"Select the data folder"), row.expected);
        EXPECT_EQ(seen.kind, fileDialogRequest_t::folder_e);
        EXPECT_EQ(seen.title, L"Select the data folder");
        EXPECT_EQ(seen.parent, row.parent);
    }
    setFileDialogHook({});
}

TEST(ShellFunctionsWidget, BringingToFrontShowsARegisteredWindow)
{
    QDialog dialog;
    qtWindowSink_t window(&dialog, {});
    EXPECT_FALSE(dialog.isVisible());
    bringToFront(window.handle());
    ASSERT_TRUE(processEventsUntil([&] { return dialog.isVisible(); }));

    QDialog other;
    qtWindowSink_t gone(&other, {});
    const HWND handle = gone.handle();
    gone.unregister();
    bringToFront(handle);
    QCoreApplication::processEvents();
    EXPECT_FALSE(other.isVisible());
}
