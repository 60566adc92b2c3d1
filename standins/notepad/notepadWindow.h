// Notepad's window: one plain-text file in an editor that can save it. A
// file that does not open shows an empty editor under its name; saving
// then creates it.
#pragma once
#include "standins/notepad/textFileCodec.h"

#include <QMainWindow>
#include <string>

class QPlainTextEdit;

class notepadWindow_t : public QMainWindow {
    Q_OBJECT
public:
    explicit notepadWindow_t(const std::wstring& path, QWidget* parent = nullptr);

    QPlainTextEdit* editor() const { return editor_; }
    const std::wstring& path() const { return path_; }
    // Writes the editor's text to the path (asks for one when there is
    // none); false, after telling the user, when it cannot be written.
    bool save();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showTitle();

    QPlainTextEdit* editor_;
    std::wstring path_;
    textEncoding_e encoding_ = textEncoding_e::ansi_e;
};
