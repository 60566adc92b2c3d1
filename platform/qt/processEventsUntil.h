// Waits on the user-interface thread for a condition, processing events
// meanwhile, with a deadline (for tests and picture tools).
#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

template <class condition_t>
bool processEventsUntil(condition_t condition, int deadlineMs = 30000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > deadlineMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}
