#include "device/DownloadJob.h"
#include "device/protocol/ByteOrder.h"
#include "device/protocol/RecordingStream.h"
#include "store/DownloadedRecording.h"
#include <QDir>
#include <algorithm>
#include <vector>

namespace device {

using namespace protocol;

namespace {

constexpr std::uint32_t HeaderTimeoutMs = 1000;
constexpr std::uint32_t SampleTimeoutMs = 1000;
constexpr std::uint32_t PageTimeoutMs = 500;
constexpr std::uint32_t CheckFrameTimeoutMs = 1000;
constexpr int NegotiationAttempts = 3;
constexpr int RetriesBeforeGivingUp = 3;
// Samples are read in slices this long: long enough for the line to be used fully, short enough for
// the gauge and the Cancel button to stay lively.
constexpr std::uint32_t SampleSliceBytes = 4096;
// No recording holds more sample bytes than this, whatever its header says.
constexpr std::uint32_t MaxSampleBytes = 64u * 1024u * 1024u;
// The recorder keeps a stream going without gaps this long; a line quiet for this long has nothing
// left of the last recording on it.
constexpr std::uint32_t LineQuietMs = 1000;

// One recording's bytes as they arrived, before it counts as verified.
struct Received {
    RecordHeaderBytes wireHeader{};
    std::vector<std::uint8_t> samplesBe;
    AnnotationBlock annotation{};
    StreamSum sum;
};

QString RelativeTo(const QString& dataFolder, const QString& path)
{
    return QDir(dataFolder).relativeFilePath(path);
}

std::uint32_t DrainMs(const Link& link)
{
    return link.state().LinkTransport == HidBridge ? HidDrainMs : SerialDrainMs;
}

RecordingOutcome OutcomeOf(StoreOutcome o)
{
    switch (o) {
    case StoreOutcome::Written: return RecordingOutcome::Stored;
    case StoreOutcome::Identical: return RecordingOutcome::AlreadyStored;
    case StoreOutcome::NameTaken: return RecordingOutcome::NameTaken;
    case StoreOutcome::FolderFailed:
    case StoreOutcome::WriteFailed:
    case StoreOutcome::BadInput: break;
    }
    return RecordingOutcome::WriteFailed;
}

}  // namespace

// The state of one run of the job.
struct DownloadJob::Impl {
    DownloadJob& job;
    LinkPort& port;
    DownloadCounters& counters;
    DownloadResult& result;
    int retries = 0;
    bool switchedDown = false;

    explicit Impl(DownloadJob& j)
        : job(j), port(j.jobs_.port()), counters(j.board_.download), result(j.board_.download.result)
    {
    }

    void progress()
    {
        if (job.board_.downloadProgress)
            job.board_.downloadProgress();
    }

