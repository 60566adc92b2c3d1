#include "technician/controls/tabCtrl.h"

#include <QSignalBlocker>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

tabCtrl_t::tabCtrl_t(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this))
{
    bar_->setDrawBase(false);
    bar_->setExpanding(false);
    bar_->setFocusPolicy(Qt::TabFocus);
    bar_->move(2, 0);
    connect(bar_, &QTabBar::currentChanged, this, &tabCtrl_t::selectionChanged);
}

void tabCtrl_t::insertItem(int index, const QString& caption)
{
    // The dialogs' captions double their ampersands ("Software && Parameters"),
    // which a tab shows as one, as the original did.
    const QSignalBlocker quiet(bar_);
    bar_->insertTab(index, caption);
    bar_->resize(bar_->sizeHint());
    update();
}

int tabCtrl_t::count() const
{
    return bar_->count();
}

int tabCtrl_t::currentIndex() const
{
    return bar_->currentIndex();
}

void tabCtrl_t::setCurrentIndexQuietly(int index)
{
    const QSignalBlocker quiet(bar_);
    bar_->setCurrentIndex(index);
}

int tabCtrl_t::paneTop() const
{
    return bar_->height() - 1;
}

void tabCtrl_t::resizeEvent(QResizeEvent* event)
{
    bar_->resize(std::min(bar_->sizeHint().width(), width() - 4), bar_->sizeHint().height());
    QWidget::resizeEvent(event);
}

void tabCtrl_t::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, paneTop(), width(), height() - paneTop());
    frame.tabBarSize = bar_->size();
    frame.tabBarRect = bar_->geometry();
    frame.shape = QTabBar::RoundedNorth;
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
}
