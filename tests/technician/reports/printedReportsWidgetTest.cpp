// The printed reports as they come out: PDF files in the prefix's PDF
// folder, read back with pdftotext.
#include "machine/errorHistory.h"
#include "platform/prefix.h"
#include "platform/process.h"
#include "platform/qt/printDialogHook.h"
#include "platform/qt/printJob.h"
#include "platform/qt/printPainter.h"
#include "platform/windowTable.h"
#include "technician/mainDlg.h"
#include "technician/printErrorsFlag.h"
#include "technician/reports/parameterListReport.h"
#include "technician/tovrikApp.h"
#include "tests/support/closedPort.h"
#include "tests/support/printedPdf.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/technicianTestDevices.h"

#include <QCoreApplication>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::vector<std::string> linesOfTheOnlyPdf()
{
    const std::vector<std::string> pdfs = printedPdfs();
    EXPECT_EQ(pdfs.size(), 1u);
    return pdfs.size() == 1 ? textLines(pdfText(pdfs[0])) : std::vector<std::string>{};
}

class PrintedReportsWidget : public prefixTest {
protected:
    void TearDown() override { setPrintDialogHook({}); }
};

struct dialogCase_t {
    const char* what;
    const wchar_t* printerName;  // empty: the PDF folder
    bool answer;                 // the print dialog's
    bool printed;
};

TEST_F(PrintedReportsWidget, ParameterListIsPrintedOnlyAfterOkOnAPrinterThatIsThere)
{
    const std::vector<std::pair<std::wstring, std::wstring>> rows = {
        {L"DZ Sensor-To-Iron", L"-2.100 mm"}, {L"Trim Y initial", L"1.500 mm"}, {L"Tool 9 DZ", L"0.250 mm"}};
    const dialogCase_t cases[] = {{"OK", L"", true, true},
                                  {"Cancel", L"", false, false},
                                  {"no such printer", L"No Such Printer 4711", true, false}};
    for (const dialogCase_t& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(setConfigValue(L"printer", L"name", c.printerName));
        int asked = 0;
        setPrintDialogHook([&](QPrinter&, QWidget*) {
            ++asked;
            return c.answer;
        });
        printParameterList(nullptr, 12, rows);
        EXPECT_EQ(asked, *c.printerName == L'\0' ? 1 : 0);
        if (!c.printed) {
            EXPECT_TRUE(printedPdfs().empty());
            continue;
        }
        const std::vector<std::string> lines = linesOfTheOnlyPdf();
        ASSERT_EQ(lines.size(), 6u);
        EXPECT_EQ(lines[0], "Parameters List For Machine #12");
        EXPECT_EQ(lines[1], "DZ Sensor-To-Iron = -2.100 mm");
        EXPECT_EQ(lines[2], "Trim Y initial = 1.500 mm");
        EXPECT_EQ(lines[3], "Tool 9 DZ = 0.250 mm");
        EXPECT_EQ(lines[4], "Software Version 2.0");
        EXPECT_EQ(lines[5].rfind("Date of print: ", 0), 0u) << lines[5];
        EXPECT_NE(printedPdfs()[0].find("/Parameters List 2"), std::string::npos);
        std::remove(printedPdfs()[0].c_str());
    }
}

// A device whose status and error record the test writes.
class reportDev_t : public testClientDev_t {
public:
    using testClientDev_t::testClientDev_t;
    void setStatus(std::uint32_t machine, std::uint32_t flags, int error)
    {
        lockGuard_t guard(getLock());
        status.setMachineID(machine);
        le::putU32(&status.bytes[12], flags);
        status.bytes[48] = static_cast<std::uint8_t>(error);
    }
};

class ErrorReportWidget : public prefixTest {
protected:
    void SetUp() override
    {
        setLauncherHook([](const std::wstring&) { return true; });
        mainDlg_t::setDeviceFactory(
            [](sharedLock_t& lock) -> qvrClientDev_t* { return new reportDev_t(HWND(0), lock); });
        dialog_ = std::make_unique<mainDlg_t>(false);
        dialog_->setServer(L"", closedPort());
        tovrikApp().setMainDialog(dialog_.get());
        dialog_->onInitDialog();
    }
    void TearDown() override
    {
        dialog_.reset();
        mainDlg_t::setDeviceFactory({});
        setLauncherHook({});
        setPrintErrorsAutomatically(false);
    }

    reportDev_t& device() { return *static_cast<reportDev_t*>(dialog_->device()); }

    void errorArrives(bool automatic, std::uint32_t flags, int error, int messageCode, const std::wstring& description)
    {
        setPrintErrorsAutomatically(automatic);
        device().setStatus(7, flags, error);
        errorHistory_t record;
        record.messageCode = messageCode;
        record.description = description;
        record.text2 = L"Bracket";
        record.layerNumber = 42;
        device().setErrorHistory(record);
        ASSERT_TRUE(postMessage(dialog_->hwnd(), basicComm_t::notifyMessageNumber, 138,
                                reinterpret_cast<LPARAM>(static_cast<basicComm_t*>(dialog_->device()))));
        QCoreApplication::processEvents();
    }

    std::unique_ptr<mainDlg_t> dialog_;
};

constexpr std::uint32_t building = 0x200;

TEST_F(ErrorReportWidget, PrintsNothingUnlessAskedForAKnownErrorWhileBuilding)
{
    const struct {
        const char* what;
        bool automatic;
        std::uint32_t flags;
        int error;
        int messageCode;
    } cases[] = {{"automatic printing off", false, building, 5, 21},
                 {"not building", true, 0x1ff, 5, 21},
                 {"no machine error", true, building, 0, 21},
                 {"unknown message", true, building, 5, 89}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        errorArrives(c.automatic, c.flags, c.error, c.messageCode, L"Head did not reach its sensor");
        EXPECT_TRUE(printedPdfs().empty());
    }
}

TEST_F(ErrorReportWidget, PrintsTheReportWithALongWordOnItsOwnLine)
{
    // A word just wider than 0.8 W in the report's font, measured as the
    // report measures it (the measuring page is thrown away).
    std::wstring word;
    {
        printJob_t job(L"measure");
        printPainter_t painter(job);
        ASSERT_TRUE(painter.active());
        painter.setFont(painter.height() / 32, 400);
        while (painter.textWidth(word + L"0 ") <= 8 * painter.width() / 10)
            word += L"0";
        word += L"0";
        ASSERT_LT(painter.textWidth(word), 9 * painter.width() / 10);
        painter.end();
    }
    for (const std::string& pdf : printedPdfs())
        std::remove(pdf.c_str());

    errorArrives(true, building, 5, 21, word);
    const std::vector<std::string> lines = linesOfTheOnlyPdf();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Error Report For Machine #7");
    EXPECT_EQ(lines[1], "XY HOME ERROR");
    EXPECT_EQ(lines[2].rfind("Date / Time: ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3], std::string(word.begin(), word.end()));
    EXPECT_EQ(lines[4], "Model Name: Bracket");
    EXPECT_EQ(lines[5], "Layer #: 42");
    EXPECT_NE(printedPdfs()[0].find("/Tovrik Error Details 2"), std::string::npos);
}

}  // namespace
