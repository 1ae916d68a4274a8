#include "SimRig.h"
#include "device/JobRequest.h"
#include "device/protocol/Commands.h"
#include "device/protocol/FirmwareImage.h"
#include "sim/recorder/RecordingFactory.h"
#include "device/DeviceJobs.h"
#include <QDir>
#include <gtest/gtest.h>

using namespace device;
namespace proto = device::protocol;

namespace {

TEST(JobStep, OffsetRepairOnlyOutsideTheValidRange)
{
    struct Case {
        std::int16_t offset;
        bool repaired;
    };
    for (Case c : {Case{1488, true}, Case{1489, false}, Case{2606, false}, Case{2607, true}}) {
        SimRig rig;
        rig.recorder.info().dcOffset = c.offset;
        rig.recorder.info().tachycardia = 130;
        rig.recorder.info().extraSetting = 0x42;
        rig.recorder.info().keyBeep = 0;
        rig.loop.RunFor(310);
        ASSERT_EQ(rig.loop.ticks, 1);
        // The repair runs within the arrival tick itself.
        EXPECT_EQ(rig.recorder.settingsWrites(), c.repaired ? 1 : 0) << c.offset;
        if (!c.repaired)
            continue;
        const proto::DeviceSettings& sent = rig.recorder.lastSettings();
        EXPECT_EQ(sent.dcOffset, 2048);
        EXPECT_EQ(sent.bradycardia, 55);
        EXPECT_EQ(sent.tachycardia, 130);
        EXPECT_EQ(sent.extraSetting, 0x42);
        EXPECT_FALSE(sent.keyBeep);
        EXPECT_EQ(sent.deviceIdText, "0012AB34");
        EXPECT_EQ(sent.year, 2013);
        EXPECT_EQ(sent.second, 30);
        EXPECT_EQ(rig.board.RequestedJob, NoJob);
        EXPECT_EQ(rig.board.JobState, JobSucceeded);
        EXPECT_EQ(rig.recorder.info().dcOffset, 2048);
    }
}

TEST(JobStep, EraseAndSettingsJobs)
{
    SimRig rig;
    rig.recorder.recordings() = sim::DemoRecordings(rig.recorder.info(), 3);
    rig.loop.RunFor(310);
    EXPECT_EQ(proto::RecordCount(rig.board.infoBlock), 3u);

    const EraseCondition downloaded{rig.board.infoBlock.deviceId, rig.board.infoBlock.bytesStored};
    rig.board.eraseOnlyIf = downloaded;
    EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, EraseJobCode, SlowWaitStepMs), JobSucceeded);
    EXPECT_TRUE(rig.recorder.recordings().empty());

    proto::DeviceSettings s;
    s.tachycardia = 150;
    s.bradycardia = 40;
    s.pause = 3;
    s.sensitivity = 2;
    s.extraSetting = 0;  // not trusted: the recorder's own byte goes back
    s.year = 2024;
    s.deviceIdText = "0012AB34";
    s.dcOffset = 2000;
    s.keyBeep = true;
    rig.board.settings = s;
    rig.board.settingsRecorderId = 0x0012AB34;
    EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, WriteSettingsJobCode, SlowWaitStepMs), JobSucceeded);
    proto::DeviceSettings expected = s;
    expected.extraSetting = 1;  // the simulator's own value
    EXPECT_EQ(rig.recorder.lastSettings(), expected);
    EXPECT_EQ(rig.board.RequestedJob, NoJob);

    // A recorder that stops answering fails the job; nothing is retried.
    rig.recorder.faults().noAnswer = true;
    rig.board.eraseOnlyIf = EraseCondition{rig.board.infoBlock.deviceId, 0};
    EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, EraseJobCode, SlowWaitStepMs), JobFailed);
    // A job code without a job ends at once instead of leaving its requester waiting.
    rig.recorder.faults().noAnswer = false;
    EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, 99, ButtonWaitStepMs), JobFailed);
    EXPECT_EQ(rig.board.failure, JobFailure::UnknownJob);
}

// A block cut short must not count as an answer: its missing bytes would read as DC offset 0 and
// set off the repair, which writes pause 0 and ID 00000000 into the recorder.
TEST(JobStep, InformationBlockCountsOnlyWhenAllOfItArrived)
{
    for (int length : {3, 22, 40, 255, 256}) {
        SimRig rig;
        rig.recorder.faults().infoAnswerBytes = length;
        rig.loop.RunFor(310);  // the arrival read
        const bool whole = length == 256;
        EXPECT_EQ(rig.board.infoBlock.signed_, whole) << length;
        EXPECT_EQ(rig.Count(proto::CmdWriteSettings), 0) << length;
        EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, ReadInfoJobCode, ButtonWaitStepMs),
                  whole ? JobSucceeded : JobFailed)
            << length;
        EXPECT_EQ(rig.board.failure, whole ? JobFailure::None : JobFailure::NoAnswer) << length;
        EXPECT_EQ(rig.recorder.settingsWrites(), 0) << length;
        EXPECT_EQ(rig.recorder.info().dcOffset, 2048) << length;
    }
}

