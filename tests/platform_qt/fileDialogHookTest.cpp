#include "platform/prefix.h"
#include "platform/qt/fileDialogHook.h"
#include "platform/qt/processEventsUntil.h"

#include <QApplication>
#include <QFileDialog>
#include <QListView>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

TEST(FileDialogHookWidget, WindowsFiltersBecomeQtNameFilters)
{
    const struct {
        std::wstring windows;
        QStringList qt;
    } cases[] = {
        {L"ZS Files (*.ZS)|*.ZS||", {"ZS Files (*.ZS)"}},
        {L"Parameters Files (*.TXT)|*.TXT|All Files (*.*)|*.*||",
         {"Parameters Files (*.TXT)", "All Files (*.*)"}},
        {L"Machine Log Files (*.LOG)|*.LOG|All Files (*.*)|*.*||",
         {"Machine Log Files (*.LOG)", "All Files (*.*)"}},
        {L"Logs|*.log;*.txt||", {"Logs (*.log *.txt)"}},
        {L"", {}},
        {L"Half|", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(qtNameFilters(c.windows), c.qt) << QString::fromStdWString(c.windows).toStdString();
}

TEST(FileDialogHookWidget, AnInstalledHookAnswersInsteadOfTheDialog)
{
    fileDialogRequest_t seen;
    setFileDialogHook([&](const fileDialogRequest_t& request) -> std::optional<std::wstring> {
        seen = request;
        if (request.kind == fileDialogRequest_t::save_e)
            return std::nullopt;
        return std::wstring(L"C:\\QVR_Printers\\cube.zs");
    });
    fileDialogRequest_t open;
    open.filter = L"ZS Files (*.ZS)|*.ZS||";
    open.defaultSuffix = L"ZS";
    EXPECT_EQ(runFileDialog(open), std::optional<std::wstring>(L"C:\\QVR_Printers\\cube.zs"));
    EXPECT_EQ(seen.defaultSuffix, L"ZS");
    fileDialogRequest_t save;
    save.kind = fileDialogRequest_t::save_e;
    EXPECT_FALSE(runFileDialog(save).has_value());
    setFileDialogHook({});
}

TEST(FileDialogHookWidget, TheQtDialogStartsAtTheSystemPathAndAnswersWithOne)
{
    const std::filesystem::path folder = std::filesystem::path(prefixRoot()) / "drive_c" / "QVR_Printers";
    std::filesystem::create_directories(folder / "12");

    struct caseRow_t {
        bool accept;
        std::optional<std::wstring> expected;
    };
    const caseRow_t rows[] = {{true, std::wstring(L"C:\\QVR_Printers\\12")}, {false, std::nullopt}};
    for (const auto& row : rows) {
        QString shownDirectory;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(top);
                if (dialog == nullptr || !dialog->isVisible())
                    continue;
                poll.stop();
                shownDirectory = dialog->directory().absolutePath();
                if (row.accept)
                    QMetaObject::invokeMethod(dialog, "accept");
                else
                    QMetaObject::invokeMethod(dialog, "reject");
                return;
            }
        });
        poll.start(5);
        fileDialogRequest_t request;
        request.kind = fileDialogRequest_t::folder_e;
        request.title = L"Choose a folder";
        request.startPath = L"c:/qvr_printers/12";  // found in any case
        EXPECT_EQ(runFileDialog(request), row.expected);
        EXPECT_EQ(shownDirectory.toStdString(), (folder / "12").string());
    }
}

TEST(FileDialogHookWidget, TheQtDialogsFiltersIgnoreCase)
{
    const std::filesystem::path folder = std::filesystem::path(prefixRoot()) / "drive_c" / "Models";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "cube.zs") << "x";
    std::ofstream(folder / "notes.txt") << "x";

    QStringList listed;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(top);
            auto* view = dialog == nullptr ? nullptr : dialog->findChild<QListView*>(QStringLiteral("listView"));
            if (view == nullptr || !dialog->isVisible())
                continue;
            const QAbstractItemModel* model = view->model();
            const int rows = model->rowCount(view->rootIndex());
            if (rows == 0)
                return;  // the folder is read in the background
            poll.stop();
            for (int row = 0; row < rows; ++row)
                listed << model->index(row, 0, view->rootIndex()).data().toString();
            QMetaObject::invokeMethod(dialog, "reject");
            return;
        }
    });
    poll.start(5);
    fileDialogRequest_t request;
    request.startPath = L"C:\\Models";
    request.filter = L"ZS Files (*.ZS)|*.ZS||";
    EXPECT_FALSE(runFileDialog(request).has_value());
    EXPECT_EQ(listed, QStringList{QStringLiteral("cube.zs")});
}
