// The Software && Parameters page over a device that records what the page
// sends (no server: what it sends only waits in the queue), with file
// dialogs and message boxes answered by the test.
#include "link/currentClientDevice.h"
#include "machine/globalNames.h"
#include "machine/machineParam.h"
#include "machine/programUtils.h"
#include "machine/textUtils.h"
#include "platform/process.h"
#include "platform/qt/colorref.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/fileDialogHook.h"
#include "platform/qt/printDialogHook.h"
#include "technician/pages/installationDlg.h"
#include "technician/tovrikApp.h"
#include "tests/support/printedPdf.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/technicianTestDevices.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int trimYWord = 51;        // "Trim Y initial", nano,y
constexpr int startSpeedWord = 1;    // "Lines Starting Speed"
constexpr int ironEndSpeedWord = 119;  // "V1 (Iron End Speed)"
constexpr int xStepSizeWord = 64;    // "X Step Size", nanometres shown in mm

// A file's line by its number (1 = the first), without its CR LF.
std::string lineOf(const std::string& crlfText, int number)
{
    std::size_t start = 0;
    for (int n = 1; n < number; ++n)
        start = crlfText.find("\r\n", start) + 2;
    return crlfText.substr(start, crlfText.find("\r\n", start) - start);
}

// The file with one line replaced.
std::string withLine(const std::string& crlfText, int number, const std::string& line)
{
    std::size_t start = 0;
    for (int n = 1; n < number; ++n)
        start = crlfText.find("\r\n", start) + 2;
    return crlfText.substr(0, start) + line + crlfText.substr(crlfText.find("\r\n", start));
}

// The file's first lines, each with its CR LF: a file cut at a line end.
std::string linesUpTo(const std::string& crlfText, int number)
{
    std::size_t end = 0;
    for (int n = 1; n <= number; ++n)
        end = crlfText.find("\r\n", end) + 2;
    return crlfText.substr(0, end);
}

struct sentWord_t {
    int index;
    std::int32_t value;
    bool operator==(const sentWord_t&) const = default;
};

class InstallationDlgWidget : public prefixTest {
protected:
    void SetUp() override
    {
        device_ = std::make_unique<testClientDev_t>(HWND(0), lock_);
        setCurrentClientDevice(device_.get());
        device_->createMachineFolders();
        page_ = std::make_unique<installationDlg_t>();
    }

    void TearDown() override
    {
        page_.reset();
        setFileDialogHook({});
        setLauncherHook({});
        setCurrentClientDevice(nullptr);
        device_.reset();
    }

    // The page as the main window shows it after a machine change.
    void refill(std::uint16_t version)
    {
        device_->setEmbeddedVersion(version);
        page_->fillParameterList();
        page_->buildComparisonText();
    }

    void answerFileDialog(const std::wstring& path)
    {
        setFileDialogHook([this, path](const fileDialogRequest_t& request) -> std::optional<std::wstring> {
            lastRequest_ = request;
            return path;
        });
    }

    std::int32_t word(int index)
    {
        std::vector<std::int32_t> memory(paramLayout::words);
        device_->getParameterMemory(memory.data());
        return memory.at(static_cast<std::size_t>(index));
    }

    // The parameter writes (command 3) sent since the last clear.
    std::vector<sentWord_t> sentWords() const
    {
        std::vector<sentWord_t> words;
        for (const packetBuffer_t& packet : device_->packets())
            if (packet.u8(0) == 3)
                words.push_back({packet.u16(1) / 4, packet.i32(3)});
        return words;
    }
    std::optional<std::int32_t> sentValueOf(int index) const
    {
        for (const sentWord_t& sent : sentWords())
            if (sent.index == index)
                return sent.value;
        return std::nullopt;
    }

    int rowOf(const std::wstring& name) const
    {
        const auto rows = page_->parameterRows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].first == name)
                return static_cast<int>(i);
        return -1;
    }
    QTreeWidgetItem* item(int row) const { return page_->list()->topLevelItem(row); }

    void clickValueCell(int row)
    {
        const QRect cell = page_->list()->visualRect(page_->list()->model()->index(row, 1));
        page_->onListClick(cell.center());
    }
    void pressEnter(const QString& text)
    {
        page_->editor()->setText(text);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(page_->editor(), &press);
    }

    sharedLock_t lock_;
    std::unique_ptr<testClientDev_t> device_;
    std::unique_ptr<installationDlg_t> page_;
    fileDialogRequest_t lastRequest_;
};

}  // namespace

