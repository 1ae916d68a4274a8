#include "SimRig.h"
#include "device/JobRequest.h"
#include "device/protocol/Commands.h"
#include "device/protocol/FirmwareImage.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace device;
namespace proto = device::protocol;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Body(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>((i * 131 + i / 256) | 1);  // never zero, so padding shows
    return b;
}

proto::FirmwareImage Image(const Bytes& body)
{
    const Bytes file = proto::BuildFirmwareImageFile(body);
    proto::FirmwareImage image;
    EXPECT_EQ(proto::CheckFirmwareImage(file.data(), file.size(), &image), proto::ImageFault::None);
    return image;
}

// The firmware sub-commands the recorder received, in order (from the simulator's frame log).
struct FlashRig : SimRig {
    std::vector<std::string> firmwareLog;
    std::vector<double> progress;
    explicit FlashRig(bool plugged = true) : SimRig(plugged)
    {
        recorder.SetFrameLog([this](const std::string& line) {
            const auto at = line.find("; firmware ");
            if (at != std::string::npos && line.find(" heard") != std::string::npos)
                firmwareLog.push_back(line.substr(at + 11));
        });
        board.flashProgress = [this] { progress.push_back(board.flash.bytesDone); };
        loop.RunFor(310);  // the arrival read
    }
    std::uint8_t Flash(const Bytes& body)
    {
        board.firmwareImage = Image(body);
        return RequestJobAndWait(board, loop, FlashJobCode, ButtonWaitStepMs);
    }
    int Seen(const std::string& what) const
    {
        return static_cast<int>(std::count(firmwareLog.begin(), firmwareLog.end(), what));
    }
};

TEST(FlashJob, GoodImagesOfEveryShape)
{
    struct Case {
        std::size_t length;
        int pages;
        int blocks;
    };
    for (Case c : {Case{1, 1, 1}, Case{1000, 2, 32}, Case{1024, 2, 32}, Case{1025, 3, 33}, Case{65535, 128, 2048}}) {
        FlashRig rig;
        const Bytes body = Body(c.length);
        ASSERT_EQ(rig.Flash(body), JobSucceeded) << c.length;
        EXPECT_EQ(rig.board.failure, JobFailure::None);
        EXPECT_EQ(rig.board.RequestedJob, NoJob);
        EXPECT_FALSE(rig.board.firmwareImage.has_value()) << "an image is flashed once";

        // Pages 0, 1, ... each announced and prepared once, in order; the blocks as many as the body needs.
        int pages = 0;
        for (const std::string& e : rig.firmwareLog)
            if (e.rfind("page ", 0) == 0) {
                EXPECT_EQ(e, "page " + std::to_string(pages++)) << c.length;
            }
        EXPECT_EQ(pages, c.pages) << c.length;
        EXPECT_EQ(rig.Seen("prepare"), c.pages) << c.length;
        EXPECT_EQ(static_cast<int>(rig.recorder.FlashedBytes().size()), c.blocks * 32) << c.length;
        EXPECT_EQ(rig.Seen("verify"), 1);
        EXPECT_EQ(rig.Seen("reset"), 1);
        EXPECT_EQ(rig.firmwareLog.back(), "presence") << "the recorder is asked once more after the reset";

        // The recorder holds the body; the rest of the last block is the zero of the image buffer.
        const Bytes flashed = rig.recorder.FlashedBytes();
        EXPECT_TRUE(std::equal(body.begin(), body.end(), flashed.begin())) << c.length;
        EXPECT_TRUE(std::all_of(flashed.begin() + static_cast<std::ptrdiff_t>(c.length), flashed.end(),
                                [](std::uint8_t b) { return b == 0; }))
            << c.length;

        // Progress rises block by block to exactly the length, never past it.
        EXPECT_EQ(rig.board.flash.bytesTotal, static_cast<double>(c.length));
        EXPECT_EQ(rig.board.flash.bytesDone, static_cast<double>(c.length)) << c.length;
        EXPECT_TRUE(rig.board.flash.writing);
        EXPECT_TRUE(std::is_sorted(rig.progress.begin(), rig.progress.end()));
        EXPECT_LE(rig.progress.back(), static_cast<double>(c.length));
        // The window is never left without its messages for long, even through 2048 blocks.
        EXPECT_LE(rig.loop.longestTickGap, 600) << c.length;
    }
}

TEST(FlashJob, EveryRefusedStepEndsTheJobWithoutAReset)
{
    struct Case {
        std::string name;
        std::function<void(sim::RecorderFaults&)> fault;
        std::uint8_t state;
        JobFailure failure;
        bool anyBlockWritten;
        bool verifyAsked;
    };
    const std::vector<Case> cases = {
        {"boot mode refused", [](sim::RecorderFaults& f) { f.refuseBootMode = true; }, JobAborted,
         JobFailure::BootRefused, false, false},
        {"first block refused", [](sim::RecorderFaults& f) { f.refuseBlock = 0; }, JobFailed,
         JobFailure::BlockRefused, false, false},
        {"block of the second page refused", [](sim::RecorderFaults& f) { f.refuseBlock = 20; }, JobFailed,
         JobFailure::BlockRefused, true, false},
        {"second page refused", [](sim::RecorderFaults& f) { f.refusePage = 1; }, JobFailed,
         JobFailure::PageRefused, true, false},
        {"verify bad", [](sim::RecorderFaults& f) { f.failVerify = true; }, JobFailed, JobFailure::VerifyFailed,
         true, true},
    };
    for (const Case& c : cases) {
        FlashRig rig;
        c.fault(rig.recorder.faults());
        EXPECT_EQ(rig.Flash(Body(1500)), c.state) << c.name;
        EXPECT_EQ(rig.board.failure, c.failure) << c.name;
        EXPECT_EQ(rig.board.RequestedJob, NoJob) << c.name;
        EXPECT_EQ(rig.Seen("reset"), 0) << c.name;
        EXPECT_EQ(rig.recorder.resets(), 0) << c.name;
        EXPECT_EQ(rig.Seen("verify"), c.verifyAsked ? 1 : 0) << c.name;
        EXPECT_EQ(rig.Seen("block 0") > 0, c.state != JobAborted) << c.name;
        EXPECT_EQ(!rig.recorder.FlashedBytes().empty(), c.anyBlockWritten) << c.name;
        EXPECT_LE(rig.board.flash.bytesDone, 1500.0) << c.name;
    }
}

