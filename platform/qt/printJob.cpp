#include "platform/qt/printJob.h"

#include "platform/printerSetting.h"
#include "platform/qt/printDialogHook.h"

#include <QPrinterInfo>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

printJob_t::printJob_t(const std::wstring& documentName)
    : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
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
    const std::optional<std::string> path = reservePdfFile(setting.pdfFolder, documentName, std::time(nullptr));
    if (!path)
        return;
    reservedPdf_ = *path;
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(QString::fromStdString(reservedPdf_));
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
