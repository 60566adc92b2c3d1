#include "platform/qt/printDialogHook.h"

#include <QPrintDialog>
#include <QPrinter>
#include <memory>
#include <mutex>

namespace {

std::mutex hookMutex;
std::shared_ptr<const printDialogHook_t> currentHook;

bool qtPrintDialog(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    // Printing to a file stays offered only where a file is the
    // destination already: the PDF folder of the prefix.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, printer.outputFormat() == QPrinter::PdfFormat);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace

void setPrintDialogHook(printDialogHook_t hook)
{
    std::shared_ptr<const printDialogHook_t> next;
    if (hook)
        next = std::make_shared<const printDialogHook_t>(std::move(hook));
    std::lock_guard<std::mutex> lock(hookMutex);
    currentHook = std::move(next);
}

bool runPrintDialog(QPrinter& printer, QWidget* parent)
{
    std::shared_ptr<const printDialogHook_t> hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        hook = currentHook;
    }
    return hook ? (*hook)(printer, parent) : qtPrintDialog(printer, parent);
}