TEST_F(InstallationDlgWidget, EditorCommitsOnlyANewReadableValueAfterYes)
{
    page_->show();
    refill(1119);
    const int row = rowOf(L"Trim Y initial");
    ASSERT_GE(row, 0);
    scriptedMessageBox_t boxes;
    clickValueCell(row);
    EXPECT_TRUE(page_->editor()->isVisible());
    EXPECT_EQ(page_->editedRow(), row);
    EXPECT_EQ(page_->editor()->text(), QStringLiteral("1.5mm"));
    EXPECT_EQ(item(row)->text(3), QStringLiteral("0.5mm"));
    EXPECT_EQ(item(row)->text(4), QStringLiteral("2.5mm"));

    pressEnter(QStringLiteral("abc"));  // no number: the editor stays
    EXPECT_EQ(page_->editedRow(), row);
    EXPECT_EQ(page_->editor()->text(), QStringLiteral("abc"));
    EXPECT_TRUE(page_->editor()->isVisible());
    pressEnter(QStringLiteral("1.5004"));  // the same in microns: closes without a question
    EXPECT_EQ(page_->editedRow(), -1);
    EXPECT_FALSE(page_->editor()->isVisible());

    clickValueCell(row);
    boxes.expect(L"Change value of Trim Y initial from 1.5mm to 1.6mm?", MB_YESNO | MB_ICONQUESTION, IDNO);
    pressEnter(QStringLiteral("1.6"));
    EXPECT_EQ(page_->editedRow(), -1);
    EXPECT_TRUE(sentWords().empty());

    clickValueCell(row);
    boxes.expect(L"Change value of Trim Y initial from 1.5mm to 1.6mm?", MB_YESNO | MB_ICONQUESTION, IDYES);
    // The next click in the list commits too.
    page_->editor()->setText(QStringLiteral("1.6"));
    page_->onListClick(QPoint(-10, -10));
    EXPECT_EQ(sentValueOf(trimYWord), 1600000);
    EXPECT_EQ(word(trimYWord), 1600000);

    page_->buildComparisonText();
    EXPECT_EQ(item(row)->text(1), QStringLiteral("1.6mm"));
    EXPECT_EQ(item(row)->background(1).color(), colorrefToColor(0x96f5f5));
    EXPECT_EQ(item(row)->background(2).color(), colorrefToColor(0xf0f0f0));
    EXPECT_EQ(page_->parameterRows()[static_cast<std::size_t>(row)],
              std::make_pair(std::wstring(L"Trim Y initial"), std::wstring(L"1.6mm")));
    EXPECT_EQ(boxes.remaining(), 0u);
}

