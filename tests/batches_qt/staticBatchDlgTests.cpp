#include "procedures/batches/qt/staticBatchDlg.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/sharedLock.h"
#include "standins/wendaro/wendaroServer.h"
#include "platform/qt/processEventsUntil.h"
#include "tests/support/queueWindow.h"

#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t machineId = 1;

// Two stages of one awaited home each; counts how many of it are alive.
class twoStageBatch_t : public baseStaticBatch_t {
public:
    explicit twoStageBatch_t(std::atomic<int>& alive) : alive_(alive)
    {
        ++alive_;
        addStage(L"Home Z");
        addStage(L"Home Pump");
    }
    ~twoStageBatch_t() override { --alive_; }
    std::wstring name() const override { return L"Two Homes"; }
    void run() override
    {
        sendAndCheck(130, 1, 2);
        finishStage();
        sendAndCheck(130, 1, 3);
        finishStage();
    }

private:
    std::atomic<int>& alive_;
};

// Stages that only carry names.
class namedStagesBatch_t : public baseStaticBatch_t {
public:
    explicit namedStagesBatch_t(const std::vector<std::wstring>& names)
    {
        for (const std::wstring& name : names)
            addStage(name);
    }
    std::wstring name() const override { return L"Named Stages"; }
    void run() override {}
};

std::wstring cell(const staticBatchDlg_t& dialog, int row, int column)
{
    return dialog.list()->topLevelItem(row)->text(column).toStdWString();
}

}  // namespace

class staticBatchDlgWidgetTest : public ::testing::Test {
protected:
    virtual std::uint32_t actionMs() const { return 25; }

    void SetUp() override
    {
        wendaroConfig_t config;
        config.port = 0;
        wendaroMachineConfig_t machine;
        machine.printer.machineID = machineId;
        machine.printer.actionMs = actionMs();
        machine.printer.initMs = 0;
        config.machines.push_back(machine);
        server_ = std::make_unique<wendaroServer_t>(config);
        ASSERT_TRUE(server_->start());
        device_ = std::make_unique<qvrClientDev_t>(deviceWindow_.handle(), lock_);
        ASSERT_TRUE(device_->connect(L"localhost", machineId, true, server_->port()));
        setCurrentClientDevice(device_.get());
        ASSERT_TRUE(waitState(7));
    }

    void TearDown() override
    {
        setCurrentClientDevice(nullptr);
        device_.reset();
        if (server_)
            server_->stop();
    }

    bool waitState(int state)
    {
        return processEventsUntil([&] { return device_->getMachineState() == state; });
    }
    std::vector<int> codesSince(std::uint64_t from) const
    {
        std::vector<int> codes;
        for (const simTraceEntry_t& entry : server_->printer(machineId).trace().since(from))
            if (entry.kind == simTraceEntry_t::kind_e::commandIn_e && entry.code != 1 && entry.code != 12)
                codes.push_back(entry.code);
        return codes;
    }
    std::uint64_t mark() const { return server_->printer(machineId).trace().mark(); }

    std::unique_ptr<wendaroServer_t> server_;
    queueWindow_t deviceWindow_;
    sharedLock_t lock_;
    std::unique_ptr<qvrClientDev_t> device_;
    std::atomic<int> alive_{0};
};

class staticBatchDlgSlowReplyWidgetTest : public staticBatchDlgWidgetTest {
protected:
    std::uint32_t actionMs() const override { return 1500; }
};

