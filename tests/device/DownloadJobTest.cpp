#include "SimRig.h"
#include "device/DownloadJob.h"
#include "device/JobRequest.h"
#include "device/protocol/Commands.h"
#include "sim/recorder/DownloadScenarios.h"
#include "store/EdfRecord.h"
#include "store/FhrBlock.h"
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace device;
namespace proto = device::protocol;

namespace {

// A rig whose board downloads into a temporary library, started and past its arrival read.
struct DownloadRig : SimRig {
    QTemporaryDir dir;
    explicit DownloadRig(int recordings)
    {
        sim::FillPlainRecordings(recorder, recordings);
        board.dataFolder = dir.path();
        loop.RunFor(310);
    }
    std::uint8_t Download()
    {
        RequestJobAndWait(board, loop, ReadInfoJobCode, ButtonWaitStepMs);
        return RequestJobAndWait(board, loop, DownloadJobCode, ButtonWaitStepMs, true);
    }
    std::uint8_t EraseAfter()
    {
        board.eraseOnlyIf = EraseConditionAfter(board.download.result);
        if (!board.eraseOnlyIf)
            return JobFailed;
        return RequestJobAndWait(board, loop, EraseJobCode, SlowWaitStepMs);
    }
    const DownloadResult& result() const { return board.download.result; }
    int FilesOnDisk() const
    {
        int n = 0;
        for (QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext(); it.next())
            ++n;
        return n;
    }
};

// The samples as a downloaded file must hold them.
std::vector<std::int16_t> FileSamples(const QString& path)
{
    EDF_RECORD record;
    if (!ReadEdfFile(path, record).ok() || record.Channels.empty())
        return {};
    return record.Channels[0].Samples;
}

// The name the main window selects afterwards is one recording's: a later recording that was not
// stored (here of another day) lends it no part.
TEST(DownloadJob, TheLastRecordingsNameComesFromOneStoredRecording)
{
    DownloadRig rig(3);
    rig.recorder.recordings()[2].wireHeader[proto::rec::Day] = proto::ToBcd(22);
    rig.recorder.recordings()[2].claimedSampleBytes = 1001;
    EXPECT_EQ(rig.Download(), JobFailed);
    const DownloadCounters& c = rig.board.download;
    ASSERT_EQ(c.result.rows.size(), 3u);
    EXPECT_EQ(c.result.rows[1].outcome, RecordingOutcome::Stored);
    EXPECT_EQ(c.deviceIdText + "/" + c.monthFolderText + "/" + c.dayText + "/" + c.timeText + ".edf",
              c.result.rows[1].relativePath);
}

TEST(DownloadJob, BringsEveryRecordingHomeAtFullSpeedAndErasesOnlyThen)
{
    DownloadRig rig(3);
    const auto expected = rig.recorder.recordings();
    EXPECT_EQ(rig.Download(), JobSucceeded);
    const DownloadResult& r = rig.result();
    EXPECT_EQ(r.end, DownloadEnd::Completed);
    EXPECT_FALSE(r.lowSpeedFallback);
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[1].relativePath, "0012AB34/201305/21/080137.edf");
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(r.rows[i].outcome, RecordingOutcome::Stored) << i;
        EXPECT_EQ(FileSamples(r.rows[i].path), expected[i].samples) << i;
        FHR_BLOCK block;
        EXPECT_TRUE(ReadFhrBlock(r.rows[i].path, block)) << "recognised by its own signed block";
        EXPECT_EQ(block.Bytes[FHR_BLOCK::AnalysedMark], 0);
        EXPECT_EQ(block.Bytes[DEVICE_RECORD_HEADER::HeartRate], 72);
    }
    EXPECT_EQ(rig.FilesOnDisk(), 3) << "no temporary files left";
    EXPECT_EQ(rig.board.download.timeText, "080314");
    EXPECT_EQ(rig.link.state().RateCode, 2);
    EXPECT_EQ(rig.recorder.rateCode(), 2) << "the end command brought the recorder back";

    EXPECT_EQ(rig.EraseAfter(), JobSucceeded);
    EXPECT_TRUE(rig.recorder.recordings().empty());
}

TEST(DownloadJob, AChecksumErrorIsAskedForAgainAtTheLowSpeed)
{
    DownloadRig rig(3);
    rig.recorder.faults().checksumErrors = 1;
    EXPECT_EQ(rig.Download(), JobSucceeded);
    EXPECT_TRUE(rig.result().lowSpeedFallback);
    EXPECT_EQ(rig.result().storedCount(), 3);
    EXPECT_EQ(rig.recorder.rateCode(), 2);
}

