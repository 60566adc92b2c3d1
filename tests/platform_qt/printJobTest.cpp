// A printed document's PDF file: the print dialog is offered a name that no
// file has, the document lands under a name of its own, and a cancelled
// dialog leaves nothing behind.
#include "platform/qt/printDialogHook.h"
#include "platform/qt/printJob.h"
#include "platform/qt/printPainter.h"
#include "tests/support/printedPdf.h"
#include "tests/support/tempPrefix.h"

#include <QFileInfo>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

class PrintJobWidget : public prefixTest {
protected:
    void TearDown() override { setPrintDialogHook({}); }
};

std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(PrintJobWidget, TheDialogFindsNoFileOfOursAndTheDocumentGetsANameOfItsOwn)
{
    const struct {
        const char* what;
        bool answer;
        bool nameTakenMeanwhile;  // another document of the same second
    } cases[] = {{"OK", true, false}, {"OK, the name taken meanwhile", true, true}, {"Cancel", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& pdf : printedPdfs())
            std::remove(pdf.c_str());
        std::string offered;
        {
            printJob_t job(L"Parameters List");
            setPrintDialogHook([&](QPrinter& printer, QWidget*) {
                offered = printer.outputFileName().toStdString();
                // What the dialog would ask "... already exists. Do you want
                // to overwrite it?" about.
                EXPECT_FALSE(QFileInfo::exists(printer.outputFileName()));
                if (c.nameTakenMeanwhile)
                    std::ofstream(offered, std::ios::binary) << "another document";
                return c.answer;
            });
            if (job.askUser(nullptr)) {
                printPainter_t painter(job);
                ASSERT_TRUE(painter.active());
                painter.setFont(painter.height() / 32, 400);
                painter.printLine(painter.width() / 10, painter.height() / 10, L"Parameters List For Machine #12", 0);
                EXPECT_TRUE(painter.end());
            }
        }
        ASSERT_NE(offered.find("/Parameters List 2"), std::string::npos) << offered;
        const std::vector<std::string> pdfs = printedPdfs();
        if (!c.answer) {
            EXPECT_TRUE(pdfs.empty());
            continue;
        }
        const std::string printed = c.nameTakenMeanwhile ? offered.substr(0, offered.size() - 4) + " (2).pdf" : offered;
        EXPECT_EQ(pdfs.size(), c.nameTakenMeanwhile ? 2u : 1u);
        if (c.nameTakenMeanwhile) {
            EXPECT_TRUE(contentOf(offered) == "another document") << "the other document's file was overwritten";
        }
        EXPECT_EQ(textLines(pdfText(printed)), std::vector<std::string>{"Parameters List For Machine #12"});
    }
}

}  // namespace