// A damaged file, or one that is no parameters file, leaves the machine's
// memory and "MachineParameters.txt" as they were, sends nothing and says
// what was wrong and where. A whole file of another version is applied.
TEST_F(InstallationDlgWidget, UpdateAppliesOnlyAWholeCleanFileAndKeepsListedValues)
{
    ASSERT_TRUE(writeRawFile(device_->getOpenedParamsPath(), "51 Trim Y initial\r\n"));
    refill(1120);
    device_->setParameterWord(trimYWord, 1700000);
    ASSERT_TRUE(device_->saveParametersFile());
    // A parameters file that changes a listed and an unlisted parameter.
    std::vector<std::int32_t> image(paramLayout::words);
    device_->getParameterMemory(image.data());
    image[trimYWord] = 2000000;
    image[startSpeedWord] = -4000;
    const std::wstring chosen = L"C:/chosen.TXT";
    ASSERT_TRUE(device_->writeParametersFile(chosen, image.data(), L""));
    const std::string good = *readRawFile(chosen);
    ASSERT_EQ(lineOf(good, 7).substr(0, 21), "Lines Starting Speed;");
    ASSERT_EQ(lineOf(good, 359), "-4000");  // "V1 (Iron End Speed)"
    ASSERT_EQ(lineOf(good, 392), "   5    2    2000         -1000       116           20        2       30       ON       ON");
    ASSERT_EQ(lineOf(good, 400), "Glue Parameters");
    ASSERT_EQ(lineOf(good, 403), " 0 1190000 20000000 507000 40000000 317000 , 110000000");

    struct refusal_t {
        const char* what;
        std::optional<std::string> bytes;  // none: no such file
        std::wstring box;
        bool whole = true;                 // else the end of the box's text
    };
    const std::wstring notSent = L"\nNothing was written or sent to the machine.";
    const refusal_t refusals[] = {
        {"value beyond 32 bits", withLine(good, 359, "4294967296"),
         L"Line 359: the value of \"V1 (Iron End Speed)\" is not a whole number that fits in 32 bits" + notSent},
        // The reader stops there, too early to find the rest.
        {"the first value damaged", withLine(good, 8, "abc"),
         L"Line 8: the value of \"Lines Starting Speed\" is not a whole number that fits in 32 bits" + notSent},
        {"cut 15 parameters before the end", linesUpTo(good, 339),
         L"Line 339: the file ends without the \"Tools Parameters\" section" + notSent},
        {"no value after the machine number's heading", withLine(good, 5, ""),
         L"Line 5: the value of \"QVR Machine ID\" is not a whole number that fits in 32 bits" + notSent},
        {"damaged tool row", withLine(good, 392, "   5    2    2000         -1000       116           20        2"),
         L"Line 392: tool row 5 cannot be read" + notSent},
        {"damaged third glue line", withLine(good, 403, " 0 1190000 20000000 5O7000 40000000 317000 , 110000000"),
         L"Line 403: the glue profile cannot be read" + notSent},
        {"glue heading without profiles", linesUpTo(good, 400),
         L"Line 400: no glue profile follows \"Glue Parameters\"" + notSent},
        {"tool speed beyond its field",
         withLine(good, 391, "   4    1    2000         -1000     70000           20        2       10       ON       ON"),
         L"Line 391: tool 4: the speed 70000 does not fit its field (-32768 to 32767)" + notSent},
        {"a log file", std::string("12:00 READY\r\n12:01 Building...\r\n"),
         L"\nToo many parameters are missings. This is not a parameters file.\n" + notSent, false},
        {"no file", std::nullopt, L"Cannot open file" + notSent},
    };
    scriptedMessageBox_t boxes;
    for (const refusal_t& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        const std::wstring path = refusal.bytes ? L"C:/refused.TXT" : L"C:/none.TXT";
        if (refusal.bytes) {
            ASSERT_TRUE(writeRawFile(path, *refusal.bytes));
        }
        const std::optional<std::string> before = readRawFile(device_->getParametersFilePath());
        std::vector<std::int32_t> memoryBefore(paramLayout::words);
        device_->getParameterMemory(memoryBefore.data());
        const std::size_t glueBefore = device_->getGlueProfiles().size();
        answerFileDialog(path);
        boxes.expect(expectedBox_t{refusal.box, !refusal.whole, std::nullopt, MB_OK | MB_ICONERROR, IDOK});
        page_->onUpdateMachineParameters();
        EXPECT_EQ(boxes.remaining(), 0u);
        EXPECT_TRUE(device_->packets().empty());
        EXPECT_TRUE(readRawFile(device_->getParametersFilePath()) == before) << "the settings file changed";
        std::vector<std::int32_t> memory(paramLayout::words);
        device_->getParameterMemory(memory.data());
        EXPECT_TRUE(memory == memoryBefore) << "the memory changed";
        EXPECT_EQ(device_->getGlueProfiles().size(), glueBefore);
    }

    // Files of other versions: a parameter the file does not hold keeps its
    // current value, one this version does not know is passed over with its value.
    struct applied_t {
        const char* what;
        std::string bytes;
        bool holdsBoth;  // else neither of the two parameters
    };
    const std::int32_t currentStartSpeed = word(startSpeedWord);
    ASSERT_NE(currentStartSpeed, -4000);
    device_->setParameterWord(ironEndSpeedWord, -3900);
    const applied_t applied[] = {
        {"an earlier version's file without two parameters",
         withLine(withLine(withLine(withLine(good, 7, ""), 8, ""), 358, ""), 359, ""), false},
        {"a later version's file with a parameter this one does not know",
         withLine(good, 6, "\r\nLines Ending Speed;Ending speed of a later version;speed\r\n-3000\r\n"),
         true},
        {"the file as written", good, true},
    };
    for (const applied_t& file : applied) {
        SCOPED_TRACE(file.what);
        ASSERT_TRUE(writeRawFile(chosen, file.bytes));
        const std::int32_t startSpeed = file.holdsBoth ? -4000 : currentStartSpeed;
        const std::int32_t ironEndSpeed = file.holdsBoth ? -4000 : -3900;
        device_->clearSent();
        answerFileDialog(chosen);
        page_->onUpdateMachineParameters();
        EXPECT_NE(lastRequest_.startPath.find(L"\\Factory_Parameters.txt"), std::wstring::npos);
        EXPECT_EQ(lastRequest_.startPath.find(L'/'), std::wstring::npos);
        EXPECT_EQ(word(trimYWord), 1700000);
        EXPECT_EQ(word(startSpeedWord), startSpeed);
        EXPECT_EQ(sentValueOf(trimYWord), 1700000);
        EXPECT_EQ(sentValueOf(startSpeedWord), startSpeed);
        EXPECT_EQ(word(ironEndSpeedWord), ironEndSpeed);
        EXPECT_EQ(sentValueOf(ironEndSpeedWord), ironEndSpeed);
        EXPECT_EQ(device_->getGlueProfiles().size(), 21u);
    }
}