TEST(DownloadJob, ThreeFailuresInARowEndTheDownloadKeepingWhatWasStored)
{
    DownloadRig rig(4);
    rig.recorder.faults().checksumErrors = 1000;  // from the first recording on
    EXPECT_EQ(rig.Download(), JobFailed);
    EXPECT_EQ(rig.result().end, DownloadEnd::RetriesExhausted);
    EXPECT_EQ(rig.result().rows[0].outcome, RecordingOutcome::Incomplete);
    EXPECT_EQ(rig.FilesOnDisk(), 0);
    EXPECT_FALSE(EraseConditionAfter(rig.result()));
}

// Each case spoils one of four recordings; the others are stored, the download fails, nothing is erased.
TEST(DownloadJob, ARecordingThatCannotBeStoredFailsTheDownloadButNotTheOthers)
{
    struct Case {
        const char* name;
        std::function<void(DownloadRig&)> spoil;
        RecordingOutcome outcome;
    };
    const std::vector<Case> cases = {
        {"odd sample bytes", [](DownloadRig& r) { r.recorder.recordings()[1].claimedSampleBytes = 1023; },
         RecordingOutcome::Refused},
        {"zero sample bytes", [](DownloadRig& r) { r.recorder.recordings()[1].claimedSampleBytes = 0; },
         RecordingOutcome::Refused},
        {"absurd sample bytes", [](DownloadRig& r) { r.recorder.recordings()[1].claimedSampleBytes = 0xFFFFFFF0u; },
         RecordingOutcome::Refused},
        {"sample rate 0",
         [](DownloadRig& r) {
             auto& h = r.recorder.recordings()[1].wireHeader;
             h[proto::rec::SampleRate] = h[proto::rec::SampleRate + 1] = 0;
         },
         RecordingOutcome::Refused},
        {"same time as the one before",
         [](DownloadRig& r) {
             auto& rec = r.recorder.recordings();
             std::copy_n(rec[0].wireHeader.begin() + proto::rec::Year, 6, rec[1].wireHeader.begin() + proto::rec::Year);
         },
         RecordingOutcome::NameTaken},
        {"its day folder cannot be made",
         [](DownloadRig& r) {
             QDir(r.dir.path()).mkpath("0012AB34/201305");
             QFile(r.dir.filePath("0012AB34/201305/21")).open(QIODevice::WriteOnly);  // a file where the folder goes
         },
         RecordingOutcome::WriteFailed},
    };
    for (const Case& c : cases) {
        DownloadRig rig(4);
        c.spoil(rig);
        EXPECT_EQ(rig.Download(), JobFailed) << c.name;
        const DownloadResult& r = rig.result();
        EXPECT_EQ(r.end, DownloadEnd::Completed) << c.name << ": the job went on";
        ASSERT_EQ(r.rows.size(), 4u);
        EXPECT_EQ(r.rows[1].outcome, c.outcome) << c.name;
        EXPECT_FALSE(r.rows[1].detail.isEmpty()) << c.name;
        if (c.outcome != RecordingOutcome::WriteFailed) {
            EXPECT_EQ(r.storedCount(), 3) << c.name;
        }
        EXPECT_FALSE(EraseConditionAfter(r)) << c.name;
        EXPECT_EQ(rig.EraseAfter(), JobFailed);
        EXPECT_EQ(rig.recorder.recordings().size(), 4u) << c.name;
    }
}

TEST(DownloadJob, MoreThan255RecordingsAreAllFetchedAndCountForTheErase)
{
    DownloadRig rig(300);
    EXPECT_EQ(rig.Download(), JobSucceeded);
    EXPECT_EQ(rig.result().reported, 300u);
    EXPECT_EQ(rig.result().storedCount(), 300);
    EXPECT_EQ(rig.FilesOnDisk(), 300);
    EXPECT_EQ(rig.EraseAfter(), JobSucceeded);
}

