#include "device/DeviceEnvironment.h"
#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>
#include <algorithm>

namespace device {

void PumpingSleep(DeviceEnvironment& env, std::uint32_t ms)
{
    const std::int64_t deadline = env.NowMs() + ms;
    for (;;) {
        env.Pump();
        const std::int64_t left = deadline - env.NowMs();
        if (left <= 0)
            return;
        env.SleepMs(static_cast<std::uint32_t>(std::min<std::int64_t>(left, PumpSliceMs)));
    }
}

QtDeviceEnvironment::QtDeviceEnvironment() : startMs_(QDeadlineTimer::current().deadline()) {}

std::int64_t QtDeviceEnvironment::NowMs()
{
    return QDeadlineTimer::current().deadline() - startMs_;
}

LocalDateTime QtDeviceEnvironment::LocalNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

void QtDeviceEnvironment::SleepMs(std::uint32_t ms)
{
    QThread::msleep(ms);
}

void QtDeviceEnvironment::Pump()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtDeviceEnvironment::Post(std::function<void()> action)
{
    // Events posted while posted events are being delivered wait for the next delivery round.
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(action), Qt::QueuedConnection);
}

}  // namespace device
