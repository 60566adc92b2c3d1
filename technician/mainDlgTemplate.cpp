#include "technician/mainDlgTemplate.h"

#include "platform/qt/dlgItem.h"
#include "technician/controls/heldCheckBox.h"
#include "technician/controls/tabCtrl.h"
#include "technician/controls/transparentBitmap.h"
#include "technician/pageIds.h"

#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

mainDlgControls_t buildMainDlgTemplate(QDialog* dialog)
{
    using namespace mainDlgLayout;
    mainDlgControls_t controls;
    setDialogId(dialog, pageId::mainDialog);

    // The status strip: link, temperature and the Open Door mode.
    auto* strip = new QFrame(dialog);
    strip->setFrameShape(QFrame::StyledPanel);
    strip->setFrameShadow(QFrame::Sunken);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(10, 5, 10, 5);
    row->setSpacing(6);

    controls.communicationLabel = new QLabel(QStringLiteral("Communication:"), strip);
    setCtrlId(controls.communicationLabel, mainDlgId::communicationLabel);
    row->addWidget(controls.communicationLabel);

    controls.indicator = new transparentBitmap_t(strip);
    controls.indicator->setFixedSize(20, 20);
    setCtrlId(controls.indicator, mainDlgId::indicator);
    row->addWidget(controls.indicator);
    row->addSpacing(24);

    row->addWidget(new QLabel(QStringLiteral("Temperature:"), strip));
    controls.temperature = new QLineEdit(strip);
    controls.temperature->setReadOnly(true);
    controls.temperature->setAlignment(Qt::AlignCenter);
    controls.temperature->setFocusPolicy(Qt::NoFocus);
    controls.temperature->setFixedWidth(56);
    setCtrlId(controls.temperature, mainDlgId::temperature);
    row->addWidget(controls.temperature);
    row->addStretch(1);

    controls.openDoorMode = new heldCheckBox_t(QStringLiteral("\"Open Door\" mode"), strip);
    setCtrlId(controls.openDoorMode, mainDlgId::openDoorMode);
    row->addWidget(controls.openDoorMode);
    // A label shows "&&" as it stands; the template's text means one "&".
    auto* note = new QLabel(QStringLiteral("(Ignores door & temperature sensors)"), strip);
    note->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(note);

    controls.tabs = new tabCtrl_t(dialog);
    controls.tabs->setFixedSize(pageLeft + pageWidth + 5, pageTop + pageHeight + 5);
    setCtrlId(controls.tabs, mainDlgId::tabs);

    auto* column = new QVBoxLayout(dialog);
    column->setContentsMargins(9, 9, 9, 9);
    column->setSpacing(8);
    column->addWidget(strip);
    column->addWidget(controls.tabs);
    column->setSizeConstraint(QLayout::SetFixedSize);
    return controls;
}
