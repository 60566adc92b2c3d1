// The Operations page with its Processes and Motors pages, over a client
// device that records what the pages send (before the queue's duplicate
// rule) and whose records the tests write.
#include "link/currentClientDevice.h"
#include "machine/littleEndian.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/processEventsUntil.h"
#include "technician/controls/layerLengthEdit.h"
#include "technician/controls/sensorCtrl.h"
#include "technician/controls/tabCtrl.h"
#include "technician/controls/transparentBitmap.h"
#include "technician/pageIds.h"
#include "technician/pages/functionsDlg.h"
#include "technician/pages/motorsDlg.h"
#include "technician/pages/operationsDlg.h"
#include "technician/tovrikApp.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/technician/technicianTestDevices.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

using bytes_t = std::vector<std::uint8_t>;

constexpr int processesTab = 2;
constexpr int motorsTab = 3;

class pageTestDev_t : public testClientDev_t {
public:
    explicit pageTestDev_t(sharedLock_t& lock) : testClientDev_t(HWND(0), lock) {}

    void setStatusInt(int offset, std::int32_t value)
    {
        lockGuard_t guard(getLock());
        le::putU32(&status.bytes[static_cast<std::size_t>(offset)], static_cast<std::uint32_t>(value));
    }
    void setInfoByte(int offset, std::uint8_t value)
    {
        lockGuard_t guard(getLock());
        info.bytes[static_cast<std::size_t>(offset)] = value;
    }
    void setMotorWord(std::uint16_t word)
    {
        lockGuard_t guard(getLock());
        le::putU16(&info.bytes[30], word);
    }
    std::vector<bytes_t> sent() const
    {
        std::vector<bytes_t> result;
        for (const packetBuffer_t& packet : packets())
            result.emplace_back(packet.data(), packet.data() + packet.length());
        return result;
    }
};

void press(QWidget* widget, QEvent::Type type)
{
    const QPoint at(3, 3);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void click(QWidget* control)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->click();
        return;
    }
    press(control, QEvent::MouseButtonPress);
    press(control, QEvent::MouseButtonRelease);
}

void key(QWidget* widget, int which)
{
    QKeyEvent down(QEvent::KeyPress, which, Qt::NoModifier);
    QApplication::sendEvent(widget, &down);
}

class OperationsPagesWidget : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedLock_t lock;
        device_ = std::make_unique<pageTestDev_t>(lock);
        setCurrentClientDevice(device_.get());
        device_->setLinkUp(true);
        device_->setMachineState(2);  // the gate sends nothing before a command
        page_ = std::make_unique<operationsDlg_t>();
        page_->onInitDialog();
        page_->show();
        page_->activateWindow();
        ASSERT_TRUE(processEventsUntil([this] { return QApplication::activeWindow() == page_.get(); }));
    }
    void TearDown() override
    {
        page_.reset();
        setCurrentClientDevice(nullptr);
        device_.reset();
    }

    QWidget* inner(int tab)
    {
        page_->innerTabs()->tabBar()->setCurrentIndex(tab);
        return page_->page(tab);
    }
    QWidget* item(int tab, int id) { return dlgItem(page_->page(tab), id); }
    void type(int tab, int id, const QString& text)
    {
        auto* edit = qobject_cast<QLineEdit*>(item(tab, id));
        ASSERT_NE(edit, nullptr) << id;
        edit->setFocus();
        ASSERT_TRUE(processEventsUntil([edit] { return QApplication::focusWidget() == edit; })) << id;
        edit->setText(text);
    }
    QWidget* focused() const { return QApplication::focusWidget(); }

    std::unique_ptr<pageTestDev_t> device_;
    std::unique_ptr<operationsDlg_t> page_;
};

