// The worker thread as pacemaker: the step runs on the interface thread, one
// at a time, and stopping never hangs, even from inside a step.
#include "device/DeviceEnvironment.h"
#include "device/USBThread.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace {

struct App {
    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    std::unique_ptr<QCoreApplication> own;
    App()
    {
        if (!QCoreApplication::instance())
            own = std::make_unique<QCoreApplication>(argc, argv);
    }
};

// Processes events until done() or about ten seconds passed.
template <typename Done>
bool PumpUntil(Done done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

TEST(JobThread, StepRunsOnTheInterfaceThreadOneAtATime)
{
    App app;
    QObject context;
    int steps = 0;
    bool inStep = false;
    bool overlapped = false;
    bool offThread = false;
    device::USBThread worker(
        [&] {
            overlapped = overlapped || inStep;
            offThread = offThread || QThread::currentThread() != QCoreApplication::instance()->thread();
            inStep = true;
            // A step that pumps (as jobs do) must not get a second step nested inside it.
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 15)
                QCoreApplication::processEvents();
            inStep = false;
            ++steps;
        },
        &context, 1);
    EXPECT_TRUE(PumpUntil([&] { return steps >= 5; }));
    worker.Stop();
    const int stoppedAt = steps;
    QCoreApplication::processEvents();
    EXPECT_EQ(steps, stoppedAt);  // nothing runs after Stop
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(offThread);
}

TEST(JobThread, StopFromInsideAStepDoesNotDeadlock)
{
    App app;
    QObject context;
    std::unique_ptr<device::USBThread> worker;
    bool stopped = false;
    worker = std::make_unique<device::USBThread>(
        [&] {
            if (!stopped) {
                worker->Stop();  // as closing the window from inside a job's message pump does
                stopped = true;
            }
        },
        &context, 300);
    EXPECT_TRUE(PumpUntil([&] { return stopped; }));
    EXPECT_TRUE(worker->isFinished());
}

}  // namespace

namespace {

// A press put off while a step runs re-posts itself from every pump inside the step; each pump must
// take it once, or the step would never get back to its transfers.
TEST(JobThread, PostedActionRunsOncePerPumpAndNeverInsideItsOwnPump)
{
    App app;
    device::QtDeviceEnvironment env;
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        env.Post(again);
    };
    env.Post(again);
    EXPECT_EQ(runs, 0);  // posting never runs the action at once
    env.Pump();
    EXPECT_EQ(runs, 1);
    env.Pump();
    EXPECT_EQ(runs, 2);
    again = [&] { ++runs; };  // the copy already queued still posts once more
    env.Pump();
    env.Pump();
    env.Pump();
    EXPECT_EQ(runs, 4);
}

}  // namespace
