// "Calibrate Feeder Encoders": runs the feeder-encoder test for one of the
// two feeder sensors and shows its share in percent, green when it is near
// 50%, red otherwise. One test per opening of the window; Close stops the
// test and takes the machine out of state 5 when a test was started.
#pragma once
#include "platform/qt/qtWindow.h"
#include "procedures/batches/feederEncoderTest.h"

#include <QDialog>
#include <memory>

class qvrClientDev_t;
namespace Ui {
class calibrateFeederEncodersTemplate;
}

class calibrateFeederEncoders_t : public qtWindow_t<QDialog> {
    Q_OBJECT
public:
    static constexpr int dialogResource = 147;
    static constexpr int encoderResultId = 1119;
    static constexpr int pvcResultId = 1120;
    static constexpr int encoderTestId = 1121;
    static constexpr int pvcTestId = 1122;

    // Asks the machine into state 5.
    explicit calibrateFeederEncoders_t(QWidget* parent = nullptr);
    ~calibrateFeederEncoders_t() override;

    void startTest(std::uint32_t mask);
    // Close, Cancel and Escape.
    void reject() override;
    feederEncoderTest_t& test() { return *test_; }

protected:
    void onWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;

private:
    void onProgress();
    void showResult(int id, double result);

    std::unique_ptr<Ui::calibrateFeederEncodersTemplate> ui_;
    qvrClientDev_t* device_;
    std::unique_ptr<feederEncoderTest_t> test_;
};
