#include "standins/notepad/textPrint.h"

#include "machine/fileUtils.h"
#include "platform/qt/printJob.h"
#include "standins/notepad/textFile.h"

#include <QFontDatabase>
#include <QTextDocument>

bool printTextFile(const std::wstring& path)
{
    const std::optional<decodedText_t> loaded = readTextFile(path);
    if (!loaded)
        return false;
    printJob_t job(getFileName(path));
    QPrinter* printer = job.startDocument();
    if (printer == nullptr)
        return false;
    QTextDocument document;
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    document.setDefaultFont(font);
    document.setPlainText(QString::fromStdWString(loaded->text));
    // The document paginates and numbers the pages; its text stays text.
    document.print(printer);
    return true;
}
