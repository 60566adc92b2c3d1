#include "technician/pages/testsDlg.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/currentDevice.h"
#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/messageBox.h"
#include "machine/qvrCommDev.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/fileDialogHook.h"
#include "platform/winConstants.h"
#include "procedures/batches/checkKnifeBatch.h"
#include "procedures/batches/pensDrawingTestBatch.h"
#include "procedures/batches/pensTakingTestBatch.h"
#include "procedures/batches/qvrFileBatch.h"
#include "technician/pages/testRules.h"
#include "technician/procedureStarter.h"
#include "ui_testsDlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

struct testRow_t {
    int radio;
    const wchar_t* details;
    std::vector<int> controls;
};

// The tests in radio order, with their Details texts (the machine's own
// wording) and the controls that only they show.
const testRow_t tests[testsDlg_t::testCount] = {
    {testsDlgId::trimTest,
     L"Build a small block (6 layers / 100mm) in order to test the trimming knife.",
     {}},
    {testsDlgId::glueTest, L"Build a full-length block of 50 layers in order to check the glue system.", {}},
    {testsDlgId::cuttingKnifeTest,
     L"Draws a small circle on a peace of media to check the cutting knife.\n\n"
     L"Make sure there is at least 1 ironed layer on the table before starting.\n\n"
     L"Prepare a small peace of media to put underneath the knife when requested.",
     {}},
    {testsDlgId::pensTakingTest,
     L"Validate that the machine can take and return the pens.",
     {1082, testsDlgId::repeats}},
    {testsDlgId::pensDrawingTest,
     L"Check the operations of the pens by drawing some lines with each pen.",
     {}},
    {testsDlgId::blockTest,
     L"Build an empty block with a specifed amount of layers and model length.",
     {1081, testsDlgId::layers, 1107, testsDlgId::length, 1108}},
    {testsDlgId::targetTest, L"Check the accuracy of the machine by drawing 2D cuts.", {}},
    {testsDlgId::pyramidTest, L"Run the machine's test model.", {}},
    {testsDlgId::cubeTest, L"Build a 50x50x50 mm^3 cube.", {}},
    {testsDlgId::customTest, L"Build a custom test.", {1111, testsDlgId::testFile, testsDlgId::browse}},
};

constexpr int pausedState = 2;
constexpr std::uint8_t leaveHeldStateCommand = 132;
constexpr std::uint8_t testModelCommand = 155;

}  // namespace

testsDlg_t::testsDlg_t(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::testsDlgTemplate>())
{
    // A page inside the Operations page's tab, not a window of its own.
    setWindowFlags(Qt::Widget);
    ui_->setupUi(this);
    setFixedSize(size());
    for (int i = 0; i < testCount; ++i) {
        controls_[static_cast<std::size_t>(i)] = tests[i].controls;
        const int id = tests[i].radio;
        if (auto* radio = dlgItemAs<QRadioButton>(this, id))
            connect(radio, &QRadioButton::clicked, this, [this, id] { onTestChosen(id); });
    }
    connect(ui_->runButton, &QPushButton::clicked, this, &testsDlg_t::runSelectedTest);
    connect(ui_->cancelTestButton, &QPushButton::clicked, this, &testsDlg_t::onCancelTest);
    connect(ui_->browseButton, &QPushButton::clicked, this, &testsDlg_t::onBrowse);
}

testsDlg_t::~testsDlg_t() = default;

bool testsDlg_t::onInitDialog()
{
    setControlText(testsDlgId::repeats, L"8");
    showTestControls(chosenTest());
    return true;
}

void testsDlg_t::onTestChosen(int testId)
{
    for (const testRow_t& test : tests)
        if (test.radio == testId)
            details_ = test.details;
    setWindowText(ui_->detailsText, details_);
    showTestControls(testId);
    update();
}

void testsDlg_t::showTestControls(int testId)
{
    for (int i = 0; i < testCount; ++i)
        for (const int id : controls_[static_cast<std::size_t>(i)])
            if (QWidget* control = dlgItem(this, id))
                control->setVisible(tests[i].radio == testId);
}