TEST_F(staticBatchDlgWidgetTest, StartRunsEveryStageAndRestartRunsThemAgain)
{
    auto dialog = std::make_unique<staticBatchDlg_t>(new twoStageBatch_t(alive_));
    dialog->show();
    EXPECT_EQ(dialog->windowTitle().toStdWString(), L"Two Homes");
    ASSERT_EQ(dialog->list()->topLevelItemCount(), 2);
    EXPECT_EQ(cell(*dialog, 1, 0), L"2");
    EXPECT_EQ(cell(*dialog, 1, 1), L"Home Pump");
    // The constructor asked the machine into state 5.
    ASSERT_TRUE(waitState(5));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const std::uint64_t from = mark();
        dialog->start();
        EXPECT_FALSE(dialog->startButton()->isEnabled());
        if (round == 1) {
            EXPECT_EQ(cell(*dialog, 0, 2), L"");
        }
        ASSERT_TRUE(processEventsUntil([&] { return dialog->startButton()->isEnabled(); }));
        EXPECT_EQ(dialog->startButton()->text().toStdWString(), L"Re&start");
        EXPECT_EQ(dialog->cancelButton()->text().toStdWString(), L"&Close");
        for (int row = 0; row < 2; ++row) {
            EXPECT_EQ(cell(*dialog, row, 2), L"Completed.");
            EXPECT_EQ(dialog->list()->topLevelItem(row)->foreground(2).color(), QColor(0, 192, 0));
        }
        EXPECT_EQ(codesSince(from), (std::vector<int>{130, 130}));
    }
    dialog.reset();
    EXPECT_EQ(alive_.load(), 0);
}

TEST_F(staticBatchDlgWidgetTest, CancelBeforeStartLeavesTechnicianModeAndCloses)
{
    auto dialog = std::make_unique<staticBatchDlg_t>(new twoStageBatch_t(alive_));
    dialog->show();
    ASSERT_TRUE(waitState(5));
    const std::uint64_t from = mark();
    dialog->reject();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(waitState(7));
    EXPECT_EQ(codesSince(from), (std::vector<int>{132}));
}

// A double Cancel while the worker waits for a reply: the first only asks
// the run to stop; the second closes, and the window returns only after the
// worker has ended, so the procedure is deleted after its last use.
TEST_F(staticBatchDlgSlowReplyWidgetTest, CancelWhileAReplyIsPending)
{
    auto dialog = std::make_unique<staticBatchDlg_t>(new twoStageBatch_t(alive_));
    dialog->show();
    ASSERT_TRUE(waitState(5));
    const std::uint64_t from = mark();
    dialog->start();
    ASSERT_TRUE(processEventsUntil([&] {
        const std::vector<int> codes = codesSince(from);
        return !codes.empty() && codes.front() == 130;
    }));
    ASSERT_TRUE(dialog->workerRunning());

    dialog->reject();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->cancelButton()->text().toStdWString(), L"Cancelling...");
    EXPECT_TRUE(dialog->procedure().abortEvent().isSet());

    dialog->reject();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->workerRunning());
    EXPECT_EQ(dialog->procedure().stage(0).state, baseStaticBatch_t::aborted_e);
    EXPECT_EQ(dialog->procedure().stage(1).state, baseStaticBatch_t::pendingState);
    EXPECT_EQ(alive_.load(), 1);
    dialog.reset();
    EXPECT_EQ(alive_.load(), 0);
    EXPECT_TRUE(waitState(7));
    const std::vector<int> codes = codesSince(from);
    EXPECT_EQ(codes, (std::vector<int>{130, 132}));
}

// The columns share the list's real width once the dialog is laid out, and
// the dialog is wide enough for its longest stage name to read whole, both
// as first shown and after the user narrows it as far as it goes.
TEST_F(staticBatchDlgWidgetTest, StageNamesReadWhole)
{
    const std::vector<std::wstring> names = {L"Preparations", L"Clean & Replace Glue Trap, Then Re-position Iron Bridge",
                                             L"Purge System"};
    staticBatchDlg_t dialog(new namedStagesBatch_t(names));
    dialog.show();
    QTreeWidget* list = dialog.list();
    for (const bool narrowed : {false, true}) {
        SCOPED_TRACE(narrowed);
        if (narrowed)
            dialog.resize(1, dialog.height());
        ASSERT_TRUE(processEventsUntil([&] {
            const int width = list->viewport()->width();
            return list->columnWidth(0) == width / 9 && list->columnWidth(1) == width * 3 / 9 &&
                   list->columnWidth(2) == width * 5 / 9;
        }));
        // An item view draws a cell's text inside a margin on either side
        // and elides what does not fit.
        const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
        for (int row = 0; row < static_cast<int>(names.size()); ++row) {
            const QModelIndex index = list->model()->index(row, 1);
            const QString name = index.data().toString();
            const int room = list->visualRect(index).width() - 2 * margin;
            EXPECT_EQ(list->fontMetrics().elidedText(name, Qt::ElideRight, room), name) << room;
        }
    }
}
