#include "platform/qt/fileDialogHook.h"

#include "platform/paths.h"

#include <QFileDialog>
#include <QFileInfo>
#include <memory>
#include <mutex>

namespace {

std::mutex hookMutex;
std::shared_ptr<const fileDialogHook_t> currentHook;

// Qt's own dialog: its name filters match case-insensitively, so "*.ZS"
// also shows "cube.zs" (the native choosers of some desktops do not).
std::optional<std::wstring> qtFileDialog(const fileDialogRequest_t& request)
{
    QFileDialog dialog(request.parent, QString::fromStdWString(request.title));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (!request.startPath.empty()) {
        if (const auto start = resolvePath(request.startPath)) {
            const QString path = QString::fromStdString(*start);
            const QFileInfo info(path);
            if (info.isDir()) {
                dialog.setDirectory(path);
            } else {
                dialog.setDirectory(info.absolutePath());
                if (request.kind != fileDialogRequest_t::folder_e)
                    dialog.selectFile(info.fileName());
            }
        }
    }
    switch (request.kind) {
    case fileDialogRequest_t::open_e:
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case fileDialogRequest_t::save_e:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
        break;
    case fileDialogRequest_t::folder_e:
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        break;
    }
    if (request.kind != fileDialogRequest_t::folder_e) {
        const QStringList filters = qtNameFilters(request.filter);
        if (!filters.isEmpty())
            dialog.setNameFilters(filters);
        if (!request.defaultSuffix.empty())
            dialog.setDefaultSuffix(QString::fromStdWString(request.defaultSuffix));
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return toSystemPath(chosen.front().toStdString());
}

}  // namespace

void setFileDialogHook(fileDialogHook_t hook)
{
    std::shared_ptr<const fileDialogHook_t> next;
    if (hook)
        next = std::make_shared<const fileDialogHook_t>(std::move(hook));
    std::lock_guard<std::mutex> lock(hookMutex);
    currentHook = std::move(next);
}

std::optional<std::wstring> runFileDialog(const fileDialogRequest_t& request)
{
    std::shared_ptr<const fileDialogHook_t> hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        hook = currentHook;
    }
    return hook ? (*hook)(request) : qtFileDialog(request);
}

QStringList qtNameFilters(const std::wstring& windowsFilter)
{
    const QStringList parts = QString::fromStdWString(windowsFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        if (description.isEmpty())
            break;  // the "||" that ends the list
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns = patterns.simplified();
        if (patterns.isEmpty())
            continue;  // a description without patterns filters nothing
        // Qt takes the patterns from the last parentheses of the text, so a
        // description that already shows them is used as it stands.
        const QString shown = QLatin1Char('(') + patterns + QLatin1Char(')');
        if (description.endsWith(shown))
            filters << description;
        else
            filters << description + QLatin1Char(' ') + shown;
    }
    return filters;
}