void testsDlg_t::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void testsDlg_t::runSelectedTest()
{
    const int test = chosenTest();
    qvrCommDev_t* device = getCurrentDevice();
    if (test == 0 || device == nullptr)
        return;
    if (const std::optional<std::wstring> refusal =
            testRules_t::buildingRefusal(test, device->getStatus().flags())) {
        messageBox(*refusal, MB_ICONSTOP);
        return;
    }
    switch (test) {
    case testsDlgId::trimTest:
        buildEmptyModel(6, 100);
        break;
    case testsDlgId::glueTest:
        buildEmptyModel(50, 290);
        break;
    case testsDlgId::cuttingKnifeTest:
        runCheckKnife();
        break;
    case testsDlgId::pensTakingTest:
        runPensTakingTest();
        break;
    case testsDlgId::pensDrawingTest:
        runPensDrawingTest();
        break;
    case testsDlgId::blockTest:
        buildBlockTest();
        break;
    case testsDlgId::targetTest:
        runScriptFileTest(L"Target Test", getSlicerFolder() + targetScriptName);
        break;
    case testsDlgId::pyramidTest:
        device->sendCommand(testModelCommand);
        break;
    case testsDlgId::cubeTest:
        runCubeTest();
        break;
    case testsDlgId::customTest:
        runScriptFileTest(L"Custom Test", controlText(testsDlgId::testFile));
        break;
    default:
        break;
    }
}

void testsDlg_t::runPensTakingTest()
{
    const std::int32_t loops = testRules_t::repeatCount(controlText(testsDlgId::repeats));
    startProcedure(this, [loops] { return new pensTakingTestBatch_t(loops); });
}

void testsDlg_t::runCheckKnife()
{
    startProcedure(this, [] { return new checkKnifeBatch_t(); });
}

void testsDlg_t::runPensDrawingTest()
{
    startProcedure(this, [] { return new pensDrawingTestBatch_t(); });
}

void testsDlg_t::runScriptFileTest(const std::wstring& name, const std::wstring& path)
{
    // A missing or faulty script ends in the procedure with the runner's
    // report ("can't open ..." or the place of the error).
    startProcedure(this, [&] { return new qvrFileBatch_t(name, path); });
}

void testsDlg_t::buildBlockTest()
{
    const std::wstring layers = controlText(testsDlgId::layers);
    const std::wstring length = controlText(testsDlgId::length);
    if (const std::optional<std::wstring> refusal = testRules_t::blockRefusal(layers, length)) {
        messageBox(*refusal, MB_ICONSTOP);
        return;
    }
    buildEmptyModel(*testRules_t::readInteger(layers), *testRules_t::readInteger(length));
}

void testsDlg_t::buildEmptyModel(std::int32_t layers, std::int32_t lengthMm)
{
    qvrCommDev_t* device = getCurrentDevice();
    if (device != nullptr && !device->buildEmptyModel(layers, lengthMm, 0, 0))
        messageBox(L"", MB_ICONSTOP);
}

void testsDlg_t::runCubeTest()
{
    qvrCommDev_t* device = getCurrentDevice();
    if (device == nullptr)
        return;
    // A paused machine leaves its held state first, whether or not the
    // model is found.
    if (device->getMachineState() == pausedState)
        device->sendCommand(leaveHeldStateCommand);
    const std::wstring path = getSlicerFolder() + cubeModelName;
    if (!fileExists(path)) {
        messageBox(L"Cannot find " + path, MB_ICONSTOP);
        return;
    }
    device->sendModelFile(path, 2, 0, L"", 1, 1999, 0, 0, L"");
}

void testsDlg_t::onCancelTest()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    if (device == nullptr)
        return;
    const std::uint32_t flags = device->getStatus().flags();
    if ((flags & testRules_t::buildingFlag) == 0 || (flags & testRules_t::modelOnTableFlag) != 0)
        return;
    if (messageBox(L"Are you sure you want to cancel the current block / model?",
                   MB_YESNO | MB_ICONQUESTION) == IDYES)
        device->cancelBuild(0, L"");
}

void testsDlg_t::onBrowse()
{
    fileDialogRequest_t request;
    request.kind = fileDialogRequest_t::open_e;
    request.parent = this;
    request.filter = L"Test Files (*.TXT)|*.TXT|All Files (*.*)|*.*||";
    request.defaultSuffix = L"TXT";
    if (const std::optional<std::wstring> chosen = runFileDialog(request))
        setControlText(testsDlgId::testFile, *chosen);
}

void testsDlg_t::chooseTest(int testId)
{
    if (auto* radio = dlgItemAs<QRadioButton>(this, testId))
        radio->click();
}

int testsDlg_t::chosenTest() const
{
    return checkedRadio(this, testsDlgId::trimTest, testsDlgId::customTest);
}

std::wstring testsDlg_t::controlText(int controlId) const
{
    const QWidget* control = dlgItem(this, controlId);
    return control != nullptr ? windowText(control) : std::wstring();
}

void testsDlg_t::setControlText(int controlId, const std::wstring& text)
{
    if (QWidget* control = dlgItem(this, controlId))
        setWindowText(control, text);
}

bool testsDlg_t::isControlShown(int controlId) const
{
    const QWidget* control = dlgItem(this, controlId);
    return control != nullptr && !control->isHidden();
}
