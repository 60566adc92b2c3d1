// The Build page of the Operations page (dialog 192): hands a model file to
// the machines server for building, and shows the statistics of the current
// build from the layer records the client device collects, each value
// coloured as a lamp (good green, bad purple, neutral black).
#pragma once
#include "technician/pages/buildStatistics.h"

#include <QDialog>
#include <array>
#include <memory>
#include <string>

class QLabel;
class QLineEdit;
namespace Ui {
class buildDlgTemplate;
}

namespace buildDlgId {
inline constexpr int zsFile = 1112;
inline constexpr int browse = 1017;
inline constexpr int build = 1016;
inline constexpr int layersInCalculation = 1081;
}  // namespace buildDlgId

class buildDlg_t : public QDialog {
    Q_OBJECT
public:
    // The value control of each lamp, in lamp order.
    static constexpr std::array<int, buildStatistics_t::lampCount> lampControls = {
        1091, 1082, 1085, 1084, 1086, 1083, 1092, 1093, 1089, 1090, 1088, 1087};
    // The colours of the lamp states (COLORREF), by state: bad, good, neutral.
    static constexpr std::array<std::uint32_t, 3> lampColours = {0x8050a0, 0x008000, 0x000000};

    explicit buildDlg_t(QWidget* parent = nullptr);
    ~buildDlg_t() override;

    // The bold font on the values, then the statistics. From then on the
    // page counts as existing for the notifications.
    bool onInitDialog();
    // Recomputes the statistics from the current device's layer records
    // (layers 1 to the last one received); nothing without a record.
    void computeStatistics();
    // On a change of machine: every lamp neutral and its text empty, then
    // the statistics again.
    void resetStatistics();

    void onBuild();
    void onBrowse();

    // --- what tests read -------------------------------------------------------
    std::wstring valueText(int controlId) const;
    buildStatistics_t::lampState_e lampState(int lamp) const;
    // The text colour the value control of a lamp is drawn with (COLORREF).
    std::uint32_t shownColour(int lamp) const;
    std::wstring zsFile() const;
    void setZsFile(const std::wstring& path);

    // Enter and Esc leave the page alone.
    void accept() override {}
    void reject() override {}

private:
    void showLamp(int lamp, buildStatistics_t::lampState_e state);
    void updateTexts();

    std::unique_ptr<Ui::buildDlgTemplate> ui_;
    std::array<buildStatistics_t::lampState_e, buildStatistics_t::lampCount> lamps_{};
    buildStatistics_t texts_;
    bool initialised_ = false;
};