    bool negotiate();
    void endDownloading();
    void downloadAll();
    // Fetches recording `index` once. True when it arrived whole with a matching sum.
    bool fetch(std::size_t index, std::uint8_t subCode, Received& in, DownloadRow& row, bool& refused);
    void store(const Received& in, DownloadRow& row);
    void discardRestOfStream();
};

DownloadJob::DownloadJob(Link& link, DeviceJobBoard& board, DeviceEnvironment& env, DeviceJobs& jobs)
    : link_(link), board_(board), env_(env), jobs_(jobs)
{
}

bool DownloadJob::Impl::negotiate()
{
    DownloadJob& j = job;
    for (int attempt = 0; attempt < NegotiationAttempts; ++attempt) {
        j.env_.Pump();
        if (attempt == 0) {
            j.link_.SetRateCode(RateCodeFast);
            j.jobs_.frame().SetLinkSpeed(RateCodeFast);
            port.WriteBlock(j.jobs_.frame().data(), FrameSize, CommandWriteTimeoutMs);
        } else {
            // The recorder falls back to 230400 by itself after a silence.
            result.lowSpeedFallback = true;
            j.link_.SetRateCode(RateCodeNormal);
            PumpingSleep(j.env_, RecorderFallBackMs);
        }
        PumpingSleep(j.env_, DrainMs(j.link_));
        j.link_.OpenLink();
        const bool signedBlock = j.jobs_.ReadInfoBlock(false);
        if (j.board_.JobState == JobPending)
            j.board_.JobState = JobRunning;
        if (signedBlock)
            return true;
    }
    return false;
}

void DownloadJob::Impl::endDownloading()
{
    DownloadJob& j = job;
    // A recorder that was dropped to 230400 is there already and gets no end command.
    if (result.lowSpeedFallback)
        return;
    j.jobs_.frame().RequestRecord(RecordEnd);
    port.WriteBlock(j.jobs_.frame().data(), FrameSize, CommandWriteTimeoutMs);
    // Reopening purges the bridge's buffers: let the end frame leave first.
    PumpingSleep(j.env_, DrainMs(j.link_));
    j.link_.SetRateCode(RateCodeNormal);
    j.link_.OpenLink();
}

bool DownloadJob::Impl::fetch(std::size_t index, std::uint8_t subCode, Received& in, DownloadRow& row, bool& refused)
{
    DownloadJob& j = job;
    refused = false;
    j.jobs_.frame().RequestRecord(subCode);
    port.WriteBlock(j.jobs_.frame().data(), FrameSize, CommandWriteTimeoutMs);
    counters.recordIndex = static_cast<std::int32_t>(index);
    counters.bytesDone = 0;
    counters.bytesTotal = 0;

    const std::uint32_t gotHeader = port.ReadBlock(in.wireHeader.data(), RecordHeaderSize, HeaderTimeoutMs);
    if (gotHeader != RecordHeaderSize) {
        row.detail = QStringLiteral("record header: %1 of 256 bytes arrived").arg(gotHeader);
        return false;
    }
    in.sum.Add(in.wireHeader.data(), RecordHeaderSize);
    const RecordHeaderFields f = ReadWireHeader(in.wireHeader);
    const DEVICE_RECORD_HEADER stored = DEVICE_RECORD_HEADER::fromBytes(
        QByteArray(reinterpret_cast<const char*>(ConvertRecordHeader(in.wireHeader).data()), RecordHeaderSize));
    const RecordingLocation location = LocationOf(stored);
    row.path = location.filePath(j.board_.dataFolder);
    row.relativePath = RelativeTo(j.board_.dataFolder, row.path);
    row.timeText = location.time;
    row.sampleBytes = f.sampleBytes;
    counters.deviceIdText = location.deviceId;
    counters.monthFolderText = location.month;
    counters.dayText = location.day;
    counters.currentFile = row.path;
    counters.bytesTotal = f.sampleBytes;

    // The stored-byte count is no bound here: recordings longer than the recorder's unit of memory
    // hold more sample bytes than a recorder with one of them reports.
    if (f.sampleBytes == 0 || f.sampleBytes % 2 != 0 || f.sampleBytes > MaxSampleBytes || f.sampleRate == 0) {
        refused = true;
        row.detail = f.sampleRate == 0 ? QStringLiteral("the header gives a sample rate of 0")
                                       : QStringLiteral("the header gives an impossible sample byte count of %1")
                                             .arg(f.sampleBytes);
        return false;
    }
    progress();

    in.samplesBe.resize(f.sampleBytes);
    std::uint32_t done = 0;
    while (done < f.sampleBytes) {
        j.env_.Pump();
        const std::uint32_t want = std::min(SampleSliceBytes, f.sampleBytes - done);
        const std::uint32_t got = port.ReadBlock(in.samplesBe.data() + done, want, SampleTimeoutMs);
        if (got == 0) {
            row.detail = QStringLiteral("samples: %1 of %2 bytes arrived").arg(done).arg(f.sampleBytes);
            return false;
        }
        in.sum.Add(in.samplesBe.data() + done, got);
        done += got;
        counters.bytesDone = done;
        progress();
    }

    for (std::size_t page = 0; page < AnnotationPages; ++page) {
        std::uint8_t* at = in.annotation.data() + page * AnnotationPageSize;
        const std::uint32_t got = port.ReadBlock(at, AnnotationPageSize, PageTimeoutMs);
        if (got != AnnotationPageSize) {
            row.detail = QStringLiteral("annotation page %1: %2 of 256 bytes arrived").arg(page).arg(got);
            return false;
        }
    }
    in.sum.Add(in.annotation.data(), in.annotation.size());

    std::array<std::uint8_t, CheckFrameSize> check{};
    const std::uint32_t gotCheck = port.ReadBlock(check.data(), CheckFrameSize, CheckFrameTimeoutMs);
    if (gotCheck != CheckFrameSize) {
        row.detail = QStringLiteral("check frame: %1 of 64 bytes arrived").arg(gotCheck);
        return false;
    }
    if (ReadBe16(check.data(), 0) != in.sum.value()) {
        row.detail = QStringLiteral("check sum %1 received, %2 computed").arg(ReadBe16(check.data(), 0)).arg(in.sum.value());
        return false;
    }
    return true;
}

void DownloadJob::Impl::store(const Received& in, DownloadRow& row)
{
    const RecordHeaderBytes storedHeader = ConvertRecordHeader(in.wireHeader);
    const DEVICE_RECORD_HEADER header =
        DEVICE_RECORD_HEADER::fromBytes(QByteArray(reinterpret_cast<const char*>(storedHeader.data()), RecordHeaderSize));
    QByteArray samplesLe(static_cast<qsizetype>(in.samplesBe.size()), '\0');
    for (std::size_t i = 0; i + 1 < in.samplesBe.size(); i += 2) {
        samplesLe[static_cast<qsizetype>(i)] = static_cast<char>(in.samplesBe[i + 1]);
        samplesLe[static_cast<qsizetype>(i + 1)] = static_cast<char>(in.samplesBe[i]);
    }
    const SeriesArea series = SeriesAreaFromAnnotation(in.annotation);
    const StoredRecording s = StoreDownloadedRecording(
        job.board_.dataFolder, header, samplesLe, QByteArray(reinterpret_cast<const char*>(series.data()), series.size()));
    row.outcome = OutcomeOf(s.outcome);
    row.detail = s.detail;
    if (IsSafelyStored(row.outcome)) {
        // The main window selects the last recording brought home.
        counters.deviceIdText = s.location.deviceId;
        counters.monthFolderText = s.location.month;
        counters.dayText = s.location.day;
        counters.timeText = s.location.time;
    }
}

// After a recording was given up (refused header, bytes missing, wrong sum) the recorder may still be
// sending the rest of it. Left on the line, those bytes would be read as the next recording's
// header: read them away until the line is quiet. The recorder cannot send more than it holds.
void DownloadJob::Impl::discardRestOfStream()
{
    std::vector<std::uint8_t> scratch(SampleSliceBytes);
    std::uint64_t left = std::uint64_t{result.bytesStored} + RecordHeaderSize + AnnotationBlockSize + CheckFrameSize;
    while (left > 0) {
        job.env_.Pump();
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(scratch.size(), left));
        const std::uint32_t got = port.ReadBlock(scratch.data(), want, LineQuietMs);
        if (got == 0)
            return;
        left -= std::min<std::uint64_t>(got, left);
    }
}

