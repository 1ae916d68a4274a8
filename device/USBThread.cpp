#include "device/USBThread.h"
#include <QMetaObject>
#include <QSemaphore>
#include <algorithm>

namespace device {

namespace {
// How often the waiting worker looks whether it has been asked to stop, ms.
constexpr int StopPollMs = 20;
}  // namespace

USBThread::USBThread(std::function<void()> step, QObject* uiContext, int tickIntervalMs)
    : step_(std::move(step)), uiContext_(uiContext), tickIntervalMs_(tickIntervalMs),
      alive_(std::make_shared<std::atomic<bool>>(true))
{
    start();
}

USBThread::~USBThread()
{
    Stop();
}

void USBThread::Stop()
{
    alive_->store(false);
    requestInterruption();
    wait();
}

void USBThread::run()
{
    while (!isInterruptionRequested()) {
        // The step is handed to the interface thread and waited for. The wait is a semaphore rather
        // than a blocking queued call, so that stopping never dead-locks against a step in progress.
        auto done = std::make_shared<QSemaphore>();
        auto alive = alive_;
        auto step = step_;
        QMetaObject::invokeMethod(
            uiContext_,
            [done, alive, step] {
                if (alive->load() && step)
                    step();
                done->release();
            },
            Qt::QueuedConnection);
        while (!done->tryAcquire(1, StopPollMs))
            if (isInterruptionRequested())
                return;
        for (int slept = 0; slept < tickIntervalMs_.load() && !isInterruptionRequested(); slept += StopPollMs)
            msleep(static_cast<unsigned long>(std::min(StopPollMs, tickIntervalMs_.load() - slept)));
    }
}

}  // namespace device