// After a verified image and the reset, only the application's information
// block counts: a silent recorder fails, and so does a boot loader that
// ignored the reset (it answers the presence query as well).
TEST(FlashJob, VerifiedButNotRunningTheApplicationAfterTheResetFails)
{
    struct Row {
        const char* name;
        bool silent;
        JobFailure failure;
        int resets;
    } rows[] = {
        {"silent after the reset", true, JobFailure::NoAnswerAfterReset, 1},
        {"reset ignored", false, JobFailure::StillInBootLoader, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FlashRig rig;
        rig.recorder.faults().silentAfterReset = row.silent;
        rig.recorder.faults().ignoreReset = !row.silent;
        EXPECT_EQ(rig.Flash(Body(700)), JobFailed);
        EXPECT_EQ(rig.board.failure, row.failure);
        EXPECT_EQ(rig.recorder.resets(), row.resets);
        if (!row.silent) {
            EXPECT_FALSE(rig.board.infoBlock.signed_);  // the boot loader gave no information block
        }
    }
}

TEST(FlashJob, NoUsableImageTouchesNoRecorder)
{
    struct Case {
        std::string name;
        std::function<void(DeviceJobBoard&)> setUp;
    };
    const std::vector<Case> cases = {
        {"no image", [](DeviceJobBoard&) {}},
        {"empty image", [](DeviceJobBoard& b) { b.firmwareImage = proto::FirmwareImage{}; }},
        {"body changed after the check",
         [](DeviceJobBoard& b) {
             b.firmwareImage = Image(Body(300));
             b.firmwareImage->body[5] ^= 0x40;
         }},
        {"body shorter than its length",
         [](DeviceJobBoard& b) {
             b.firmwareImage = Image(Body(300));
             b.firmwareImage->body.resize(100);
         }},
    };
    for (const Case& c : cases) {
        FlashRig rig;
        c.setUp(rig.board);
        EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, FlashJobCode, ButtonWaitStepMs), JobFailed) << c.name;
        EXPECT_EQ(rig.board.failure, JobFailure::NoImage) << c.name;
        EXPECT_TRUE(rig.firmwareLog.empty()) << c.name;
    }
}

TEST(FlashJob, DetachedRecorderFails)
{
    {
        FlashRig rig(false);
        EXPECT_EQ(rig.Flash(Body(64)), JobFailed);
        EXPECT_EQ(rig.board.failure, JobFailure::NotAttached);
        EXPECT_TRUE(rig.firmwareLog.empty());
    }
    // Pulled out in the middle of the writing, while the boot loader has taken over.
    for (std::int64_t after : {std::int64_t{800}, std::int64_t{3000}}) {
        FlashRig rig;
        rig.loop.At(rig.loop.now + after, [&rig] {
            rig.xpress.SetPlugged(false);
            rig.link.DeviceRemoved();
        });
        EXPECT_EQ(rig.Flash(Body(65535)), JobFailed) << after;
        EXPECT_EQ(rig.board.failure, JobFailure::NotAttached) << after;
        EXPECT_EQ(rig.recorder.resets(), 0) << after;
    }
}

TEST(FlashJob, ABridgeThisUserMayNotOpenFailsForLackOfPermission)
{
    FakeLoop loop;
    sim::SimulatedRecorder recorder{[&] { return loop.now; }};
    DeniedXpress xpress{recorder, [&](std::uint32_t ms) { loop.now += ms; }};
    device::transport::AbsentHidUart hid;
    Link link(hid, xpress);
    DeviceJobBoard board;
    DeviceStep step(link, board, loop);
    link.ResetForStartup();
    loop.tick = [&] { step.Run(); };
    loop.RunFor(310);
    ASSERT_EQ(link.state().DevicePresence, DeviceAttached);

    board.firmwareImage = Image(Body(64));
    // Not "the boot loader did not start" (JobAborted): the recorder was never reached.
    EXPECT_EQ(RequestJobAndWait(board, loop, FlashJobCode, ButtonWaitStepMs), JobFailed);
    EXPECT_EQ(board.failure, JobFailure::NoPermission);
    EXPECT_TRUE(recorder.commandLog().empty());
}

}  // namespace

TEST(FlashJob, ARecorderLeftStreamingIsStoppedBeforeItsBootLoaderIsAsked)
{
    // An earlier run started the live stream and ended without its stop: the samples keep coming.
    FlashRig rig;
    ASSERT_EQ(RequestJobAndWait(rig.board, rig.loop, StreamStartJobCode, ButtonWaitStepMs), JobSucceeded);
    rig.board.stream.Streaming = false;
    rig.loop.RunFor(500);

    const Bytes body = Body(1000);
    ASSERT_EQ(rig.Flash(body), JobSucceeded);
    const Bytes flashed = rig.recorder.FlashedBytes();
    EXPECT_TRUE(std::equal(body.begin(), body.end(), flashed.begin()));
    EXPECT_EQ(rig.Seen("reset"), 1);
}
