// One printed document, aimed where platform.conf's [printer] says: the
// named printer, or a new PDF file in the PDF folder (see
// platform/printerSetting.h). A named printer that cannot be reached makes
// the job unusable, and printing then does nothing and says nothing.
//
// The PDF file is made only when the document starts: the print dialog
// offers a name that no file has yet, so it has nothing to ask about
// overwriting, and a cancelled dialog leaves nothing behind.
#pragma once
#include <QPrinter>
#include <ctime>
#include <memory>
#include <string>

class QWidget;

class printJob_t {
public:
    explicit printJob_t(const std::wstring& documentName);
    // A PDF file reserved for this document that received nothing (the
    // painter failed) is removed.
    ~printJob_t();
    printJob_t(const printJob_t&) = delete;
    printJob_t& operator=(const printJob_t&) = delete;

    // The print dialog (through its hook); false on Cancel or when the job
    // is not ready.
    bool askUser(QWidget* parent);
    // The printer to draw the document on, its PDF file now reserved: the
    // name offered, or the next free one when another document took it
    // meanwhile (a file the user chose in the dialog stays as chosen).
    // Nothing when the job is not ready or no file can be made.
    QPrinter* startDocument();

private:
    std::unique_ptr<QPrinter> printer_;
    std::wstring documentName_;
    std::wstring pdfFolder_;
    std::time_t when_ = 0;
    std::string offeredPdf_;   // Linux path; empty when printing to a printer
    std::string reservedPdf_;  // Linux path, once the document started
    bool ready_ = false;
};
