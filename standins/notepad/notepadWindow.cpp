#include "standins/notepad/notepadWindow.h"

#include "machine/fileUtils.h"
#include "platform/qt/fileDialogHook.h"
#include "standins/notepad/textFile.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>

notepadWindow_t::notepadWindow_t(const std::wstring& path, QWidget* parent)
    : QMainWindow(parent), editor_(new QPlainTextEdit(this)), path_(path)
{
    editor_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    setCentralWidget(editor_);
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Save"), QKeySequence::Save, this, [this] { save(); });
    file->addSeparator();
    file->addAction(tr("E&xit"), this, &QWidget::close);

    if (const std::optional<decodedText_t> loaded = readTextFile(path_)) {
        encoding_ = loaded->encoding;
        editor_->setPlainText(QString::fromStdWString(loaded->text));
    }
    editor_->document()->setModified(false);
    connect(editor_->document(), &QTextDocument::modificationChanged, this, [this] { showTitle(); });
    showTitle();
    resize(760, 520);
}

void notepadWindow_t::showTitle()
{
    const std::wstring name = path_.empty() ? L"Untitled" : getFileName(path_);
    setWindowTitle(QString::fromStdWString((editor_->document()->isModified() ? L"*" : L"") + name + L" - Notepad"));
}

bool notepadWindow_t::save()
{
    if (path_.empty()) {
        fileDialogRequest_t request;
        request.kind = fileDialogRequest_t::save_e;
        request.parent = this;
        request.filter = L"Text Documents (*.txt)|*.txt|All Files (*.*)|*.*||";
        request.defaultSuffix = L"txt";
        request.overwritePrompt = true;
        const std::optional<std::wstring> chosen = runFileDialog(request);
        if (!chosen)
            return false;
        path_ = *chosen;
    }
    if (!writeTextFile(path_, editor_->toPlainText().toStdWString(), encoding_)) {
        QMessageBox::warning(this, QStringLiteral("Notepad"),
                             QString::fromStdWString(L"Cannot save " + path_ + L"."));
        return false;
    }
    editor_->document()->setModified(false);
    showTitle();
    return true;
}

void notepadWindow_t::closeEvent(QCloseEvent* event)
{
    if (!editor_->document()->isModified()) {
        event->accept();
        return;
    }
    const auto answer = QMessageBox::question(
        this, QStringLiteral("Notepad"),
        QString::fromStdWString(L"Do you want to save changes to " +
                                (path_.empty() ? std::wstring(L"Untitled") : path_) + L"?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Discard || (answer == QMessageBox::Save && save()))
        event->accept();
    else
        event->ignore();
}
