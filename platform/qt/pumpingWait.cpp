#include "platform/qt/pumpingWait.h"

#include "platform/winConstants.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

namespace {

// Short enough that a box or a repaint is not visibly late, long enough not
// to spin.
constexpr std::uint32_t sliceMs = 10;

}  // namespace

void pumpingWait(const waitSlice_t& waitSlice)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        while (!waitSlice(INFINITE)) {
        }
        return;
    }
    while (!waitSlice(0)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (waitSlice(sliceMs))
            return;
    }
}

void installPumpingWait()
{
    setWaitHook(pumpingWait);
}
