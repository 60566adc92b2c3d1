// Dialog 102, the main dialog's template: the communication indicator, the
// temperature box, the "Open Door" mode box and the tab control that holds
// the pages, each control carrying its id.
#pragma once

class QDialog;
class QLabel;
class QLineEdit;
class heldCheckBox_t;
class tabCtrl_t;
class transparentBitmap_t;

namespace mainDlgId {
inline constexpr int temperature = 1001;
inline constexpr int openDoorMode = 1002;
inline constexpr int indicator = 1003;
inline constexpr int tabs = 1005;
inline constexpr int communicationLabel = 1125;
}  // namespace mainDlgId

// Where the pages sit in the tab control, and their size.
namespace mainDlgLayout {
inline constexpr int pageLeft = 5;
inline constexpr int pageTop = 30;
inline constexpr int pageWidth = 690;
inline constexpr int pageHeight = 440;
}  // namespace mainDlgLayout

struct mainDlgControls_t {
    QLabel* communicationLabel = nullptr;
    transparentBitmap_t* indicator = nullptr;
    QLineEdit* temperature = nullptr;
    heldCheckBox_t* openDoorMode = nullptr;
    tabCtrl_t* tabs = nullptr;
};

// Creates the controls on the dialog and lays them out; the dialog gets a
// fixed size, as a dialog template has.
mainDlgControls_t buildMainDlgTemplate(QDialog* dialog);
