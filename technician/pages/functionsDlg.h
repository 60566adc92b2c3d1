// The Processes page (dialog 189) of the Operations page: one button per
// layer process of the machine, each sent through the manual-command gate,
// the layer-length edit and a picture of the layer process.
#pragma once
#include <QWidget>
#include <memory>

namespace Ui {
class functionsDlgTemplate;
}
class layerLengthEdit_t;

class functionsDlg_t : public QWidget {
    Q_OBJECT
public:
    explicit functionsDlg_t(QWidget* parent = nullptr);
    ~functionsDlg_t() override;

    // The group's bold heading and the picture (bitmap 136).
    bool onInitDialog();

    // "Check Height": refused with an error box while the feeder is past
    // the trim position (the media has to be trimmed and unfed first).
    void onCheckHeight();
    // The status's layer length, unless the technician is in the edit.
    void showLayerLength();
    layerLengthEdit_t* layerLengthEdit() const;

    // Enter commits the layer length when its edit has the focus; Esc does
    // nothing. Neither closes the page nor the main dialog.
    void onOK();
    void onCancel() {}

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::functionsDlgTemplate> ui_;
};
