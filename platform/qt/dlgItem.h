// Controls addressed by their numeric id, as the dialogs' handlers and tests
// address them: every control carries its id in the dynamic property
// "ctrlId"; a dialog (or a page inside another dialog) carries its template
// id in "dialogId".
#pragma once
#include <QWidget>
#include <string>

inline constexpr const char* ctrlIdProperty = "ctrlId";
inline constexpr const char* dialogIdProperty = "dialogId";

void setCtrlId(QWidget* control, int id);
int ctrlId(const QWidget* control);  // 0 when it has none
void setDialogId(QWidget* dialog, int id);
int dialogId(const QWidget* dialog);  // 0 when it has none

// The control of a dialog with that id, or null (also for id 0). Direct
// children are preferred to deeper ones (controls inside group boxes and
// containers are found too); the search does not enter a nested dialog
// (a page), whose controls have ids of their own.
QWidget* dlgItem(const QWidget* dialog, int id);
template <class control_t>
control_t* dlgItemAs(const QWidget* dialog, int id)
{
    return qobject_cast<control_t*>(dlgItem(dialog, id));
}

// The id of the checked radio button among the ids first..last, 0 when none.
int checkedRadio(const QWidget* dialog, int first, int last);

// The window text of a control: an edit's or button's text, a label's text,
// a group box's title, a combo box's current text, a window's title.
std::wstring windowText(const QWidget* widget);
void setWindowText(QWidget* widget, const std::wstring& text);
