// File and folder dialogs go through one replaceable function, so that tests
// can answer them. Paths on both sides are the system's texts: the start
// file is mapped to a Linux path for the dialog, the chosen file back to a
// system text ("C:\QVR_Printers\12\x.TXT"). User-interface thread only.
#pragma once
#include <QString>
#include <functional>
#include <optional>
#include <string>

class QWidget;

struct fileDialogRequest_t {
    enum kind_e { open_e, save_e, folder_e };
    kind_e kind = open_e;
    QWidget* parent = nullptr;
    std::wstring title;          // empty: the dialog's own title
    std::wstring startPath;      // a file or folder, system text; may be empty
    std::wstring filter;         // Windows form: "ZS Files (*.ZS)|*.ZS||"
    std::wstring defaultSuffix;  // without the dot: "TXT"
    bool overwritePrompt = false;
};

// The chosen path as a system text, or nothing when cancelled.
using fileDialogHook_t = std::function<std::optional<std::wstring>(const fileDialogRequest_t& request)>;

void setFileDialogHook(fileDialogHook_t hook);  // empty restores the Qt dialog
std::optional<std::wstring> runFileDialog(const fileDialogRequest_t& request);

// A Windows filter ("Parameters Files (*.TXT)|*.TXT|All Files (*.*)|*.*||")
// as Qt name filters, one per pair ("Parameters Files (*.TXT)", ...).
QStringList qtNameFilters(const std::wstring& windowsFilter);
