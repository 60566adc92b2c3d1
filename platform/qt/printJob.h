// One printed document, aimed where platform.conf's [printer] says: the
// named printer, or a new PDF file in the PDF folder (see
// platform/printerSetting.h). A named printer that cannot be reached makes
// the job unusable, and printing then does nothing and says nothing.
#pragma once
#include <QPrinter>
#include <memory>
#include <string>

class QWidget;

class printJob_t {
public:
    explicit printJob_t(const std::wstring& documentName);
    // A PDF file reserved for this document that received nothing (the
    // dialog was cancelled, the painter failed) is removed.
    ~printJob_t();
    printJob_t(const printJob_t&) = delete;
    printJob_t& operator=(const printJob_t&) = delete;

    bool ready() const { return ready_; }
    QPrinter& printer() { return *printer_; }
    // The print dialog (through its hook); false on Cancel or when the job
    // is not ready.
    bool askUser(QWidget* parent);

private:
    std::unique_ptr<QPrinter> printer_;
    std::string reservedPdf_;  // Linux path; empty when printing to a printer
    bool ready_ = false;
};