TEST(DownloadJob, StoredBytesThatAreNotWholeRecordingsOrAbsurdKeepTheRecorderFull)
{
    DownloadRig partial(2);
    partial.recorder.storage().extraStoredBytes = 100;
    EXPECT_EQ(partial.Download(), JobFailed);
    EXPECT_EQ(partial.result().storedCount(), 2);
    EXPECT_FALSE(EraseConditionAfter(partial.result()));

    DownloadRig absurd(2);
    absurd.recorder.storage().bytesStoredOverride = 0xFFFFFFFFu;
    EXPECT_EQ(absurd.Download(), JobFailed);
    EXPECT_EQ(absurd.result().end, DownloadEnd::TooManyRecordings);
    EXPECT_TRUE(absurd.result().rows.empty());
}

TEST(DownloadJob, ARecordingAlreadyAtHomeCountsAsStoredAndIsNotRewritten)
{
    DownloadRig rig(2);
    ASSERT_EQ(rig.Download(), JobSucceeded);
    const QString first = rig.result().rows[0].path;
    // Opened and uploaded since: the analysis results and the uploaded marker were written into its block.
    QFile file(first);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype block = bytes.size() - FHR_BLOCK::Size;
    for (int i = FHR_BLOCK::UploadedMarker; i <= FHR_BLOCK::AnalysedMark; ++i)
        bytes[block + i] = char(i);
    file.seek(0);
    file.write(bytes);
    file.close();
    const auto before = QFileInfo(first).lastModified();
    ASSERT_EQ(rig.Download(), JobSucceeded);
    EXPECT_EQ(rig.result().rows[0].outcome, RecordingOutcome::AlreadyStored);
    EXPECT_EQ(rig.result().rows[1].outcome, RecordingOutcome::AlreadyStored);
    EXPECT_EQ(QFileInfo(first).lastModified(), before);
}

TEST(DownloadJob, TheEraseChecksTheRecorderIsStillTheOneDownloadedFrom)
{
    DownloadRig changed(2);
    ASSERT_EQ(changed.Download(), JobSucceeded);
    changed.recorder.recordings().push_back(sim::PlainRecording(changed.recorder.info(), 9));  // a new recording
    EXPECT_EQ(changed.EraseAfter(), JobFailed);
    EXPECT_EQ(changed.board.eraseRefusal, EraseRefusal::ContentChanged);
    EXPECT_EQ(changed.recorder.recordings().size(), 3u);

    DownloadRig swapped(2);
    ASSERT_EQ(swapped.Download(), JobSucceeded);
    swapped.recorder.info().deviceId = 0x00FFEE01;
    EXPECT_EQ(swapped.EraseAfter(), JobFailed);
    EXPECT_EQ(swapped.board.eraseRefusal, EraseRefusal::OtherRecorder);
    EXPECT_EQ(swapped.recorder.recordings().size(), 2u);
}

TEST(DownloadJob, CancelStopsBeforeTheNextRecording)
{
    DownloadRig rig(5);
    rig.board.downloadProgress = [&rig] {
        if (rig.board.download.result.storedCount() == 2 && rig.board.JobState == JobRunning) {
            rig.board.JobState = JobCancelled;
            rig.board.cancelRequest = true;
            rig.board.RequestedJob = NoJob;
        }
    };
    EXPECT_EQ(rig.Download(), JobFailed);
    EXPECT_EQ(rig.result().end, DownloadEnd::Cancelled);
    EXPECT_EQ(rig.result().storedCount(), 2);
}

// The recorder's stored-byte count is what it reports for its memory, not a bound on one recording:
// a single 60 s recording carries more sample bytes than the count says, and is brought home.
TEST(DownloadJob, ASingleLongRecordingIsNotTakenForAnImpossibleOne)
{
    DownloadRig rig(0);
    sim::FillPlainRecordings(rig.recorder, 1, 60);
    EXPECT_EQ(rig.Download(), JobSucceeded) << rig.result().rows.at(0).detail.toStdString();
    EXPECT_EQ(FileSamples(rig.result().rows.at(0).path), rig.recorder.recordings()[0].samples);
}

