// A sensor lamp: a read-only edit whose background shows one bit of the
// machine's sensor word, yellow when set and grey when clear, in the
// default colours while the link is down. The door lamp (mask 0x80000)
// follows the device's door rule rather than the bit. The colour is decided
// again at every paint, from the link state and status of that moment, so a
// lamp never shows a state older than its last paint. Every attached lamp
// joins one list, so that a status, or a lost link, repaints them all.
#pragma once
#include <QLineEdit>
#include <cstdint>
#include <string>
#include <vector>

class sensorCtrl_t : public QLineEdit {
    Q_OBJECT
public:
    static constexpr std::uint32_t doorMask = 0x80000;

    enum lampState_e { unknown_e, lit_e, dark_e };

    explicit sensorCtrl_t(QWidget* parent = nullptr);
    // Leaves the list.
    ~sensorCtrl_t() override;

    // Stores the mask and joins the list; a non-empty text becomes the
    // lamp's tooltip ("&&" shows as "&").
    void attach(std::uint32_t mask, const std::wstring& tooltipText);
    std::uint32_t mask() const { return mask_; }
    bool hasTooltip() const { return !toolTip().isEmpty(); }

    // What the lamp shows now, from the current device.
    lampState_e lampState() const;
    // The colour of the state drawn last (unknown_e: default colours).
    lampState_e shownState() const { return shown_; }

    // Recolours and repaints every lamp of the list.
    static void invalidateAll();
    static std::vector<sensorCtrl_t*> lamps();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applyState();

    std::uint32_t mask_ = 0;
    lampState_e shown_ = unknown_e;
    bool attached_ = false;
};
