#include "procedures/batches/qt/trimChooseNumberDlg.h"

#include "ui_trimChooseNumberDlg.h"

#include <QPushButton>

trimChooseNumberDlg_t::trimChooseNumberDlg_t(int maximum, int initialNumber, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::trimChooseNumberDlgTemplate>()), maximum_(maximum),
      chosen_(initialNumber)
{
    ui_->setupUi(this);
    ui_->slider->setRange(1, maximum_);
    ui_->slider->setPageStep(1);
    ui_->slider->setValue(initialNumber);
    ui_->number->setText(QString::number(initialNumber));
    // The edit follows the slider while it moves, as its buddy does.
    connect(ui_->slider, &QSlider::valueChanged, this,
            [this](int value) { ui_->number->setText(QString::number(value)); });
    connect(ui_->ok, &QPushButton::clicked, this, &trimChooseNumberDlg_t::accept);
    connect(ui_->cancel, &QPushButton::clicked, this, &QDialog::reject);
}

trimChooseNumberDlg_t::~trimChooseNumberDlg_t() = default;

void trimChooseNumberDlg_t::accept()
{
    chosen_ = ui_->slider->value();
    QDialog::accept();
}