// The settings job writes only whole, sound settings, and only into the recorder they were made for.
TEST(JobStep, SettingsJobRefusesWhatWouldHarmTheRecorder)
{
    struct Case {
        const char* what;
        std::function<void(SimRig&)> arrange;
        JobFailure failure;
    };
    const std::vector<Case> cases = {
        {"sound", [](SimRig&) {}, JobFailure::None},
        {"ID text not hexadecimal", [](SimRig& r) { r.board.settings.deviceIdText = "0012AB3G"; },
         JobFailure::BadDeviceId},
        {"ID text too short", [](SimRig& r) { r.board.settings.deviceIdText = "12AB34"; }, JobFailure::BadDeviceId},
        {"recorder swapped", [](SimRig& r) { r.recorder.info().deviceId = 0x00C0FFEE; },
         JobFailure::RecorderChanged},
        {"recorder not named", [](SimRig& r) { r.board.settingsRecorderId.reset(); }, JobFailure::RecorderChanged},
        {"information cut short", [](SimRig& r) { r.recorder.faults().infoAnswerBytes = 40; },
         JobFailure::NoAnswer},
    };
    for (const Case& c : cases) {
        SimRig rig;
        rig.loop.RunFor(310);
        proto::DeviceSettings s = OffsetRepairSettings(rig.board.infoBlock, rig.loop.LocalNow());
        s.bradycardia = 45;
        rig.board.settings = s;
        rig.board.settingsRecorderId = rig.board.infoBlock.deviceId;
        // Changed on the recorder since the window was filled: this value goes back, not a stale one.
        rig.recorder.info().extraSetting = 0x42;
        c.arrange(rig);
        const bool sound = c.failure == JobFailure::None;
        EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, WriteSettingsJobCode, SlowWaitStepMs),
                  sound ? JobSucceeded : JobFailed)
            << c.what;
        EXPECT_EQ(rig.board.failure, c.failure) << c.what;
        EXPECT_EQ(rig.recorder.settingsWrites(), sound ? 1 : 0) << c.what;
        if (sound) {
            EXPECT_EQ(rig.recorder.lastSettings().extraSetting, 0x42);
            EXPECT_EQ(rig.recorder.info().bradycardia, 45);
        }
    }
}

}  // namespace

namespace {

// A hot-plug event (any hidraw or tty device) between a request and the next
// tick, from a recorder whose DC offset needs the repair: the repair waits for
// the board, and the request runs as asked. A requester reads its own result.
TEST(JobStep, AnArrivalWhileAJobWaitsNeverOvertakesIt)
{
    struct Row {
        const char* name;
        std::function<void(SimRig&)> prepare;
        std::uint8_t code;
        std::function<void(SimRig&)> check;
    } rows[] = {
        {"settings", [](SimRig& r) {
             r.board.settings = OffsetRepairSettings(r.board.infoBlock, r.loop.LocalNow());
             r.board.settings.tachycardia = 150;
             r.board.settingsRecorderId = r.board.infoBlock.deviceId;
         },
         WriteSettingsJobCode,
         [](SimRig& r) { EXPECT_EQ(r.recorder.info().tachycardia, 150); }},
        {"download", [](SimRig& r) { r.board.dataFolder = QDir::tempPath() + "/talmon-overtake-test"; },
         DownloadJobCode,
         [](SimRig& r) {
             EXPECT_EQ(r.board.download.result.rows.size(), 2u);
             EXPECT_TRUE(EraseConditionAfter(r.board.download.result).has_value());
             QDir(r.board.dataFolder).removeRecursively();
         }},
        {"flash", [](SimRig& r) {
             const std::vector<std::uint8_t> file = protocol::BuildFirmwareImageFile(std::vector<std::uint8_t>(100, 0x5A));
             protocol::FirmwareImage image;
             ASSERT_EQ(protocol::CheckFirmwareImage(file.data(), file.size(), &image), protocol::ImageFault::None);
             r.board.firmwareImage = image;
         },
         FlashJobCode,
         [](SimRig& r) { EXPECT_EQ(r.recorder.FlashedBytes().size(), 128u) << "four blocks written"; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimRig rig;
        rig.recorder.recordings() = sim::DemoRecordings(rig.recorder.info(), 2);
        rig.loop.RunFor(310);  // attached, offset sound
        row.prepare(rig);
        rig.recorder.info().dcOffset = 3000;  // now out of range
        rig.loop.At(rig.loop.now + 1, [&] { rig.link.DeviceArrived(); });
        const int settingsBefore = rig.recorder.settingsWrites();
        EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, row.code, ButtonWaitStepMs, true), JobSucceeded);
        row.check(rig);
        // The repair still comes, once the board is free.
        rig.loop.RunFor(1000);
        EXPECT_EQ(rig.recorder.info().dcOffset, 2048);
        EXPECT_GE(rig.recorder.settingsWrites(), settingsBefore + 1);
        row.check(rig);  // and it undid nothing the job had written
        EXPECT_FALSE(rig.recorder.recordings().empty()) << "nothing was erased";
    }
}

// An erase carries its proof: without the condition a complete download of
// this recorder produced, nothing is erased.
TEST(JobStep, AnEraseWithoutItsDownloadsConditionErasesNothing)
{
    SimRig rig;
    rig.recorder.recordings() = sim::DemoRecordings(rig.recorder.info(), 3);
    rig.loop.RunFor(310);
    rig.board.eraseOnlyIf.reset();
    EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, EraseJobCode, SlowWaitStepMs), JobFailed);
    EXPECT_EQ(rig.board.eraseRefusal, EraseRefusal::NoCondition);
    EXPECT_EQ(rig.recorder.recordings().size(), 3u);
    EXPECT_EQ(rig.Count(proto::CmdEraseRecords), 0);
}

}  // namespace
