#include "technician/pages/calibrateFeederEncoders.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "platform/qt/colorref.h"
#include "platform/qt/dlgItem.h"
#include "technician/tovrikApp.h"
#include "ui_calibrateFeederEncoders.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr COLORREF goodColour = RGB(0, 128, 0);
constexpr COLORREF badColour = RGB(128, 0, 0);

}  // namespace

calibrateFeederEncoders_t::calibrateFeederEncoders_t(QWidget* parent)
    : qtWindow_t<QDialog>(parent), ui_(std::make_unique<Ui::calibrateFeederEncodersTemplate>()),
      device_(getCurrentClientDevice())
{
    ui_->setupUi(this);
    test_ = std::make_unique<feederEncoderTest_t>(device_, hwnd());
    connect(ui_->topTest, &QPushButton::clicked, this, [this] { startTest(feederEncoderTest_t::encoderMask); });
    connect(ui_->pvcTest, &QPushButton::clicked, this, [this] { startTest(feederEncoderTest_t::pvcMask); });
    connect(ui_->close, &QPushButton::clicked, this, &calibrateFeederEncoders_t::reject);
    tovrikApp().setBoldFont(this, encoderResultId);
    tovrikApp().setBoldFont(this, pvcResultId);
    showResult(encoderResultId, 0.0);
    showResult(pvcResultId, 0.0);
    if (device_ != nullptr)
        device_->prepareForBatch();
}

calibrateFeederEncoders_t::~calibrateFeederEncoders_t()
{
    destroyWindow();
    test_.reset();
}

void calibrateFeederEncoders_t::startTest(std::uint32_t mask)
{
    if (test_->start(mask) == feederEncoderTest_t::start_e::started_e) {
        ui_->topTest->setEnabled(false);
        ui_->pvcTest->setEnabled(false);
    }
}

void calibrateFeederEncoders_t::onWindowMessage(unsigned message, WPARAM, LPARAM)
{
    if (message == WM_APP)
        onProgress();
}

void calibrateFeederEncoders_t::onProgress()
{
    showResult(encoderResultId, test_->result(feederEncoderTest_t::encoderMask));
    showResult(pvcResultId, test_->result(feederEncoderTest_t::pvcMask));
}

void calibrateFeederEncoders_t::showResult(int id, double result)
{
    auto* label = dlgItemAs<QLabel>(this, id);
    if (label == nullptr)
        return;
    if (result > 0.0)
        label->setText(QString::number(static_cast<int>(result)) + QLatin1Char('%'));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colorrefToColor(feederEncoderTest_t::isGood(result) ? goodColour : badColour));
    label->setPalette(palette);
}

void calibrateFeederEncoders_t::reject()
{
    test_->stop();
    if (test_->started() && device_ != nullptr)
        device_->sendCommand(132);
    QDialog::reject();
}
