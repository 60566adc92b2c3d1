#include "platform/qt/printJob.h"

#include "platform/printerSetting.h"
#include "platform/qt/printDialogHook.h"

#include <QPrinterInfo>
#include <sys/stat.h>
#include <unistd.h>

printJob_t::printJob_t(const std::wstring& documentName)
    : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)), documentName_(documentName),
      when_(std::time(nullptr))
{
    printer_->setDocName(QString::fromStdWString(documentName));
    const printerSetting_t setting = printerSetting();
    if (!setting.printerName.empty()) {
        const QString name = QString::fromStdWString(setting.printerName);
        if (QPrinterInfo::printerInfo(name).isNull())
            return;
        printer_->setPrinterName(name);
        ready_ = printer_->isValid();
        return;
    }
    const std::optional<std::string> path = freePdfFile(setting.pdfFolder, documentName, when_);
    if (!path)
        return;
    pdfFolder_ = setting.pdfFolder;
    offeredPdf_ = *path;
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(QString::fromStdString(offeredPdf_));
    ready_ = true;
}

printJob_t::~printJob_t()
{
    // The printer writes its file when its painter ends, which has happened
    // by now; an empty file is only the reservation.
    printer_.reset();
    struct stat st {};
    if (!reservedPdf_.empty() && ::stat(reservedPdf_.c_str(), &st) == 0 && st.st_size == 0)
        ::unlink(reservedPdf_.c_str());
}

bool printJob_t::askUser(QWidget* parent)
{
    return ready_ && runPrintDialog(*printer_, parent);
}

QPrinter* printJob_t::startDocument()
{
    if (!ready_)
        return nullptr;
    const bool offeredNameKept = printer_->outputFormat() == QPrinter::PdfFormat &&
                                 printer_->outputFileName() == QString::fromStdString(offeredPdf_);
    if (!offeredPdf_.empty() && reservedPdf_.empty() && offeredNameKept) {
        const std::optional<std::string> path = reservePdfFile(pdfFolder_, documentName_, when_);
        if (!path)
            return nullptr;
        reservedPdf_ = *path;
        printer_->setOutputFileName(QString::fromStdString(reservedPdf_));
    }
    return printer_.get();
}