// A "send the next" the recorder did not hear: asked to send it again, the recorder sends the one
// before. Counted for the missing one, it would let the erase take a recording never brought home.
TEST(DownloadJob, ALostNextRequestDoesNotCountTheRecordingBeforeTwice)
{
    DownloadRig rig(4);
    const auto expected = rig.recorder.recordings();
    bool deafened = false;
    rig.board.downloadProgress = [&rig, &deafened] {
        const DownloadResult& r = rig.board.download.result;
        sim::RecorderFaults& faults = rig.recorder.faults();
        if (!deafened && r.storedCount() == 1) {
            deafened = true;
            faults.noAnswer = true;  // the next request goes unheard
        } else if (faults.noAnswer && r.rows[1].outcome == RecordingOutcome::Incomplete) {
            faults.noAnswer = false;
        }
    };
    EXPECT_EQ(rig.Download(), JobSucceeded);
    const DownloadResult& r = rig.result();
    ASSERT_EQ(r.rows.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(FileSamples(r.rows[i].path), expected[i].samples) << i;
    EXPECT_EQ(rig.FilesOnDisk(), 4);
}

// Cancel pressed while the last recording comes in: what arrived stays on disk, but the download
// counts as cancelled, so the erase the user had asked for does not follow it.
TEST(DownloadJob, CancelDuringTheLastRecordingKeepsTheRecorderFull)
{
    DownloadRig rig(3);
    rig.board.downloadProgress = [&rig] {
        const DownloadCounters& c = rig.board.download;
        if (c.recordIndex == 2 && c.bytesDone > 0 && rig.board.JobState == JobRunning) {
            rig.board.JobState = JobCancelled;
            rig.board.cancelRequest = true;
            rig.board.RequestedJob = NoJob;
        }
    };
    EXPECT_EQ(rig.Download(), JobFailed);
    EXPECT_EQ(rig.result().end, DownloadEnd::Cancelled);
    EXPECT_EQ(rig.result().storedCount(), 3);
    EXPECT_FALSE(EraseConditionAfter(rig.result()));
    EXPECT_FALSE(rig.board.cancelRequest) << "the request is used up";
}

// The recorder goes on sending a recording the job refused or gave up. Those bytes must not be
// taken for the next recording's header: a saw-tooth around 2048 read as a header claims some
// 130 million sample bytes, which would get the following recordings refused as well.
TEST(DownloadJob, TheRestOfAGivenUpRecordingIsNotTakenForTheNext)
{
    struct Case {
        const char* name;
        std::function<void(DownloadRig&)> spoil;
        RecordingOutcome outcome;
    };
    const std::vector<Case> cases = {
        {"odd sample bytes", [](DownloadRig& r) { r.recorder.recordings()[1].claimedSampleBytes = 1023; },
         RecordingOutcome::Refused},
        {"sample rate 0",
         [](DownloadRig& r) {
             auto& h = r.recorder.recordings()[1].wireHeader;
             h[proto::rec::SampleRate] = h[proto::rec::SampleRate + 1] = 0;
         },
         RecordingOutcome::Refused},
    };
    for (const Case& c : cases) {
        DownloadRig rig(4);
        c.spoil(rig);
        EXPECT_EQ(rig.Download(), JobFailed) << c.name;
        const DownloadResult& r = rig.result();
        ASSERT_EQ(r.rows.size(), 4u) << c.name;
        EXPECT_EQ(r.rows[1].outcome, c.outcome) << c.name;
        for (std::size_t i : {0u, 2u, 3u}) {
            EXPECT_EQ(r.rows[i].outcome, RecordingOutcome::Stored) << c.name << " row " << i << ": " << r.rows[i].detail.toStdString();
            EXPECT_EQ(FileSamples(r.rows[i].path), rig.recorder.recordings()[i].samples) << c.name << " row " << i;
        }
    }
}

}  // namespace

