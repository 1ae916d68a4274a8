// The live view behind the engineering Start and Stop buttons, with the
// demo's simulated recorder streaming through the real worker.
#include "WindowFixture.h"
#include "app/DeviceServices.h"
#include "app/InstanceGuard.h"
#include "app/LiveViewController.h"
#include "app/MainForm.h"
#include "app/TerminationClose.h"
#include "app/Startup.h"
#include "device/JobRequest.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPicture.h"
#include "lang/ProgramTexts.h"
#include "lang/TextTable.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace {

class LiveView : public WindowFixture {
protected:
    std::unique_ptr<TECGMain> open(DeviceServices& device)
    {
        device.ResetForStartup();
        return WindowFixture::open(&device);
    }
};

TEST_F(LiveView, StartSweepsTheStreamOtherJobsAreRefusedAndClosingStopsIt)
{
    DeviceServices device(true);
    auto w = open(device);
    ASSERT_TRUE(WaitUntil([&] { return device.demoRecorder()->pluggedIn() && device.board().infoBlock.signed_; }, 8000));

    auto* start = w->findChild<QPushButton*>("Start");
    auto* stop = w->findChild<QPushButton*>("Stop");
    ASSERT_TRUE(start && stop);
    EXPECT_FALSE(start->isVisible()) << "engineering buttons stay hidden";
    start->click();
    auto* live = w->findChild<LiveViewController*>();
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(device.worker()->tickInterval(), 30);
    ASSERT_TRUE(WaitUntil([&] { return live->sweep()->sweepPosition() > 2 * 256; }, 8000));
    EXPECT_FALSE(w->ECGChart->pixmap().isNull());
    // No row-end seconds of a recording beside the sweep: the ruler is plain white.
    const QImage rowRuler = w->ECGChart2->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE([&] {
        for (int y = 0; y < rowRuler.height(); ++y)
            for (int x = 0; x < rowRuler.width(); ++x)
                if (rowRuler.pixelColor(x, y).lightness() < 160)
                    return false;
        return true;
    }()) << "a label is still drawn on the row-end ruler";

    // The Settings button is refused at once with a message instead of waiting behind the stream.
    w->SettingsClick();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.last(), DeviceStreamingText());

    if (const QByteArray dir = qgetenv("TALMON_SCREENSHOT_DIR"); !dir.isEmpty()) {
        WaitUntil([&] { return live->sweep()->sweepPosition() > 7 * 256; }, 8000);
        start->show();
        stop->show();
        w->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath("live-sweep.png"));
        start->hide();
        stop->hide();
    }

    // Stop ends the stream and the pacing, also when pressed while a job the step is about to refuse
    // (an information read) is still on the board; Start takes it up again.
    device::PostJob(device.board(), device::ReadInfoJobCode);
    stop->click();
    EXPECT_EQ(device.worker()->tickInterval(), 300);
    EXPECT_FALSE(live->pacing());
    ASSERT_TRUE(WaitUntil([&] { return !device.demoRecorder()->recorder().streaming(); }, 5000));
    start->click();
    ASSERT_TRUE(WaitUntil([&] { return device.board().stream.Streaming; }, 5000));

    // Closing while streaming: the recorder is told to stop, nothing keeps running.
    w->close();
    EXPECT_FALSE(live->pacing());
    EXPECT_FALSE(device.demoRecorder()->recorder().streaming());
    EXPECT_FALSE(device.board().stream.Streaming);
    EXPECT_FALSE(device.worker()->isRunning());
}

// The stream ends without Stop: unplugged, or the recorder falls silent while still attached.
TEST_F(LiveView, AStreamLostOrStalledEndsThePacingWithAMessage)
{
    struct Row {
        const char* name;
        std::function<void(DeviceServices&)> loseIt;
    };
    const Row rows[] = {
        {"unplugged", [](DeviceServices& d) { d.link().DeviceRemoved(); }},
        {"stalled", [](DeviceServices& d) { d.demoRecorder()->recorder().PowerDown(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        shown.clear();
        DeviceServices device(true);
        auto w = open(device);
        ASSERT_TRUE(
            WaitUntil([&] { return device.demoRecorder()->pluggedIn() && device.board().infoBlock.signed_; }, 8000));
        w->findChild<QPushButton*>("Start")->click();
        auto* live = w->findChild<LiveViewController*>();
        ASSERT_TRUE(WaitUntil([&] { return live->sweep()->sweepPosition() > 64; }, 8000));

        row.loseIt(device);
        ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty(); }, LiveViewController::kStallMs + 3000));
        EXPECT_EQ(shown.last(), "Check that the ECG device is connected.");
        EXPECT_FALSE(live->pacing());
        EXPECT_EQ(device.worker()->tickInterval(), 300);
        EXPECT_TRUE(WaitUntil([&] { return !device.board().stream.Streaming; }, 3000)) << "the stream is not ended";
        w->close();
    }
}