void DownloadJob::Impl::downloadAll()
{
    DownloadJob& j = job;
    const std::size_t count = result.reported;
    std::size_t index = 0;
    // The last recording that arrived whole, to know it when it comes again.
    struct Fetched {
        RecordHeaderBytes header;
        std::uint16_t sum;
    };
    std::optional<Fetched> previous;
    bool nextUnheard = false;
    while (index < count) {
        j.env_.Pump();
        if (j.link_.state().DevicePresence == DeviceDetached) {
            result.end = DownloadEnd::Unplugged;
            return;
        }
        // After a failure the rest of the download runs at 230400 baud.
        if (retries > 0 && !switchedDown) {
            switchedDown = true;
            result.lowSpeedFallback = true;
            j.link_.SetRateCode(RateCodeNormal);
            j.link_.OpenLink();
            PumpingSleep(j.env_, RecorderFallBackMs);
        }
        if (j.board_.cancelRequest) {
            result.end = DownloadEnd::Cancelled;
            return;
        }
        if (retries >= RetriesBeforeGivingUp) {
            result.end = DownloadEnd::RetriesExhausted;
            return;
        }
        const std::uint8_t subCode =
            retries > 0 && !nextUnheard ? RecordAgain : (index == 0 ? RecordFirst : RecordNext);
        Received in;
        DownloadRow& row = result.rows[index];
        bool refused = false;
        const bool verified = fetch(index, subCode, in, row, refused);
        if (!verified)
            discardRestOfStream();
        // "Send it again" after a lost "send the next" brings the recording stored before: taken for
        // this one, it would count as home while this one never came, and the erase would lose it.
        nextUnheard = verified && subCode == RecordAgain && previous &&
                      previous->header == in.wireHeader && previous->sum == in.sum.value();
        if (nextUnheard) {
            row.outcome = RecordingOutcome::Incomplete;
            row.detail = QStringLiteral("the recorder sent the recording before this one again");
            ++retries;
        } else if (refused) {
            // Nothing sensible can be read for it; the next one may still be fine.
            row.outcome = RecordingOutcome::Refused;
            retries = 0;
            ++index;
        } else if (!verified) {
            row.outcome = RecordingOutcome::Incomplete;
            ++retries;
        } else {
            retries = 0;
            store(in, row);
            previous = Fetched{in.wireHeader, in.sum.value()};
            ++index;
        }
        progress();
    }
    result.end = DownloadEnd::Completed;
}