namespace {

// A header damaged on its way is asked for again, as a bad sum is; only a header that is impossible
// twice refuses its recording.
TEST(DownloadJob, OneDamagedHeaderIsAskedForAgain)
{
    for (sim::HeaderDamage damage : {sim::HeaderDamage::OddSampleBytes, sim::HeaderDamage::ZeroSampleBytes,
                                     sim::HeaderDamage::HugeSampleBytes, sim::HeaderDamage::ZeroRate}) {
        SCOPED_TRACE(static_cast<int>(damage));
        DownloadRig rig(3);
        rig.recorder.faults().damagedHeaders = 1;
        rig.recorder.faults().headerDamage = damage;
        EXPECT_EQ(rig.Download(), JobSucceeded);
        const DownloadResult& r = rig.result();
        ASSERT_EQ(r.rows.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(FileSamples(r.rows[i].path), rig.recorder.recordings()[i].samples) << i;
        EXPECT_TRUE(EraseConditionAfter(r));
    }
}

// Cancel and removal end the job within a second wherever it is: in the middle of a long recording's
// samples, or while the rest of a refused one is read away. The recordings take some 10 s each.
TEST(DownloadJob, CancelAndRemovalEndTheJobWithinASecond)
{
    struct Case {
        const char* name;
        bool refuseFirst;  // the first recording's header gives rate 0: its rest is read away
        bool removal;      // a device removal instead of Cancel
        DownloadEnd end;
    };
    const Case cases[] = {
        {"cancel in the samples", false, false, DownloadEnd::Cancelled},
        {"removal in the samples", false, true, DownloadEnd::Unplugged},
        {"cancel while a refused recording is read away", true, false, DownloadEnd::Cancelled},
        {"removal while a refused recording is read away", true, true, DownloadEnd::Unplugged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadRig rig(0);
        rig.recorder.info().factorB = 1800;  // the recorder reports the bytes it really holds
        sim::FillPlainRecordings(rig.recorder, 2, 1800);
        if (c.refuseFirst) {
            auto& h = rig.recorder.recordings()[0].wireHeader;
            h[proto::rec::SampleRate] = h[proto::rec::SampleRate + 1] = 0;
        }
        std::int64_t actedAt = -1;
        rig.recorder.SetFrameLog([&rig, &c, &actedAt](const std::string& line) {
            if (actedAt >= 0 || line.find("code 0x19") == std::string::npos)
                return;
            actedAt = rig.loop.now + 300;
            rig.loop.At(actedAt, [&rig, &c] {
                if (c.removal) {
                    rig.link.DeviceRemoved();
                } else {  // as the dialog's Cancel does
                    rig.board.cancelRequest = true;
                    rig.board.JobState = JobCancelled;
                    rig.board.RequestedJob = NoJob;
                }
            });
        });
        std::int64_t endedAt = 0;
        rig.board.downloadProgress = [&rig, &endedAt] { endedAt = rig.loop.now; };
        EXPECT_EQ(rig.Download(), JobFailed);
        EXPECT_EQ(rig.result().end, c.end);
        ASSERT_GE(actedAt, 0);
        EXPECT_LE(endedAt - actedAt, 1000);
        EXPECT_EQ(rig.result().storedCount(), 0);
        EXPECT_FALSE(EraseConditionAfter(rig.result()));
    }
}

// A recorder that sends far slower than its line cannot hold the window: each attempt has a deadline
// from the recording's size at the line rate, and three failed attempts end the download.
TEST(DownloadJob, ARecordingSlowerThanItsLineIsGivenUpInTime)
{
    DownloadRig rig(1);
    // Once the speed is agreed, bytes come a hundred times slower than the line carries them, never
    // with a second's gap: the recording would take 17 s at 921600 baud.
    bool late = false;
    rig.board.downloadProgress = [&rig, &late] {
        rig.recorder.faults().sendSlowdown = 100;
        for (const DownloadRow& row : rig.board.download.result.rows)
            late = late || row.detail.contains("not all there");
    };
    const std::int64_t start = rig.loop.now;
    EXPECT_EQ(rig.Download(), JobFailed);
    EXPECT_LT(rig.loop.now - start, 30'000);
    EXPECT_TRUE(late) << "given up at its deadline";
    EXPECT_EQ(rig.result().end, DownloadEnd::RetriesExhausted);
    EXPECT_EQ(rig.result().rows.at(0).outcome, RecordingOutcome::Incomplete);
}

}  // namespace

namespace {

// A recorder sending a recording hears nothing: a download cancelled mid-recording cannot end it with
// the end command while the rest is on its way. The next job must still find the recorder (once it
// is back at 230400 by itself), not fail at once.
TEST(DownloadJob, ADownloadEndedMidRecordingLeavesTheRecorderAtTheNormalSpeed)
{
    DownloadRig rig(0);
    rig.recorder.info().factorB = 300;
    sim::FillPlainRecordings(rig.recorder, 2, 300);  // some 150 kB, 1.7 s at 921600 baud
    bool cancelled = false;
    rig.board.downloadProgress = [&rig, &cancelled] {
        if (!cancelled && rig.board.download.bytesDone > 10'000) {
            cancelled = true;
            rig.board.JobState = JobCancelled;
            rig.board.cancelRequest = true;
            rig.board.RequestedJob = NoJob;
        }
    };
    EXPECT_EQ(rig.Download(), JobFailed);
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(rig.result().end, DownloadEnd::Cancelled);
    EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, ReadInfoJobCode, ButtonWaitStepMs), JobSucceeded)
        << "the next job finds the recorder";
}

}  // namespace