// The question runs its own event loop; what the program handles there may
// refill the list (notifications 104, 108, 151 free every row's handle) or
// take the device away. Yes then changes nothing.
TEST_F(InstallationDlgWidget, AnswerGivenWhileTheListOrDeviceChangedChangesNothing)
{
    page_->show();
    refill(1119);
    const int row = rowOf(L"Trim Y initial");
    ASSERT_GE(row, 0);
    struct case_t {
        const char* what;
        std::function<void()> meanwhile;
    };
    const case_t cases[] = {
        {"a refill posted and handled",
         [this] {
             QMetaObject::invokeMethod(page_.get(), [this] { page_->fillParameterList(); }, Qt::QueuedConnection);
             QCoreApplication::processEvents();
         }},
        {"the device gone", [] { setCurrentClientDevice(nullptr); }},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.what);
        scriptedMessageBox_t boxes;
        clickValueCell(row);
        boxes.expect(expectedBox_t{L"Change value of Trim Y initial from 1.5mm to 1.6mm?", false, std::nullopt,
                                   MB_YESNO | MB_ICONQUESTION, IDYES, c.meanwhile});
        pressEnter(QStringLiteral("1.6"));
        EXPECT_EQ(boxes.remaining(), 0u);
        setCurrentClientDevice(device_.get());
        EXPECT_TRUE(device_->packets().empty());
        EXPECT_EQ(word(trimYWord), 1500000);
        EXPECT_EQ(page_->editedRow(), -1);
        EXPECT_FALSE(page_->editor()->isVisible());
        refill(1119);
    }
}

TEST_F(InstallationDlgWidget, RestoreWritesFactoryValuesAsStored)
{
    ASSERT_TRUE(writeRawFile(device_->getOpenedParamsPath(), "51 Trim Y initial\r\n64 X Step Size\r\n"));
    refill(1120);
    ASSERT_EQ(page_->rowCount(), 3);
    // The step size shows in millimetres but reads typed text as nanometres;
    // its factory value must reach the machine as it is stored.
    const std::int32_t factoryStep = word(paramLayout::factoryBlockWord + xStepSizeWord);
    device_->setParameterWord(xStepSizeWord, factoryStep + 8);
    const std::int32_t trimY = word(trimYWord);
    ASSERT_EQ(trimY, word(paramLayout::factoryBlockWord + trimYWord));

    scriptedMessageBox_t boxes;
    const std::wstring question =
        L"This operation will restore the values of the listed parameters. ARE YOU SURE?";
    boxes.expect(question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDNO);
    page_->onRestoreFactory();
    EXPECT_TRUE(sentWords().empty());

    boxes.expect(question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDYES);
    page_->onRestoreFactory();
    EXPECT_EQ(sentWords(), (std::vector<sentWord_t>{{xStepSizeWord, factoryStep}}));
    EXPECT_EQ(word(xStepSizeWord), factoryStep);
}

TEST_F(InstallationDlgWidget, SaveThatFailsSaysSo)
{
    scriptedMessageBox_t boxes;
    ASSERT_TRUE(writeRawFile(L"C:/afile", "x"));
    answerFileDialog(L"C:/afile/parameters.TXT");  // a folder that is a file
    boxes.expectContaining(L"", MB_OK | MB_ICONERROR, IDOK);
    page_->onSaveParameters();
    EXPECT_EQ(boxes.remaining(), 0u);
    EXPECT_EQ(lastRequest_.defaultSuffix, L"TXT");
    EXPECT_TRUE(lastRequest_.overwritePrompt);
}

TEST_F(InstallationDlgWidget, StartsTheUpdaterAndInitialisesTheMachine)
{
    std::vector<std::wstring> starts;
    setLauncherHook([&starts](const std::wstring& commandLine) {
        starts.push_back(commandLine);
        return true;
    });
    page_->onInstallFirmware();
    EXPECT_EQ(starts, std::vector<std::wstring>{buildCommandLine(getSlicerFolder() + L"/Pevrale.exe", L"")});

    device_->setMachineState(7);
    page_->onInitializeMachine();
    const std::vector<int> codes = device_->codes();
    EXPECT_NE(std::find(codes.begin(), codes.end(), 138), codes.end());
}

TEST_F(InstallationDlgWidget, PrintParametersPrintsTheListedRowsAfterOk)
{
    ASSERT_TRUE(writeRawFile(device_->getOpenedParamsPath(), "51 Trim Y initial\r\n"));
    refill(1120);
    const auto rows = page_->parameterRows();
    ASSERT_FALSE(rows.empty());
    bool answer = false;
    setPrintDialogHook([&answer](QPrinter&, QWidget*) { return answer; });
    auto* button = qobject_cast<QPushButton*>(dlgItem(page_.get(), 1123));
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_TRUE(printedPdfs().empty());

    answer = true;
    button->click();
    setPrintDialogHook({});
    const std::vector<std::string> pdfs = printedPdfs();
    ASSERT_EQ(pdfs.size(), 1u);
    const std::vector<std::string> lines = textLines(pdfText(pdfs[0]));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("Parameters List For Machine #", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], wstrToStr(rows[0].first + L" = " + rows[0].second));
}