void DownloadJob::Run()
{
    board_.download.result = DownloadResult{};
    Impl run(*this);
    DownloadResult& result = run.result;
    // A cancel pressed while the job was still pending counts: the request is consumed at the end.
    jobs_.Wake();

    if (!run.negotiate()) {
        result.end = DownloadEnd::NoAnswer;
        result.detail = QStringLiteral("no signed information block at 921600 or 230400 baud");
    } else {
        const protocol::DEVICE_INFO_BLOCK& info = board_.infoBlock;
        result.deviceId = info.deviceId;
        result.bytesStored = info.bytesStored;
        result.bytesPerRecording = static_cast<std::uint32_t>(info.factorA) * info.factorB * 2u;
        result.reported = RecordCount(info);
        board_.download.recordCount = static_cast<std::int32_t>(std::min(result.reported, MaxDownloadRecordings));
        if (result.reported > MaxDownloadRecordings) {
            result.end = DownloadEnd::TooManyRecordings;
            result.detail = QStringLiteral("the recorder reports %1 recordings").arg(result.reported);
        } else {
            result.rows.resize(result.reported);
            run.progress();
            run.downloadAll();
            // Cancel pressed while the last recording came in: the user stopped the download, so
            // nothing that follows a finished one (the erase) may happen.
            if (result.end == DownloadEnd::Completed && board_.cancelRequest)
                result.end = DownloadEnd::Cancelled;
        }
    }
    run.endDownloading();
    board_.cancelRequest = false;
    board_.RequestedJob = NoJob;
    board_.JobState = result.allStored() ? JobSucceeded : JobFailed;
    run.progress();
}

std::optional<EraseCondition> EraseConditionAfter(const DownloadResult& result)
{
    if (!result.allStored())
        return std::nullopt;
    return EraseCondition{result.deviceId, result.bytesStored};
}

}  // namespace device
