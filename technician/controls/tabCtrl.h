// A tab control as the dialogs use it: a row of tabs over a framed pane,
// with the pages as the control's own children at fixed places (the
// handler shows and hides them). Unlike QTabWidget a tab need not have a
// page, and re-selecting a tab from the handler does not notify again.
#pragma once
#include <QWidget>

class QTabBar;

class tabCtrl_t : public QWidget {
    Q_OBJECT
public:
    explicit tabCtrl_t(QWidget* parent = nullptr);

    void insertItem(int index, const QString& caption);
    int count() const;
    int currentIndex() const;
    // Selects without the selection-changed notification.
    void setCurrentIndexQuietly(int index);
    QTabBar* tabBar() const { return bar_; }
    // Where the pages' area begins: below the tabs.
    int paneTop() const;

signals:
    // The user chose another tab (TCN_SELCHANGE).
    void selectionChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QTabBar* bar_;
};