// A recorder that goes on streaming through both stop frames: the user is told, the stream stays on the
// board so nothing else talks into it, and Stop pressed again ends it.
TEST_F(LiveView, AStopThatDoesNotWorkIsToldAndStopCanBePressedAgain)
{
    DeviceServices device(true);
    auto w = open(device);
    ASSERT_TRUE(WaitUntil([&] { return device.demoRecorder()->pluggedIn() && device.board().infoBlock.signed_; }, 8000));
    sim::SimulatedRecorder& recorder = device.demoRecorder()->recorder();
    recorder.faults().ignoredStreamStops = 2;
    auto* stop = w->findChild<QPushButton*>("Stop");
    w->findChild<QPushButton*>("Start")->click();
    auto* live = w->findChild<LiveViewController*>();
    ASSERT_TRUE(WaitUntil([&] { return live->sweep()->sweepPosition() > 64; }, 8000));

    shown.clear();
    stop->click();
    ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty(); }, 5000));
    EXPECT_EQ(shown.last(), DeviceStreamNotStoppedText());
    EXPECT_TRUE(recorder.streaming());
    EXPECT_TRUE(device.board().stream.Streaming);

    stop->click();
    ASSERT_TRUE(WaitUntil([&] { return !device.board().stream.Streaming; }, 5000));
    EXPECT_FALSE(recorder.streaming());
    WaitUntil([] { return false; }, 300);
    EXPECT_EQ(shown.size(), 1) << "a stop that worked says nothing";
    w->close();
}

TEST_F(LiveView, ATerminationWhileStreamingClosesTheWindowAndStopsTheStream)
{
    DeviceServices device(true);
    auto w = open(device);
    CloseOnTermination(*w);
    ASSERT_TRUE(WaitUntil([&] { return device.demoRecorder()->pluggedIn() && device.board().infoBlock.signed_; }, 8000));
    w->findChild<QPushButton*>("Start")->click();
    ASSERT_TRUE(WaitUntil([&] { return device.demoRecorder()->recorder().streaming(); }, 5000));

    std::raise(SIGTERM);
    const bool closed = WaitUntil([&] { return !w->isVisible(); }, 3000);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    ASSERT_TRUE(closed);
    EXPECT_FALSE(device.demoRecorder()->recorder().streaming());
    EXPECT_FALSE(device.worker()->isRunning());
}

TEST_F(LiveView, StartWithoutRecorderSaysSoAndGoesBackToRest)
{
    DeviceServices device(false);
    auto w = open(device);
    w->findChild<QPushButton*>("Start")->click();
    ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty(); }, 5000));
    EXPECT_EQ(shown.last(), "Check that the ECG device is connected.");
    auto* live = w->findChild<LiveViewController*>();
    EXPECT_FALSE(live->pacing());
    EXPECT_EQ(device.worker()->tickInterval(), 300);
    w->close();
}

// A recorder that a failed upgrade left in its boot loader cannot stream: Start says it waits for an
// upgrade rather than that it is not connected.
TEST_F(LiveView, StartOnARecorderWaitingInItsBootLoaderAsksForTheUpgrade)
{
    DeviceServices device(true);
    auto w = open(device);
    ASSERT_TRUE(
        WaitUntil([&] { return device.demoRecorder()->pluggedIn() && device.board().infoBlock.signed_; }, 8000));
    device.demoRecorder()->recorder().EnterBootLoader();
    w->findChild<QPushButton*>("Start")->click();
    ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty(); }, 15000));
    EXPECT_EQ(shown.last(), DeviceWaitsInBootLoaderText());
    EXPECT_FALSE(w->findChild<LiveViewController*>()->pacing());
    EXPECT_TRUE(device.board().recorderInBootLoader);
    w->close();
}

}  // namespace
