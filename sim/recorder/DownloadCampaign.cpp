#include "sim/recorder/DownloadCampaign.h"

#include "device/DeviceStep.h"
#include "device/DownloadJob.h"
#include "device/DownloadSequence.h"
#include "device/JobRequest.h"
#include "device/transport/AbsentBridges.h"
#include "sim/recorder/DownloadScenarios.h"
#include "sim/recorder/SimulatedXpress.h"
#include "store/DeviceRecordHeader.h"
#include "store/EdfRecord.h"
#include "store/FhrBlock.h"
#include "store/RecordingLocation.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <random>

namespace sim {

namespace {

// The fake clock; an unplugging fault pulls the cable, and a hot-plug event (of any device)
// arrives, when its time has come. With a tick set, pumping runs the worker's tick every 300 ms,
// never inside a tick, as the program's message loop does while the download window waits.
class CampaignClock : public device::DeviceEnvironment {
public:
    std::int64_t now = 0;
    std::int64_t unplugAt = -1;
    std::function<void()> unplug;
    std::int64_t arriveAt = -1;
    std::function<void()> arrive;
    // The cable goes back in this long after it was pulled (0: before anything else runs; -1: never).
    std::int64_t replugAfter = -1;
    std::int64_t replugAt = -1;
    std::function<void()> replug;
    std::function<void()> tick;
    std::int64_t nextTick = 0;
    bool inTick = false;
    std::int64_t NowMs() override { return now; }
    // A real date: the offset repair sends the computer's clock, and the recorder refuses month 0.
    device::LocalDateTime LocalNow() override { return {2013, 5, 21, 10, 15, 30}; }
    void SleepMs(std::uint32_t ms) override
    {
        now += ms;
        check();
    }
    void Pump() override
    {
        check();
        if (tick && !inTick && now >= nextTick) {
            inTick = true;
            tick();
            inTick = false;
            nextTick = now + 300;
        }
    }
    void Post(std::function<void()> action) override { action(); }
    void check()
    {
        if (unplugAt >= 0 && now >= unplugAt && unplug) {
            unplugAt = -1;
            unplug();
            if (replugAfter >= 0)
                replugAt = now + replugAfter;
        }
        if (replugAt >= 0 && now >= replugAt && replug) {
            replugAt = -1;
            replug();
        }
        if (arriveAt >= 0 && now >= arriveAt && arrive) {
            arriveAt = -1;
            arrive();
        }
    }
};

QString ExpectedPath(const QString& library, const SimRecording& r)
{
    const device::protocol::RecordHeaderBytes stored = device::protocol::ConvertRecordHeader(r.wireHeader);
    const DEVICE_RECORD_HEADER h =
        DEVICE_RECORD_HEADER::fromBytes(QByteArray(reinterpret_cast<const char*>(stored.data()), 256));
    return LocationOf(h).filePath(library);
}

// The file holds exactly this recording: its samples and the recorder's header in its block.
bool HoldsIntact(const QString& path, const SimRecording& r)
{
    EDF_RECORD record;
    if (!ReadEdfFile(path, record).ok() || record.Channels.size() != 1 || record.Channels[0].Samples != r.samples)
        return false;
    FHR_BLOCK block;
    if (!ReadFhrBlock(path, block))
        return false;
    const device::protocol::RecordHeaderBytes stored = device::protocol::ConvertRecordHeader(r.wireHeader);
    for (std::size_t i = 4; i < stored.size(); ++i)
        if (block.Bytes[i] != stored[i])
            return false;
    return true;
}

struct Plan {
    int recordings = 0;
    bool sameTime = false;
    bool manyRecordings = false;
    int checksumErrors = 0;
    int stallAfter = -1;
    std::size_t shortReads = 0;
    bool noAnswer = false;
    bool refuseFastLink = false;
    bool oddHeader = false;
    bool readOnlyLibrary = false;
    bool plantedFile = false;
    std::int64_t unplugAt = -1;
    std::int64_t replugAfter = -1;
    bool answerTwice = false;
    std::int64_t answerDelayMs = 0;
    // A hot-plug event: at once after the download is requested (before its tick), or later.
    bool arrivalAtRequest = false;
    std::int64_t arrivalAt = -1;
    bool badDcOffset = false;  // the recorder needs the offset repair that the arrival read sends
    bool windowSequence = false;  // the download window's sequence instead of the command line's
};

Plan DrawPlan(std::mt19937& rng)
{
    auto chance = [&rng](int percent) { return static_cast<int>(rng() % 100) < percent; };
    Plan p;
    p.manyRecordings = chance(1);
    p.recordings = p.manyRecordings ? 256 + static_cast<int>(rng() % 40) : static_cast<int>(rng() % 7);
    p.sameTime = !p.manyRecordings && chance(8);
    if (chance(30))
        p.checksumErrors = 1 + static_cast<int>(rng() % 4);
    if (chance(12))
        p.stallAfter = static_cast<int>(rng() % 12000);
    if (chance(20))
        p.shortReads = 1 + rng() % 300;
    p.noAnswer = chance(4);
    p.refuseFastLink = chance(10);
    p.oddHeader = chance(5);
    p.readOnlyLibrary = chance(5);
    p.plantedFile = chance(5);
    if (chance(10))
        p.unplugAt = 500 + static_cast<std::int64_t>(rng() % 8000);
    if (p.unplugAt >= 0 && chance(60))
        p.replugAfter = chance(30) ? 0 : static_cast<std::int64_t>(rng() % 3000);
    p.answerTwice = chance(10);
    if (chance(10))
        p.answerDelayMs = static_cast<std::int64_t>(rng() % 2500);
    p.arrivalAtRequest = chance(15);
    if (chance(15))
        p.arrivalAt = static_cast<std::int64_t>(rng() % 12000);
    p.badDcOffset = chance(50);
    p.windowSequence = chance(50);
    return p;
}

}  // namespace

CampaignCounts RunDownloadCampaign(int runs, std::uint32_t seed, const QString& workFolder,
                                   void (*progress)(int, const CampaignCounts&))
{
    CampaignCounts counts;
    std::mt19937 rng(seed);
    for (int run = 0; run < runs; ++run) {
        const Plan plan = DrawPlan(rng);
        CampaignClock clock;
        SimulatedRecorder recorder([&clock] { return clock.now; });
        SimulatedXpress xpress(recorder, [&clock](std::uint32_t ms) { clock.SleepMs(ms); });
        device::transport::AbsentHidUart hid;
        device::Link link(hid, xpress);
        device::DeviceJobBoard board;
        device::DeviceStep step(link, board, clock);

        FillPlainRecordings(recorder, plan.recordings, plan.manyRecordings ? 1 : 2, plan.sameTime);
        if (plan.oddHeader && !recorder.recordings().empty())
            recorder.recordings()[rng() % recorder.recordings().size()].claimedSampleBytes = 1 + 2 * (rng() % 600);
        RecorderFaults& f = recorder.faults();
        f.checksumErrors = plan.checksumErrors;
        f.stallAfterBytes = plan.stallAfter;
        f.shortReadChunk = plan.shortReads;
        f.noAnswer = plan.noAnswer;
        f.refuseFastLink = plan.refuseFastLink;
        f.answerTwice = plan.answerTwice;
        f.answerDelayMs = plan.answerDelayMs;
        clock.unplugAt = plan.unplugAt;
        clock.unplug = [&] {
            xpress.SetPlugged(false);
            link.DeviceRemoved();
        };
        clock.replugAfter = plan.replugAfter;
        clock.replug = [&] {
            xpress.SetPlugged(true);
            link.DeviceArrived();
        };
        clock.arriveAt = plan.arrivalAt;
        clock.arrive = [&] { link.DeviceArrived(); };
        if (plan.badDcOffset)
            recorder.info().dcOffset = 3000;
        const std::vector<SimRecording> held = recorder.recordings();

        const QString library = QDir(workFolder).filePath(QStringLiteral("run-%1").arg(run));
        QDir(library).removeRecursively();
        QHash<QString, QByteArray> before;
        if (plan.readOnlyLibrary) {
            // A file where the library's device folder must go: nothing can be written below it.
            QDir().mkpath(library);
            QFile blocker(QDir(library).filePath("0012AB34"));
            if (blocker.open(QIODevice::WriteOnly))
                blocker.write("not a folder");
        }
        if (plan.plantedFile && !held.empty()) {
            const QString planted = ExpectedPath(library, held[rng() % held.size()]);
            QDir().mkpath(QFileInfo(planted).path());
            QFile file(planted);
            if (file.open(QIODevice::WriteOnly))
                file.write("somebody's other recording");
        }
        for (QDirIterator it(library, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                before.insert(path, file.readAll());
        }

        board.dataFolder = library;
        link.ResetForStartup();
        link.state().arrivalStage = 0;
        device::PostJob(board, device::ReadInfoJobCode);
        step.Run();
        // A request is served in the tick after the arrival read at the latest.
        auto runUntilEnded = [&](std::uint32_t ticket) {
            for (int tick = 0; tick < 10 && !device::EndOf(board, ticket); ++tick)
                step.Run();
        };
        if (board.JobState == device::JobSucceeded && plan.windowSequence) {
            // The download window's Download button with "delete once download is complete" ticked.
            ++counts.windowRuns;
            clock.tick = [&] { step.Run(); };
            clock.nextTick = clock.now + 300;
            if (plan.arrivalAtRequest)
                clock.arriveAt = clock.now;
            device::DownloadThenErase(board, clock, true);
        } else if (board.JobState == device::JobSucceeded) {
            // The command line's sequence: one step per job.
            const std::uint32_t download = device::PostJob(board, device::DownloadJobCode);
            if (plan.arrivalAtRequest)
                link.DeviceArrived();
            runUntilEnded(download);
            board.eraseOnlyIf = device::EraseConditionAfter(board.download.result);
            if (board.eraseOnlyIf)
                runUntilEnded(device::PostJob(board, device::EraseJobCode));
        }
        counts.arrivals += plan.arrivalAtRequest || plan.arrivalAt >= 0 ? 1 : 0;
        counts.replugs += plan.unplugAt >= 0 && plan.replugAfter >= 0 ? 1 : 0;
        counts.wayward += plan.answerTwice || plan.answerDelayMs > 0 ? 1 : 0;

        // The check: every recording is in the recorder still, or intact at its place.
        const bool erased = recorder.recordings().empty() && !held.empty();
        counts.erased += erased ? 1 : 0;
        counts.succeeded += board.download.result.allStored() ? 1 : 0;
        QHash<QString, int> claimedBy;
        for (const SimRecording& r : held) {
            ++counts.recordings;
            const QString path = ExpectedPath(library, r);
            const bool planted = before.contains(path);
            const bool intact = !planted && QFile::exists(path) && HoldsIntact(path, r);
            const bool firstOfItsName = claimedBy.value(path, 0) == 0;
            claimedBy[path] += 1;
            if (intact && firstOfItsName)
                ++counts.stored;
            if (!planted && QFile::exists(path) && !intact && firstOfItsName && !r.claimedSampleBytes)
                ++counts.corrupted;
            if (erased && !(intact && firstOfItsName)) {
                ++counts.erasedWithoutStored;
                ++counts.lost;
            }
        }
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            QFile file(it.key());
            if (!file.open(QIODevice::ReadOnly) || file.readAll() != it.value())
                ++counts.overwritten;
        }
        for (QDirIterator it(library, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            if (before.contains(path))
                continue;
            EDF_RECORD record;
            if (!path.endsWith(QLatin1String(".edf")) || !ReadEdfFile(path, record).ok())
                ++counts.partiallyWritten;
        }
        QDir(library).removeRecursively();
        ++counts.runs;
        if (progress)
            progress(run, counts);
    }
    return counts;
}

}  // namespace sim