TEST_F(OperationsPagesWidget, InnerTabsAndSensorLamps)
{
    struct tab_t {
        const char* caption;
        int dialogId;
    };
    const tab_t tabs[] = {{"Clean && Calibrate", 191}, {"Run Tests", 187}, {"Processes", 189},
                          {"Motors", 190},             {"Build", 192}};
    tabCtrl_t* bar = page_->innerTabs();
    EXPECT_EQ(ctrlId(bar), 1017);
    ASSERT_EQ(bar->count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(bar->tabBar()->tabText(i), QString::fromLatin1(tabs[i].caption));
        QWidget* page = page_->page(i);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(dialogId(page), tabs[i].dialogId);
        EXPECT_EQ(page->parentWidget(), bar);
        EXPECT_EQ(page->geometry(), QRect(5, 30, 552, 405)) << i;
        EXPECT_EQ(page->isHidden(), i != 0);
    }
    EXPECT_EQ(page_->currentPageId(), 191);

    device_->clearSent();
    inner(motorsTab);
    EXPECT_EQ(device_->codes(), (std::vector<int>{1, 12}));
    EXPECT_EQ(page_->currentPageId(), 190);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(page_->page(i)->isHidden(), i != motorsTab);

    struct lamp_t {
        int id;
        const char* label;
        std::uint32_t mask;
        const char* tooltip;
    };
    const lamp_t lamps[] = {
        {1018, "1 mm Pen", 0x80, "J30"},          {1019, "3 mm Pen", 0x40, "J27"},
        {1025, "6 mm Pen", 0x20, "J24"},          {1030, "Roll Encoder", 0x10, "J21"},
        {1031, "Feeder Lower", 0x10000000, "J20"}, {1032, "Feeder Upper", 0x8, "J18"},
        {1035, "Feeder Encoder", 0x100, "J13"},   {1027, "Iron Home", 0x200000, "J11"},
        {1028, "Hook Home", 0x400, "J19"},        {1029, "Pump Home", 0x1000000, "J6"},
        {1036, "Height Touch", 0x400000, "J2"},   {1037, "X Home", 0x10000, "J1"},
        {1038, "Y Home", 0x20000, "J3"},          {1039, "Z Home", 0x40000, "J5"},
        {1033, "Door Open", 0x80000, "J7 (old), J22 & J25 (new)"},
        {1034, "Door Max", 0x100000, "J9"},
    };
    device_->setSensorWord(0xFFFFFFFF);
    page_->onStatus();
    for (const lamp_t& lamp : lamps) {
        auto* control = dlgItemAs<sensorCtrl_t>(page_.get(), lamp.id);
        ASSERT_NE(control, nullptr) << lamp.id;
        EXPECT_EQ(control->mask(), lamp.mask) << lamp.label;
        EXPECT_EQ(control->toolTip(), QString::fromLatin1(lamp.tooltip)) << lamp.label;
        // The label stands beside its lamp.
        bool labelled = false;
        for (const QLabel* label : page_->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            labelled = labelled || (label->text() == QString::fromLatin1(lamp.label) &&
                                    label->geometry().top() == control->geometry().top());
        EXPECT_TRUE(labelled) << lamp.label;
        EXPECT_EQ(control->shownState(), sensorCtrl_t::lit_e) << lamp.label;
    }
    EXPECT_EQ(windowText(dlgItem(page_.get(), 1020)), L"Sensors:");
    EXPECT_TRUE(dlgItem(page_.get(), 1020)->font().bold());
    EXPECT_TRUE(dlgItem(page_->page(processesTab), 1063)->font().bold());
    EXPECT_FALSE(item(processesTab, 1033)->font().bold());
    EXPECT_FALSE(dlgItemAs<transparentBitmap_t>(page_->page(processesTab), 1029)->bitmap().isNull());
}

// What each button and arrow pushes, in machine state 2 (the gate adds
// nothing before it): the command with its arguments at their widths, then
// whatever follows it.
TEST_F(OperationsPagesWidget, EveryButtonAndArrowPushesItsCommand)
{
    device_->setParameterWord(17, 3000000);  // Z Safe Pos
    device_->setParameterWord(43, 1000000);  // Z Base Delta
    device_->setStatusInt(16, 2000000);      // measured height
    struct case_t {
        int tab;
        int id;
        const char* caption;  // nullptr: an arrow
        std::vector<bytes_t> sent;
    };
    const bytes_t s1{1}, s12{12};
    const case_t cases[] = {
        {processesTab, 1033, "Check Height", {{139, 1}, s1, s12}},
        {processesTab, 1030, "Feed Layer", {{144}, s1, s12}},
        {processesTab, 1031, "Hook", {{151, 1}, s1, s12}},
        {processesTab, 1034, "Un-Hook", {{151, 0}, s1, s12}},
        {processesTab, 1032, "Iron Layer", {{142, 1}, s1, s12}},
        {processesTab, 1024, "Trim Layer", {{143}, s1, s12}},
        {processesTab, 1026, "Home Layer", {{130, 4}, s1, s12}},
        {processesTab, 1027, "Un-Feed Layer", {{161}, s1, s12}},
        {processesTab, 1028, "Activate Full Cycle", {{145}, s1, s12}},
        {motorsTab, 1050, "Find Home XY", {{130, 0}, s1, s12}},
        {motorsTab, 1019, "Down to Home Sensor", {{130, 2}, s1, s12}},
        {motorsTab, 1023, "Home Layer", {{130, 4}, s1, s12}},
        {motorsTab, 1030, "Feed Layer", {{144}, s1, s12}},
        {motorsTab, 1027, "Un-Feed Layer", {{161}, s1, s12}},
        {motorsTab, 1051, "Move XY Head To Machine Back", {{154}, s1, s12}},
        {motorsTab, 1098, "Take 1mm Pen", {{140, 4, 0}, s1, s12}},
        {motorsTab, 1099, "Take 3mm Pen", {{140, 5, 0}, s1, s12}},
        {motorsTab, 1100, "Take 6mm Pen", {{140, 6, 0}, s1, s12}},
        {motorsTab, 1102, "Return Tool", {{141, 0}, s1, s12}},
        // Z: 3 mm + 2 mm + 1 mm = 6,000,000 nm, queued directly after the gate.
        {motorsTab, 1020, "Idle Position", {{129, 2, 0x80, 0x8D, 0x5B, 0x00}, s1}},
        // X 12.25 mm, Y -0.0000019 mm (truncated toward zero to -1 nm).
        {motorsTab, 1049, "Move XY Head To:", {{135, 0x90, 0xEB, 0xBA, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, s1, s12}},
        {motorsTab, 1036, nullptr, {{128, 1, 0x80, 0x96, 0x98, 0x00}, s1, s12}},  // Y +10 mm
        {motorsTab, 1037, nullptr, {{128, 1, 0x80, 0x69, 0x67, 0xFF}, s1, s12}},  // Y -10 mm
        {motorsTab, 1038, nullptr, {{128, 0, 0x80, 0x69, 0x67, 0xFF}, s1, s12}},  // X -10 mm
        {motorsTab, 1039, nullptr, {{128, 0, 0x80, 0x96, 0x98, 0x00}, s1, s12}},  // X +10 mm
        {motorsTab, 1044, nullptr, {{128, 2, 0x00, 0x2D, 0x31, 0x01}, s1, s12}},  // Z +20 mm
        {motorsTab, 1045, nullptr, {{128, 2, 0x00, 0xD3, 0xCE, 0xFE}, s1, s12}},  // Z -20 mm
    };
    inner(motorsTab);
    dynamic_cast<QLineEdit*>(item(motorsTab, 1041))->setText(QStringLiteral("12.25"));
    dynamic_cast<QLineEdit*>(item(motorsTab, 1042))->setText(QStringLiteral("-0.0000019"));
    for (const case_t& c : cases) {
        inner(c.tab);
        QWidget* control = item(c.tab, c.id);
        ASSERT_NE(control, nullptr) << c.id;
        if (c.caption != nullptr) {
            EXPECT_EQ(windowText(control), QString::fromLatin1(c.caption).toStdWString());
        }
        device_->clearSent();
        click(control);
        EXPECT_EQ(device_->sent(), c.sent) << c.id;
    }

    // A double click on an arrow moves twice (the queue may merge the two on
    // the wire; both are pushed).
    auto* right = item(motorsTab, 1039);
    device_->clearSent();
    press(right, QEvent::MouseButtonPress);
    press(right, QEvent::MouseButtonRelease);
    press(right, QEvent::MouseButtonDblClick);
    press(right, QEvent::MouseButtonRelease);
    EXPECT_EQ(device_->codes(), (std::vector<int>{128, 1, 12, 128, 1, 12}));
}

TEST_F(OperationsPagesWidget, TypedDistancesOutsideThirtyTwoBitsSendNothing)
{
    struct case_t {
        int edit;
        int arrow;
        const char* text;
        std::vector<int> codes;
        std::int32_t distance;
    };
    const case_t cases[] = {
        {1040, 1039, "abc", {128, 1, 12}, 0},
        {1048, 1044, "2147", {128, 1, 12}, 2147000000},
        {1048, 1044, "2148", {}, 0},
        {1048, 1045, "-2147.483648", {}, 0},  // fits, but not turned round
        {1040, 1038, "2147", {128, 1, 12}, -2147000000},
        {1040, 1039, "1e999", {}, 0},
    };
    inner(motorsTab);
    for (const case_t& c : cases) {
        dynamic_cast<QLineEdit*>(item(motorsTab, c.edit))->setText(QString::fromLatin1(c.text));
        device_->clearSent();
        click(item(motorsTab, c.arrow));
        ASSERT_EQ(device_->codes(), c.codes) << c.text;
        if (!c.codes.empty()) {
            EXPECT_EQ(device_->packets().front().i32(2), c.distance) << c.text;
        }
    }
    dynamic_cast<QLineEdit*>(item(motorsTab, 1041))->setText(QStringLiteral("3000"));
    device_->clearSent();
    click(item(motorsTab, 1049));
    EXPECT_TRUE(device_->codes().empty());
}

TEST_F(OperationsPagesWidget, PowerBoxesSwitchTheirGroupByTheMotorWord)
{
    struct case_t {
        int id;
        std::uint16_t word;
        std::vector<bytes_t> sent;
    };
    const bytes_t s1{1}, s12{12};
    const case_t cases[] = {
        // XY: the gate's 131 for Y, then X directly, then 12.
        {1035, 0x1200, {{131, 1, 0}, s1, s12, {131, 0, 0}, s12}},
        {1035, 0x1400, {{131, 1, 2}, s1, s12, {131, 0, 2}, s12}},
        {1043, 0x0400, {{131, 2, 0}, s1, s12, s12}},
        {1043, 0x1200, {{131, 2, 2}, s1, s12, s12}},
        {1046, 0x1000, {{131, 4, 0}, s1, s12, s12}},
        {1046, 0x0600, {{131, 4, 2}, s1, s12, s12}},
    };
    inner(motorsTab);
    for (const case_t& c : cases) {
        device_->setMotorWord(c.word);
        device_->clearSent();
        click(item(motorsTab, c.id));
        EXPECT_EQ(device_->sent(), c.sent) << c.id << " " << c.word;
    }

    // A building machine switches nothing off, X included.
    device_->setMachineState(1);
    scriptedMessageBox_t boxes;
    boxes.expect(L"This machine is building a model. Pause machine first.", MB_ICONEXCLAMATION, IDOK);
    device_->clearSent();
    click(item(motorsTab, 1035));
    EXPECT_TRUE(device_->codes().empty());
    EXPECT_EQ(boxes.remaining(), 0u);
}

TEST_F(OperationsPagesWidget, CurrentToolAndPowerBoxesFollowTheMachineInformation)
{
    struct toolCase_t {
        int tool;
        const wchar_t* text;
    };
    const toolCase_t tools[] = {{0, L"Cutting Knife"}, {4, L"1mm Pen"},        {5, L"3mm Pen"},
                                {6, L"6mm Pen"},       {7, L"6mm Pen"},        {9, L"Trimming Knife"},
                                {-1, L"Without Tool"}, {3, L"Unknown"},        {-2, L"Unknown"}};
    for (const toolCase_t& c : tools) {
        device_->setInfoByte(35, static_cast<std::uint8_t>(c.tool));
        page_->onMachineInfo();
        EXPECT_EQ(windowText(item(motorsTab, 1101)), c.text) << c.tool;
    }

    struct boxCase_t {
        std::uint16_t word;
        Qt::CheckState xy, z, feeder;
    };
    const boxCase_t boxes[] = {
        {0x1600, Qt::Unchecked, Qt::Unchecked, Qt::Unchecked},
        {0x0000, Qt::Checked, Qt::Checked, Qt::Checked},
        {0x1616, Qt::PartiallyChecked, Qt::PartiallyChecked, Qt::PartiallyChecked},
        {0x0416, Qt::Checked, Qt::PartiallyChecked, Qt::Checked},
        {0x1202, Qt::PartiallyChecked, Qt::Checked, Qt::Unchecked},
    };
    for (const boxCase_t& c : boxes) {
        device_->setMotorWord(c.word);
        page_->onMachineInfo();
        EXPECT_EQ(dynamic_cast<QCheckBox*>(item(motorsTab, 1035))->checkState(), c.xy) << c.word;
        EXPECT_EQ(dynamic_cast<QCheckBox*>(item(motorsTab, 1043))->checkState(), c.z) << c.word;
        EXPECT_EQ(dynamic_cast<QCheckBox*>(item(motorsTab, 1046))->checkState(), c.feeder) << c.word;
    }
}

TEST_F(OperationsPagesWidget, CheckHeightOnlyWithTheMediaTrimmed)
{
    // "Feed upto trim" 142,000,000 nm is 18066 feeder steps of 7860 nm.
    device_->setParameterWord(6, 142000000);
    device_->setParameterWord(68, 7860);
    inner(processesTab);
    device_->setStatusInt(56, 18066);
    device_->clearSent();
    click(item(processesTab, 1033));
    EXPECT_EQ(device_->codes(), (std::vector<int>{139, 1, 12}));

    scriptedMessageBox_t boxes;
    boxes.expect(L"Check height can be done only when the media is trimmed and unfed.", MB_ICONSTOP, IDOK);
    device_->setStatusInt(56, 18067);
    device_->clearSent();
    click(item(processesTab, 1033));
    EXPECT_TRUE(device_->codes().empty());
    EXPECT_EQ(boxes.remaining(), 0u);
}

TEST_F(OperationsPagesWidget, LayerLengthIsCommittedOnLeavingOrEnter)
{
    struct case_t {
        int tab;
        const char* text;
        std::int32_t machineNm;  // the status's layer length
        bool enter;              // Enter, else leaving the edit for "Check Height"/"XY Step"
        std::vector<bytes_t> sent;
        bool focusToFeed;
    };
    const std::vector<bytes_t> nothing;
    const case_t cases[] = {
        {processesTab, "5", 0, false, {{14, 0x40, 0x4B, 0x4C, 0x00}, {1}}, true},
        {motorsTab, "5", 0, true, {{14, 0x40, 0x4B, 0x4C, 0x00}, {1}}, true},
        {processesTab, "5", 5999999, true, nothing, true},  // already the machine's
        {processesTab, "0", 0, false, nothing, false},
        {motorsTab, "", 0, true, nothing, false},
        {processesTab, "2147", 0, true, {{14, 0xC0, 0x9E, 0xF8, 0x7F}, {1}}, true},
        {motorsTab, "2148", 0, false, nothing, false},
        {processesTab, "99999999999", 0, true, nothing, false},
    };
    for (const case_t& c : cases) {
        QWidget* page = inner(c.tab);
        device_->setStatusInt(20, c.machineNm);
        type(c.tab, 1025, QString::fromLatin1(c.text));
        device_->clearSent();
        QWidget* elsewhere = item(c.tab, c.tab == processesTab ? 1033 : 1040);
        if (c.enter)
            key(focused(), Qt::Key_Return);
        else
            elsewhere->setFocus();
        ASSERT_TRUE(processEventsUntil([&] { return focused() != nullptr; }));
        EXPECT_EQ(device_->sent(), c.sent) << c.text;
        QWidget* expectedFocus = c.focusToFeed ? dlgItem(page, 1030) : c.enter ? item(c.tab, 1025) : elsewhere;
        EXPECT_EQ(focused(), expectedFocus) << c.text;
    }

    // A building machine: nothing goes out, the warning is shown, and the
    // focus still moves on.
    inner(processesTab);
    device_->setStatusInt(20, 0);
    device_->setMachineState(1);
    scriptedMessageBox_t boxes;
    boxes.expect(L"This machine is building a model. Pause machine first.", MB_ICONEXCLAMATION, IDOK);
    type(processesTab, 1025, QStringLiteral("7"));
    device_->clearSent();
    key(focused(), Qt::Key_Enter);
    EXPECT_TRUE(device_->codes().empty());
    EXPECT_EQ(boxes.remaining(), 0u);
    EXPECT_EQ(focused(), item(processesTab, 1030));
}

TEST_F(OperationsPagesWidget, StatusNeverOverwritesWhatIsBeingTyped)
{
    // 1000 steps of 21892 nm: 21.892 mm; 5 mm of layer length.
    device_->setHeadSteps(1000, -2000);
    device_->setStatusInt(20, 5000000);
    inner(motorsTab);
    page_->onStatus();
    EXPECT_EQ(windowText(item(motorsTab, 1041)), L"21.89");
    EXPECT_EQ(windowText(item(motorsTab, 1042)), L"-43.78");
    EXPECT_EQ(windowText(item(motorsTab, 1025)), L"5");
    EXPECT_EQ(windowText(item(processesTab, 1025)), L"5");

    // Typing X: neither X nor Y changes under the technician's hands, not
    // even while the program is not the active one.
    type(motorsTab, 1041, QStringLiteral("100.5"));
    device_->setHeadSteps(2000, 3000);
    device_->setStatusInt(20, 8000000);
    page_->onStatus();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(processEventsUntil([&] { return QApplication::activeWindow() == &other; }));
    page_->onStatus();
    EXPECT_EQ(windowText(item(motorsTab, 1041)), L"100.5");
    EXPECT_EQ(windowText(item(motorsTab, 1042)), L"-43.78");
    EXPECT_EQ(windowText(item(motorsTab, 1025)), L"8");

    // Enter in the X edit moves the head to the typed X and the shown Y.
    page_->activateWindow();
    ASSERT_TRUE(processEventsUntil([&] { return focused() == item(motorsTab, 1041); }));
    device_->clearSent();
    key(focused(), Qt::Key_Return);
    EXPECT_EQ(device_->sent(), (std::vector<bytes_t>{{135, 0x20, 0x82, 0xFD, 0x05, 0x60, 0xF8, 0x63, 0xFD}, {1}, {12}}));

    // Away from the edits the status shows the head again.
    item(motorsTab, 1040)->setFocus();
    ASSERT_TRUE(processEventsUntil([&] { return focused() == item(motorsTab, 1040); }));
    page_->onStatus();
    EXPECT_EQ(windowText(item(motorsTab, 1041)), L"43.78");
    EXPECT_EQ(windowText(item(motorsTab, 1042)), L"65.68");
}

}  // namespace
