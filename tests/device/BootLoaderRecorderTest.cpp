// A recorder that a failed upgrade left in its boot loader answers only the
// firmware commands. The arrival read and every job but the firmware job say
// so (rather than "not connected" or "no answer"), the firmware job brings it
// back, and a recorder whose information read works is never asked anything more.
#include "SimRig.h"
#include "device/JobRequest.h"
#include "device/protocol/Commands.h"
#include "device/protocol/FirmwareImage.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

using namespace device;
namespace proto = device::protocol;

namespace {

constexpr std::uint32_t kRecorderId = 0x0012AB34;

// The recorder is in its boot loader before the first tick, so the arrival read meets it so.
struct BootLoaderRig : SimRig {
    QTemporaryDir data;
    BootLoaderRig()
    {
        recorder.EnterBootLoader();
        board.dataFolder = data.path();
        loop.RunFor(310);  // the arrival read
    }
    std::uint8_t Run(std::uint8_t code) { return RequestJobAndWait(board, loop, code, ButtonWaitStepMs); }
};

proto::FirmwareImage Image(std::size_t length)
{
    std::vector<std::uint8_t> body(length);
    for (std::size_t i = 0; i < length; ++i)
        body[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const auto file = proto::BuildFirmwareImageFile(body);
    proto::FirmwareImage image;
    EXPECT_EQ(proto::CheckFirmwareImage(file.data(), file.size(), &image), proto::ImageFault::None);
    return image;
}

TEST(BootLoaderRecorder, ArrivalAndEveryJobButTheFirmwareJobSayItWaitsInItsBootLoader)
{
    struct Case {
        const char* name;
        std::uint8_t code;
        std::function<void(DeviceJobBoard&)> prepare;
    };
    const std::vector<Case> cases = {
        {"information read", ReadInfoJobCode, [](DeviceJobBoard&) {}},
        {"settings write", WriteSettingsJobCode,
         [](DeviceJobBoard& b) {
             b.settings.deviceIdText = proto::DeviceIdText(kRecorderId);
             b.settingsRecorderId = kRecorderId;
         }},
        {"erase after a download", EraseJobCode,
         [](DeviceJobBoard& b) { b.eraseOnlyIf = EraseCondition{kRecorderId, 0}; }},
        {"download", DownloadJobCode, [](DeviceJobBoard&) {}},
        {"live stream start", StreamStartJobCode, [](DeviceJobBoard&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderRig rig;
        EXPECT_TRUE(rig.board.recorderInBootLoader) << "found by the arrival read";
        EXPECT_FALSE(rig.board.infoBlock.signed_);
        c.prepare(rig.board);
        const std::int64_t askedAt = rig.loop.now;
        EXPECT_EQ(rig.Run(c.code), JobFailed);
        EXPECT_EQ(rig.board.failure, JobFailure::WaitsInBootLoader);
        EXPECT_TRUE(rig.board.recorderInBootLoader);
        // The question costs at most the presence query and one more information read.
        EXPECT_LT(rig.loop.now - askedAt, 20000);
        // Asked, never flashed nor reset: the boot loader waits as it did.
        EXPECT_TRUE(rig.recorder.bootMode());
        EXPECT_EQ(rig.recorder.resets(), 0);
        EXPECT_FALSE(rig.board.stream.Streaming);
    }
    BootLoaderRig rig;
    rig.board.eraseOnlyIf = EraseCondition{kRecorderId, 0};
    rig.Run(EraseJobCode);
    EXPECT_EQ(rig.board.eraseRefusal, EraseRefusal::NoAnswer);
    rig.Run(DownloadJobCode);
    EXPECT_EQ(rig.board.download.result.end, DownloadEnd::WaitsInBootLoader);
}

TEST(BootLoaderRecorder, TheFirmwareJobFlashesItBackIntoAnOrdinaryRecorder)
{
    BootLoaderRig rig;
    rig.board.firmwareImage = Image(1500);
    ASSERT_EQ(rig.Run(FlashJobCode), JobSucceeded);
    EXPECT_FALSE(rig.recorder.bootMode());
    EXPECT_FALSE(rig.board.recorderInBootLoader);
    EXPECT_TRUE(rig.board.infoBlock.signed_);
    EXPECT_EQ(rig.board.infoBlock.deviceId, kRecorderId);

    ASSERT_EQ(rig.Run(ReadInfoJobCode), JobSucceeded);
    EXPECT_EQ(rig.board.failure, JobFailure::None);
    EXPECT_FALSE(rig.board.recorderInBootLoader);
}

// Only a recorder that sends nothing for its information block (or start frame) is asked the presence
// query; the application answers that query too, so one that answers it and then its block is no
// boot loader.
TEST(BootLoaderRecorder, OnlyARecorderSilentToItsCommandIsAskedMore)
{
    struct Case {
        const char* name;
        std::uint8_t code;
        std::function<void(sim::RecorderFaults&)> fault;
        std::uint8_t state;
        JobFailure failure;
        bool presenceAsked;
    };
    const auto none = [](sim::RecorderFaults&) {};
    const auto silent = [](sim::RecorderFaults& f) { f.noAnswer = true; };
    const std::vector<Case> cases = {
        {"sound recorder, information read", ReadInfoJobCode, none, JobSucceeded, JobFailure::None, false},
        {"sound recorder, live stream start", StreamStartJobCode, none, JobSucceeded, JobFailure::None, false},
        {"information answer cut short", ReadInfoJobCode, [](sim::RecorderFaults& f) { f.infoAnswerBytes = 100; },
         JobFailed, JobFailure::NoAnswer, false},
        {"silent recorder, information read", ReadInfoJobCode, silent, JobFailed, JobFailure::NoAnswer, true},
        {"silent recorder, live stream start", StreamStartJobCode, silent, JobFailed, JobFailure::NoAnswer, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig;
        c.fault(rig.recorder.faults());
        rig.loop.RunFor(310);  // the arrival read
        const std::int64_t askedAt = rig.loop.now;
        EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, c.code, ButtonWaitStepMs), c.state);
        EXPECT_EQ(rig.board.failure, c.failure);
        EXPECT_FALSE(rig.board.recorderInBootLoader);
        EXPECT_EQ(rig.Count(proto::CmdFirmware) > 0, c.presenceAsked);
        EXPECT_LT(rig.loop.now - askedAt, 10000) << "every added wait is bounded";
    }
}

}  // namespace
