// Every job with the recorder pulled out and put back at one step of it. Whatever the moment, the job
// ends, what it reports is what happened, nothing leaves the recorder that is not in the library, and
// once the recorder is back the program sees it and can talk to it again.
#include "SimRig.h"
#include "device/DownloadSequence.h"
#include "device/JobRequest.h"
#include "device/protocol/FirmwareImage.h"
#include "sim/recorder/DownloadScenarios.h"
#include "store/EdfRecord.h"
#include <QDirIterator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>

using namespace device;
namespace proto = device::protocol;

namespace {

std::vector<std::uint8_t> FirmwareBody()
{
    std::vector<std::uint8_t> body(1500);
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return body;
}

struct PlugRig : SimRig {
    QTemporaryDir dir;
    std::vector<sim::SimRecording> held;  // what the recorder held before the job
    bool pulled = false;

    PlugRig()
    {
        sim::FillPlainRecordings(recorder, 3);
        board.dataFolder = dir.path();
        loop.RunFor(310);
        held = recorder.recordings();
    }
    // Pulls the recorder out `afterMs` after it has heard the n-th frame whose log line holds `what`
    // (from 1), and puts it back `outMs` later.
    // The system tells of each change eventMs after the cable moved (0: at once).
    void PullWhen(std::string what, int nth, std::int64_t afterMs, std::int64_t outMs, std::int64_t eventMs)
    {
        recorder.SetFrameLog([=, this, seen = 0](const std::string& line) mutable {
            if (line.find(what) == std::string::npos || line.find(" heard") == std::string::npos || ++seen != nth)
                return;
            loop.At(loop.now + afterMs, [=, this] {
                pulled = true;
                xpress.SetPlugged(false);
                loop.At(loop.now + eventMs, [this] { link.DeviceRemoved(); });
                loop.At(loop.now + outMs, [=, this] {
                    xpress.SetPlugged(true);
                    loop.At(loop.now + eventMs, [this] { link.DeviceArrived(); });
                });
            });
        });
    }
    // Every recording the recorder held is in the library, sample for sample.
    bool AllHeldAreHome() const
    {
        std::vector<std::vector<std::int16_t>> home;
        for (QDirIterator it(dir.path(), {"*.edf"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            EDF_RECORD record;
            if (ReadEdfFile(it.next(), record).ok() && !record.Channels.empty())
                home.push_back(record.Channels[0].Samples);
        }
        for (const sim::SimRecording& r : held)
            if (std::find(home.begin(), home.end(), r.samples) == home.end())
                return false;
        return true;
    }
};

// A job as its requester runs it: whether it reported success, and whether that is true.
struct Job {
    const char* name;
    std::function<bool(PlugRig&)> run;
    std::function<bool(PlugRig&)> done;
    // What brings the recorder back to work after the job: an information read, or for a flash cut
    // short (the recorder may have no program left but its boot loader) the flash once more.
    std::function<bool(PlugRig&)> again = [](PlugRig& r) {
        return RequestJobAndWait(r.board, r.loop, ReadInfoJobCode, ButtonWaitStepMs) == JobSucceeded;
    };
};

const Job Info{"information",
               [](PlugRig& r) {
                   return RequestJobAndWait(r.board, r.loop, ReadInfoJobCode, ButtonWaitStepMs) == JobSucceeded;
               },
               [](PlugRig& r) { return r.board.infoBlock.signed_; }};

const Job Settings{"settings",
                   [](PlugRig& r) {
                       proto::DeviceSettings s;
                       s.tachycardia = 150;
                       s.bradycardia = 40;
                       s.pause = 3;
                       s.sensitivity = 2;
                       s.year = 2024;
                       s.month = 3;
                       s.day = 4;
                       s.deviceIdText = "0012AB34";
                       s.dcOffset = 2000;
                       r.board.settings = s;
                       r.board.settingsRecorderId = 0x0012AB34;
                       return RequestJobAndWait(r.board, r.loop, WriteSettingsJobCode, SlowWaitStepMs) == JobSucceeded;
                   },
                   [](PlugRig& r) { return r.recorder.info().tachycardia == 150; }};

const Job DownloadErase{"download and erase",
                        [](PlugRig& r) { return DownloadThenErase(r.board, r.loop, true) == DownloadClose::Erased; },
                        [](PlugRig& r) { return r.recorder.recordings().empty() && r.AllHeldAreHome(); }};

const Job Download{"download",
                   [](PlugRig& r) { return DownloadThenErase(r.board, r.loop, false) == DownloadClose::Downloaded; },
                   [](PlugRig& r) { return r.AllHeldAreHome(); }};

bool FlashNow(PlugRig& r)
{
    const auto file = proto::BuildFirmwareImageFile(FirmwareBody());
    proto::FirmwareImage image;
    proto::CheckFirmwareImage(file.data(), file.size(), &image);
    r.board.firmwareImage = image;
    return RequestJobAndWait(r.board, r.loop, FlashJobCode, ButtonWaitStepMs) == JobSucceeded;
}

// The application runs again, with the whole image in its flash.
bool FlashDone(PlugRig& r)
{
    const auto flashed = r.recorder.FlashedBytes();
    const auto body = FirmwareBody();
    return !r.recorder.bootMode() && r.recorder.resets() > 0 && flashed.size() >= body.size() &&
           std::equal(body.begin(), body.end(), flashed.begin());
}

const Job Flash{"flash", FlashNow, FlashDone, [](PlugRig& r) { return FlashNow(r) && FlashDone(r); }};

const Job Stream{"stream start and stop",
                 [](PlugRig& r) {
                     r.recorder.faults().streamsWhileUnplugged = true;
                     RequestJobAndWait(r.board, r.loop, StreamStartJobCode, ButtonWaitStepMs);
                     r.loop.RunFor(3000);
                     return RequestJobAndWait(r.board, r.loop, StreamStopJobCode, ButtonWaitStepMs) == JobSucceeded;
                 },
                 [](PlugRig& r) { return !r.recorder.streaming(); }};

TEST(HotPlugJobs, EveryJobPulledOutAtEveryStepEndsTrulyAndFindsTheRecorderAgain)
{
    struct Row {
        const Job& job;
        const char* moment;
        const char* frame;  // the frame after which the recorder is pulled out
        int nth;
        std::int64_t afterMs;
        std::int64_t outMs;
        double slowdown = 1;  // the recorder sends this many times slower, so a reply spans pumps
        std::int64_t eventMs = 0;  // the device-change events come this late
    };
    const Row rows[] = {
        {Info, "before the command", "count 0 code 0x01", 1, 0, 400},
        {Info, "mid-reply", "code 0x20", 1, 100, 400, 40},
        {Info, "and put back at once, mid-reply", "code 0x20", 1, 100, 0, 40},
        {Settings, "before the command", "code 0x20", 1, 100, 100, 40},
        {Settings, "mid-reply", "code 0x21", 1, 60, 100, 40},
        {Download, "before the speed change", "count 0 code 0x01", 1, 0, 200},
        {Download, "mid-recording", "param 0x39", 1, 30, 200},
        {Download, "between recordings", "param 0x39", 2, 0, 50},
        {DownloadErase, "mid-recording", "param 0x39", 1, 30, 200},
        {DownloadErase, "between recordings", "param 0x39", 2, 0, 50},
        {DownloadErase, "after the last recording, before the erase", "param 0x16", 1, 0, 100},
        {DownloadErase, "mid-reply of the erase", "code 0x11", 1, 60, 100, 40},
        {Flash, "before boot mode", "firmware boot-mode", 1, 0, 100},
        {Flash, "among the blocks", "firmware block", 20, 1, 100},
        {Flash, "during the reset", "firmware reset", 1, 100, 1000},
        {Stream, "while streaming", "code 0x15", 1, 1000, 1000},
        {Stream, "and put back at once while streaming", "code 0x15", 1, 1000, 0},
        {Stream, "at the stop", "code 0x16 byte2 0 dir W", 1, 0, 100},
        // The system tells of the removal only after the job has met the dead line.
        {Info, "before the command, told late", "count 0 code 0x01", 1, 0, 3000, 1, 1000},
        {Settings, "mid-reply, told late", "code 0x21", 1, 60, 3000, 40, 1000},
        {Download, "mid-recording, told late", "param 0x39", 1, 30, 3000, 1, 1000},
        {DownloadErase, "between recordings, told late", "param 0x39", 2, 0, 3000, 1, 1000},
        {DownloadErase, "after the last recording, told late", "param 0x16", 1, 0, 3000, 1, 1000},
        {Flash, "among the blocks, told late", "firmware block", 20, 1, 3000, 1, 1000},
        {Flash, "during the reset, told late", "firmware reset", 1, 100, 3000, 1, 1000},
        {Stream, "just before the stop, told late", "code 0x15", 1, 2900, 3000, 1, 1000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.job.name) + ", pulled out " + row.moment);
        PlugRig rig;
        rig.PullWhen(row.frame, row.nth, row.afterMs, row.outMs, row.eventMs);
        rig.recorder.faults().sendSlowdown = row.slowdown;
        const std::int64_t start = rig.loop.now;
        const bool reported = row.job.run(rig);
        EXPECT_LT(rig.loop.now - start, 120'000) << "the job ended in time";
        EXPECT_TRUE(rig.pulled) << "the recorder was pulled out during the job";
        rig.loop.RunFor(8000);
        if (reported) {
            EXPECT_TRUE(row.job.done(rig)) << "reported done, but it is not";
        }
        if (rig.recorder.recordings().size() < rig.held.size()) {
            EXPECT_TRUE(rig.AllHeldAreHome()) << "erased without being stored";
        }
        EXPECT_EQ(rig.link.state().DevicePresence, DeviceAttached) << "the recorder is back";
        EXPECT_TRUE(row.job.again(rig)) << "the recorder works again";
        EXPECT_FALSE(rig.recorder.streaming()) << "the stream was stopped";
    }
}

// A recorder that answers twice or late: whatever a job reports is what the recorder did, and nothing
// leaves it that is not in the library.
TEST(HotPlugJobs, EveryJobAgainstARecorderThatAnswersTwiceOrLateReportsOnlyWhatHappened)
{
    struct Way {
        const char* name;
        bool twice;
        std::int64_t delayMs;
    };
    const Way ways[] = {{"twice", true, 0}, {"0.6 s late", false, 600}, {"1.2 s late", false, 1200},
                        {"2.5 s late", false, 2500}, {"late and twice", true, 1200}};
    // Twice, or late within every time-out: the job is understood and succeeds (the firmware job
    // excepted, whose block answers cannot be told apart).
    auto understood = [](const Job* job, const Way& way) { return job != &Flash && way.delayMs <= 600; };
    for (const Job* job : {&Info, &Settings, &Download, &DownloadErase, &Flash, &Stream}) {
        for (const Way& way : ways) {
            SCOPED_TRACE(std::string(job->name) + ", answers " + way.name);
            PlugRig rig;
            rig.recorder.faults().answerTwice = way.twice;
            rig.recorder.faults().answerDelayMs = way.delayMs;
            const std::int64_t start = rig.loop.now;
            const bool reported = job->run(rig);
            EXPECT_LT(rig.loop.now - start, 120'000) << "the job ended in time";
            rig.loop.RunFor(3000);
            if (reported) {
                EXPECT_TRUE(job->done(rig)) << "reported done, but it is not";
            }
            if (understood(job, way)) {
                EXPECT_TRUE(reported) << "not understood";
            }
            if (job == &Flash && !reported && FlashDone(rig)) {
                EXPECT_NE(rig.board.failure, JobFailure::StillInBootLoader) << "the new program runs";
            }
            if (rig.recorder.recordings().size() < rig.held.size()) {
                EXPECT_TRUE(rig.AllHeldAreHome()) << "erased without being stored";
            }
            rig.recorder.faults() = {};
            rig.loop.RunFor(8000);
            EXPECT_TRUE(job->again(rig)) << "the recorder works again";
            EXPECT_FALSE(rig.recorder.streaming()) << "the stream was stopped";
        }
    }
}

}  // namespace
