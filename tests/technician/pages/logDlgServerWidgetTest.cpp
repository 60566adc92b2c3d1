// The Printer Logs page against the machines server stand-in, in process:
// a build's layers arrive as rows (newest on top, read from the records the
// printer made), and the daily, brief and model logs the server writes all
// show on the page.
#include "link/qvrClientDev.h"
#include "platform/process.h"
#include "platform/qt/processEventsUntil.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/mainDlg.h"
#include "technician/pages/logDlg.h"
#include "technician/tovrikApp.h"
#include "tests/support/tempPrefix.h"

#include <QCursor>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr std::uint32_t machineId = 4;
constexpr int layers = 12;

std::string modelText()
{
    std::string text = "$ 0 0 0 0 0 185 4000 168000 Cube\n";
    for (int i = 0; i < layers; ++i)
        text += "@ 4000\n#\n";
    return text + "\n$\n";
}

class LogDlgServerWidget : public prefixTest {
protected:
    void SetUp() override
    {
        setLauncherHook([](const std::wstring&) { return true; });
        wendaroConfig_t config;
        config.port = 0;
        wendaroMachineConfig_t machine;
        machine.printer.machineID = machineId;
        machine.printer.actionMs = 0;
        machine.printer.layerMs = 100;
        machine.name = L"Lab printer";
        config.machines.push_back(machine);
        server_ = std::make_unique<wendaroServer_t>(config);
        ASSERT_TRUE(server_->start(nullptr));

        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\" 4");
        dialog_ = std::make_unique<mainDlg_t>(false);
        dialog_->setServer(L"localhost", server_->port());
        tovrikApp().setMainDialog(dialog_.get());
        dialog_->onInitDialog();
        page_ = dialog_->logsPage();
        // The mouse away from the view: new lines show at once.
        QCursor::setPos(page_->mapToGlobal(QPoint(2, 2)));
    }

    void TearDown() override
    {
        dialog_.reset();
        server_->stop();
        setLauncherHook({});
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    }

    std::wstring viewText() const { return page_->view()->toPlainText().toStdWString(); }
    std::wstring row(int index, int column) const
    {
        QTreeWidgetItem* item = page_->layerList()->topLevelItem(index);
        return item != nullptr ? item->text(column).toStdWString() : std::wstring();
    }

    std::unique_ptr<wendaroServer_t> server_;
    std::unique_ptr<mainDlg_t> dialog_;
    logDlg_t* page_ = nullptr;
};

TEST_F(LogDlgServerWidget, ABuildsLayersAndTheServersLogsShow)
{
    ASSERT_TRUE(processEventsUntil([this] { return dialog_->device()->getMachineID() == machineId; }));
    dialog_->onTabChanged(mainDlg_t::logsTab);
    ASSERT_TRUE(writeRawFile(L"C:/models/Cube.ZS", modelText()));
    ASSERT_TRUE(server_->printer(machineId).queueModelFile(L"C:/models/Cube.ZS").has_value());

    // Every layer gets its row, the newest on top, from the printer's records.
    ASSERT_TRUE(processEventsUntil([this] { return page_->layerList()->topLevelItemCount() == layers; }))
        << page_->layerList()->topLevelItemCount();
    EXPECT_EQ(row(0, 0), L"12");
    EXPECT_EQ(row(layers - 1, 0), L"1");
    const double top = server_->printer(machineId).layerRecord(layers)->height() * 1e-6;
    EXPECT_NEAR(std::stod(row(0, 1)), top, 0.0006);

    // The daily log of today, with the server's lines, kept up to date.
    ASSERT_TRUE(processEventsUntil([this] { return viewText().find(L"Build ") != std::wstring::npos; }));
    EXPECT_NE(viewText().find(L"Connection"), std::wstring::npos);

    // The model's own log, and the brief log.
    page_->reloadView();
    ASSERT_EQ(page_->modelList()->count(), 1);
    EXPECT_TRUE(page_->modelList()->item(0)->text().startsWith(QStringLiteral("Cube_")));
    page_->modelList()->setCurrentRow(0);
    EXPECT_FALSE(viewText().empty());
    page_->findChild<QRadioButton*>(QStringLiteral("briefLog"))->click();
    EXPECT_NE(viewText().find(L"Control access"), std::wstring::npos);
}

}  // namespace
