#include "tests/device/SimRig.h"
#include "app/MainDeviceControls.h"
#include "lang/ProgramTexts.h"
#include "device/JobRequest.h"
#include "device/protocol/Commands.h"
#include "sim/recorder/RecordingFactory.h"
#include <gtest/gtest.h>

using namespace device;
namespace proto = device::protocol;

namespace {

// The recorder simulator's rig with the main window's handlers on it; the window's dialogs count
// their openings and its message box collects the texts.
struct ControlsRig : SimRig {
    std::vector<QString> messages;
    int settingsDialogs = 0;
    MainDeviceControls controls{board, link, loop, Hooks()};

    explicit ControlsRig(bool plugged = true) : SimRig(plugged) {}

    MainWindowDeviceHooks Hooks()
    {
        MainWindowDeviceHooks h;
        h.showMessage = [this](const QString& text) { messages.push_back(text); };
        h.openSettingsDialog = [this] { ++settingsDialogs; };
        return h;
    }
};

TEST(MainDeviceControls, ArrivalReadAtStartUpFillsTheBoardAndTheIdLabel)
{
    ControlsRig rig;
    rig.loop.RunFor(310);  // the first tick
    EXPECT_EQ(rig.link.state().DevicePresence, DeviceAttached);
    EXPECT_EQ(rig.link.state().arrivalStage, 2);
    EXPECT_TRUE(rig.board.infoBlock.signed_);
    EXPECT_EQ(rig.board.infoBlock.deviceId, 0x0012AB34u);
    EXPECT_EQ(rig.board.infoBlock.firmwareVersion, 12000);
    EXPECT_EQ(rig.Count(proto::CmdReadInfo), 1);
    EXPECT_EQ(rig.Count(proto::CmdWriteSettings), 0);  // offset in range: no repair

    ConnectionIndicator shown = rig.controls.MonitorTimer();
    EXPECT_TRUE(shown.update);
    EXPECT_EQ(shown.picture, "image/connected.bmp");
    EXPECT_EQ(shown.hint, "Connected");
    ASSERT_TRUE(shown.deviceIdLabel.has_value());
    EXPECT_EQ(*shown.deviceIdLabel, "ID Number : 0012AB34");
    EXPECT_EQ(rig.link.state().arrivalStage, 0);
    EXPECT_FALSE(rig.controls.MonitorTimer().deviceIdLabel.has_value());  // shown once
}

TEST(MainDeviceControls, SilentArrivalReadSkipsTheRepairAndALaterButtonStillWorks)
{
    ControlsRig rig;
    rig.recorder.info().dcOffset = 100;
    rig.recorder.faults().noAnswer = true;
    rig.loop.RunFor(310);
    EXPECT_FALSE(rig.board.infoBlock.signed_);
    EXPECT_EQ(rig.Count(proto::CmdWriteSettings), 0);
    rig.recorder.faults().noAnswer = false;
    rig.controls.SettingsClick();
    EXPECT_EQ(rig.settingsDialogs, 1);
    EXPECT_TRUE(rig.messages.empty());
    EXPECT_TRUE(rig.board.infoBlock.signed_);
}

TEST(MainDeviceControls, DetachedRecorderFailsTheRequestWithinOneTick)
{
    ControlsRig rig(false);
    rig.loop.RunFor(310);
    EXPECT_EQ(rig.link.state().DevicePresence, DeviceDetached);
    const std::int64_t pressed = rig.loop.now;
    rig.controls.SettingsClick();
    EXPECT_LE(rig.loop.now - pressed, 300 + 50);
    ASSERT_EQ(rig.messages.size(), 1u);
    EXPECT_EQ(rig.messages[0], "Check that the ECG device is connected.");
    EXPECT_EQ(rig.board.JobState, JobFailed);
    EXPECT_EQ(rig.settingsDialogs, 0);

    // Plugging it in afterwards runs only the arrival read, no left-over job.
    rig.xpress.SetPlugged(true);
    rig.link.DeviceArrived();
    rig.loop.RunFor(1000);
    EXPECT_EQ(rig.Count(proto::CmdReadInfo), 1);
    EXPECT_EQ(rig.board.RequestedJob, NoJob);
    EXPECT_EQ(rig.settingsDialogs, 0);
    EXPECT_EQ(rig.messages.size(), 1u);
}

TEST(MainDeviceControls, TwoQuickPressesMakeOneRequest)
{
    ControlsRig rig;
    rig.loop.RunFor(400);
    const int readsBefore = rig.Count(proto::CmdReadInfo);
    // The second press arrives while the first waits (its handler runs inside the wait's pump).
    rig.loop.At(rig.loop.now + 20, [&] { rig.controls.SettingsClick(); });
    rig.controls.SettingsClick();
    rig.loop.RunFor(1000);
    EXPECT_EQ(rig.Count(proto::CmdReadInfo) - readsBefore, 1);
    EXPECT_EQ(rig.settingsDialogs, 1);
    EXPECT_FALSE(rig.controls.settingsBusy());
}

TEST(MainDeviceControls, ConnectionPictureFollowsWithinASecond)
{
    ControlsRig rig;
    std::vector<std::pair<std::int64_t, QString>> pictures;
    rig.loop.timer = [&] {
        const ConnectionIndicator v = rig.controls.MonitorTimer();
        if (v.update)
            pictures.emplace_back(rig.loop.now, v.picture);
    };
    rig.loop.RunFor(2500);
    ASSERT_FALSE(pictures.empty());
    EXPECT_EQ(pictures.back().second, "image/connected.bmp");

    auto firstAfter = [&](std::int64_t t, const QString& picture) -> std::int64_t {
        for (const auto& [when, p] : pictures)
            if (when >= t && p == picture)
                return when;
        return -1;
    };
    const std::int64_t removed = rig.loop.now;
    rig.xpress.SetPlugged(false);
    rig.link.DeviceRemoved();
    rig.loop.RunFor(1500);
    const std::int64_t off = firstAfter(removed, "image/disconnected.bmp");
    ASSERT_GE(off, 0);
    EXPECT_LE(off - removed, 1000);

    const std::int64_t arrived = rig.loop.now;
    rig.xpress.SetPlugged(true);
    rig.link.DeviceArrived();
    rig.loop.RunFor(1500);
    const std::int64_t on = firstAfter(arrived, "image/connected.bmp");
    ASSERT_GE(on, 0);
    EXPECT_LE(on - arrived, 1000);
}

TEST(MainDeviceControls, PressDuringTheArrivalReadIsServedAfterIt)
{
    // The press arrives through a pump inside the arrival read of the first tick. Waiting for its
    // job there would keep both the step and the press from ever ending.
    ControlsRig rig;
    rig.loop.At(500, [&] { rig.controls.SettingsClick(); });
    rig.loop.At(520, [&] { rig.controls.SettingsClick(); });  // a second press: still one request
    rig.loop.At(540, [&] { rig.controls.DownloadClick(); });
    rig.loop.At(60000, [] { throw std::runtime_error("a press never finished"); });
    EXPECT_NO_THROW(rig.loop.RunFor(6000));
    EXPECT_EQ(rig.settingsDialogs, 1);
    EXPECT_GE(rig.Count(proto::CmdReadInfo), 2);  // the arrival read, then the buttons' reads
    ASSERT_EQ(rig.messages.size(), 1u);            // the download button shows the information
    EXPECT_TRUE(rig.messages[0].startsWith("Device ID : 0012AB34"));
    EXPECT_FALSE(rig.controls.settingsBusy());
    EXPECT_FALSE(rig.controls.downloadBusy());
    EXPECT_FALSE(rig.board.stepRunning);

    // A request made from inside a step fails at once instead of waiting for ever.
    std::uint8_t nested = JobIdle;
    rig.loop.At(rig.loop.now + 400,
                [&] { nested = RequestJobAndWait(rig.board, rig.loop, EraseJobCode, SlowWaitStepMs); });
    rig.link.DeviceArrived();  // the next tick runs an arrival read, which pumps
    EXPECT_NO_THROW(rig.loop.RunFor(3000));
    EXPECT_EQ(nested, JobFailed);
    EXPECT_EQ(rig.Count(proto::CmdEraseRecords), 0);
}

TEST(MainDeviceControls, BeforeStartUpSetsPresenceNothingIsShownNorRun)
{
    FakeLoop loop;
    device::transport::AbsentHidUart hid;
    device::transport::AbsentXpress xpress;
    Link link(hid, xpress);
    DeviceJobBoard board;
    DeviceStep step(link, board, loop);
    MainDeviceControls controls(board, link, loop, {});
    EXPECT_NE(link.state().DevicePresence, DeviceAttached);
    EXPECT_NE(link.state().DevicePresence, DeviceDetached);
    EXPECT_FALSE(controls.MonitorTimer().update);
    PostJob(board, ReadInfoJobCode);
    step.Run();
    EXPECT_EQ(board.JobState, JobPending);  // neither run nor failed
    EXPECT_EQ(board.RequestedJob, ReadInfoJobCode);

    link.ResetForStartup();
    EXPECT_EQ(controls.MonitorTimer().picture, "image/disconnected.bmp");
}

TEST(MainDeviceControls, LongReadsKeepTheWindowAlive)
{
    ControlsRig rig;
    rig.recorder.faults().noAnswer = true;  // every read runs into its full time-out
    rig.loop.RunFor(310);
    rig.controls.SettingsClick();
    EXPECT_EQ(rig.messages.size(), 1u);
    // Wake pause 700 ms and a 2000 ms read, never more than 50 ms without processing messages.
    EXPECT_GT(rig.loop.ticks, 1);
    EXPECT_LE(rig.loop.longestTickGap, 50);
}

TEST(MainDeviceControls, DownloadClickShowsTheInformationUntilItsDialogExists)
{
    ControlsRig rig;
    rig.loop.RunFor(310);
    rig.board.infoBlock.deviceId = 0xFFFFFFFF;  // stale; the click clears and re-reads it
    rig.controls.DownloadClick();
    ASSERT_EQ(rig.messages.size(), 1u);
    EXPECT_TRUE(rig.messages[0].contains("Device ID : 0012AB34")) << rig.messages[0].toStdString();
    EXPECT_TRUE(rig.messages[0].contains("Firmware Version : 1.20.00")) << rig.messages[0].toStdString();
}

TEST(MainDeviceControls, RecorderThatMayNotBeOpenedNamesTheRemedy)
{
    FakeLoop loop;
    sim::SimulatedRecorder recorder{[&] { return loop.now; }};
    DeniedXpress xpress{recorder, [&](std::uint32_t ms) { loop.now += ms; }};
    device::transport::AbsentHidUart hid;
    Link link(hid, xpress);
    DeviceJobBoard board;
    DeviceStep step(link, board, loop);
    std::vector<QString> messages;
    MainWindowDeviceHooks hooks;
    hooks.showMessage = [&](const QString& text) { messages.push_back(text); };
    int dialogs = 0;
    hooks.openSettingsDialog = [&] { ++dialogs; };
    MainDeviceControls controls(board, link, loop, hooks);
    link.ResetForStartup();
    loop.tick = [&] { step.Run(); };
    loop.RunFor(310);

    controls.SettingsClick();
    EXPECT_EQ(board.failure, JobFailure::NoPermission);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], DeviceAccessDeniedText());
    EXPECT_TRUE(messages[0].contains("60-talmon-ecg.rules"));
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(recorder.commandLog().empty());

    // Once the recorder is gone, a press says it is not connected.
    xpress.SetPlugged(false);
    link.DeviceRemoved();
    loop.RunFor(310);
    controls.SettingsClick();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], "Check that the ECG device is connected.");
}

}  // namespace

// A recorder a failed upgrade left in its boot loader is connected: Settings and Download tell the
// user to upgrade its firmware again, never to check the connection.
TEST(MainDeviceControls, RecorderWaitingInItsBootLoaderAsksForTheUpgradeAgain)
{
    ControlsRig rig;
    rig.recorder.EnterBootLoader();
    rig.loop.RunFor(310);  // the arrival read
    EXPECT_TRUE(rig.board.recorderInBootLoader);
    rig.controls.SettingsClick();
    rig.controls.DownloadClick();
    ASSERT_EQ(rig.messages.size(), 2u);
    for (const QString& shown : rig.messages)
        EXPECT_EQ(shown, DeviceWaitsInBootLoaderText());
    EXPECT_EQ(rig.settingsDialogs, 0);
}
