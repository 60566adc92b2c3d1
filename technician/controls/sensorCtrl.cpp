#include "technician/controls/sensorCtrl.h"

#include "machine/currentDevice.h"
#include "machine/qvrCommDev.h"
#include "platform/qt/colorref.h"

#include <QPalette>
#include <QString>
#include <algorithm>

namespace {

constexpr COLORREF litColour = 0x80ffff;   // yellow
constexpr COLORREF darkColour = 0xb0b0b0;  // grey

// Lamps live on the user-interface thread only.
std::vector<sensorCtrl_t*>& lampList()
{
    static std::vector<sensorCtrl_t*> list;
    return list;
}

}  // namespace

sensorCtrl_t::sensorCtrl_t(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
    setAlignment(Qt::AlignCenter);
}

sensorCtrl_t::~sensorCtrl_t()
{
    auto& list = lampList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void sensorCtrl_t::attach(std::uint32_t mask, const std::wstring& tooltipText)
{
    mask_ = mask;
    if (!attached_) {
        lampList().push_back(this);
        attached_ = true;
    }
    if (!tooltipText.empty())
        setToolTip(QString::fromStdWString(tooltipText).replace(QStringLiteral("&&"), QStringLiteral("&")));
}

sensorCtrl_t::lampState_e sensorCtrl_t::lampState() const
{
    qvrCommDev_t* device = getCurrentDevice();
    if (device == nullptr || !device->isConnected())
        return unknown_e;
    bool lit = false;
    if (mask_ == doorMask)
        lit = device->isDOORopen();
    else
        lit = (device->getStatus().sensorWord() & mask_) != 0;
    return lit ? lit_e : dark_e;
}

void sensorCtrl_t::applyState()
{
    const lampState_e state = lampState();
    if (state == shown_)
        return;
    shown_ = state;
    if (state == unknown_e) {
        setPalette(QPalette());
        return;
    }
    QPalette colours = palette();
    colours.setColor(QPalette::Base, colorrefToColor(state == lit_e ? litColour : darkColour));
    setPalette(colours);
}

void sensorCtrl_t::showEvent(QShowEvent* event)
{
    applyState();
    QLineEdit::showEvent(event);
}

void sensorCtrl_t::paintEvent(QPaintEvent* event)
{
    // A changed colour changes the palette, which asks for one more paint;
    // that one finds the colour shown and changes nothing.
    applyState();
    QLineEdit::paintEvent(event);
}

void sensorCtrl_t::invalidateAll()
{
    for (sensorCtrl_t* lamp : lampList()) {
        lamp->applyState();
        lamp->update();
    }
}

std::vector<sensorCtrl_t*> sensorCtrl_t::lamps()
{
    return lampList();
}
