#include "platform/qt/windowTitleJournal.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace {

class titleJournal_t : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowTitleChange && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow()) {
                std::fprintf(stderr, "window title \"%s\"\n", widget->windowTitle().toUtf8().constData());
                std::fflush(stderr);
            }
        }
        return false;
    }
};

} // namespace

void journalWindowTitlesFromEnvironment(QApplication& application) {
    if (std::getenv("QVR_WINDOW_TITLES") == nullptr)
        return;
    application.installEventFilter(new titleJournal_t(&application));
}
