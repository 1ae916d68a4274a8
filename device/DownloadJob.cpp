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
// A recording's bytes may take twice as long as the line rate needs for them, plus this much, before
// the recording is given up: the bridge passes bytes on in bursts, and a recorder that sends slower
// than its line would otherwise hold the window for as long as it likes.
constexpr std::int64_t RecordingSlackMs = 2000;
// Longest a cancelled download goes on reading, to finish the recording that is nearly in, ms.
constexpr std::int64_t CancelGraceMs = 500;
// A recording cut off by Cancel is still on its way, and the recorder hears nothing until it has sent
// it: the end command waits for a line this quiet, but no longer than the limit, ms.
constexpr std::uint32_t EndQuietMs = 50;
constexpr std::uint32_t EndQuietLimitMs = 500;

// Milliseconds the line needs for `bytes` at `baud` (10 bits a byte), rounded up.
std::int64_t LineMs(std::uint64_t bytes, std::uint32_t baud)
{
    const std::uint64_t bitsPerSecond = baud != 0 ? baud : BaudForRateCode(RateCodeNormal);
    return static_cast<std::int64_t>((bytes * 10u * 1000u + bitsPerSecond - 1) / bitsPerSecond);
}

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
    // The current recording's header was impossible once already: the next impossible one refuses it.
    bool headerAskedAgain = false;

    explicit Impl(DownloadJob& j)
        : job(j), port(j.jobs_.port()), counters(j.board_.download), result(j.board_.download.result)
    {
        // Cancel and unplugging end any read of the job at once, not only at the next recording.
        port.SetInterrupt([this] { return interrupted(); });
    }
    ~Impl() { port.SetInterrupt({}); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // The user cancelled, or the recorder (or any device of its kind) was removed.
    bool stopped() const
    {
        return job.board_.cancelRequest || job.link_.state().DevicePresence == DeviceDetached;
    }
    // Bytes of the recording being read that are still to come; 0 between recordings.
    std::uint64_t bytesLeft = 0;
    // Bytes of a recording the recorder was still sending when reading ended early (Cancel).
    std::uint64_t bytesLeftAtCut = 0;
    // Set when a cancel was first seen: reading may go on until then.
    std::optional<std::int64_t> cancelGraceUntil;
    // Whether reading must end now. A recording whose rest arrives within CancelGraceMs at the line
    // rate is still taken after a cancel: its bytes are nearly all there, and it is not asked for
    // again. Unplugging ends reading at once.
    bool interrupted()
    {
        if (job.link_.state().DevicePresence == DeviceDetached)
            return true;
        if (!job.board_.cancelRequest)
            return false;
        const std::int64_t now = job.env_.NowMs();
        if (!cancelGraceUntil) {
            const bool nearlyDone = bytesLeft > 0 && LineMs(bytesLeft, job.link_.state().baudRate) <= CancelGraceMs;
            cancelGraceUntil = now + (nearlyDone ? CancelGraceMs : 0);
        }
        return now >= *cancelGraceUntil;
    }
    // Records why the job stops; false when it goes on.
    bool endIfStopped()
    {
        if (job.link_.state().DevicePresence == DeviceDetached)
            result.end = DownloadEnd::Unplugged;
        else if (job.board_.cancelRequest)
            result.end = DownloadEnd::Cancelled;
        else
            return false;
        return true;
    }
    // Waits ms, pumping, unless the job is stopped meanwhile.
    void pause(std::uint32_t ms)
    {
        const std::int64_t until = job.env_.NowMs() + ms;
        while (!stopped() && job.env_.NowMs() < until) {
            job.env_.Pump();
            const std::int64_t left = until - job.env_.NowMs();
            if (left > 0 && !stopped())
                job.env_.SleepMs(static_cast<std::uint32_t>(std::min<std::int64_t>(left, PumpSliceMs)));
        }
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
    // Reads up to length bytes, waiting at most timeoutMs and never past the recording's deadline.
    std::uint32_t readBefore(std::int64_t deadline, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs);
};

DownloadJob::DownloadJob(Link& link, DeviceJobBoard& board, DeviceEnvironment& env, DeviceJobs& jobs)
    : link_(link), board_(board), env_(env), jobs_(jobs)
{
}

bool DownloadJob::Impl::negotiate()
{
    DownloadJob& j = job;
    for (int attempt = 0; attempt < NegotiationAttempts && !stopped(); ++attempt) {
        j.env_.Pump();
        if (attempt == 0) {
            j.link_.SetRateCode(RateCodeFast);
            j.jobs_.frame().SetLinkSpeed(RateCodeFast);
            port.WriteBlock(j.jobs_.frame().data(), FrameSize, CommandWriteTimeoutMs);
        } else {
            // The recorder falls back to 230400 by itself after a silence.
            result.lowSpeedFallback = true;
            j.link_.SetRateCode(RateCodeNormal);
            pause(RecorderFallBackMs);
        }
        pause(DrainMs(j.link_));
        j.link_.OpenLink();
        const bool signedBlock = j.jobs_.ReadInfoBlock(false);
        if (j.board_.JobState == JobPending)
            j.board_.JobState = JobRunning;
        if (signedBlock && !stopped())
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
    // Cancel no longer cuts reads short here: only a removal does.
    port.SetInterrupt([this] { return job.link_.state().DevicePresence == DeviceDetached; });
    if (!j.jobs_.DrainLine(EndQuietMs, EndQuietLimitMs)) {
        // Still sending what Cancel cut off, the recorder would not hear the end command. It comes
        // back to 230400 by itself once its line has been quiet: no job may start before then, or
        // it would find no recorder.
        const std::int64_t sending = LineMs(bytesLeftAtCut, j.link_.state().baudRate);
        j.board_.recorderBackAtMs = j.env_.NowMs() + sending + RecorderFallBackMs;
        j.link_.SetRateCode(RateCodeNormal);
        j.link_.OpenLink();
        return;
    }
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
    const std::int64_t askedAt = j.env_.NowMs();
    struct NothingLeftAfter {
        Impl& run;
        ~NothingLeftAfter()
        {
            if (run.interrupted())
                run.bytesLeftAtCut = run.bytesLeft;
            run.bytesLeft = 0;
        }
    } nothingLeftAfter{*this};
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

    // The whole recording, as its header announces it, must be there in time at the line rate in use.
    const std::uint64_t announced = RecordHeaderSize + std::uint64_t{f.sampleBytes} + AnnotationBlockSize + CheckFrameSize;
    const std::int64_t allowedMs = HeaderTimeoutMs + 2 * LineMs(announced, j.link_.state().baudRate) + RecordingSlackMs;
    const std::int64_t deadline = askedAt + allowedMs;
    bytesLeft = announced - RecordHeaderSize;
    auto late = [&] {
        row.detail = QStringLiteral("not all there %1 ms after it was asked for").arg(allowedMs);
        return false;
    };

    in.samplesBe.resize(f.sampleBytes);
    std::uint32_t done = 0;
    while (done < f.sampleBytes) {
        j.env_.Pump();
        if (interrupted())
            return false;
        const std::uint32_t want = std::min(SampleSliceBytes, f.sampleBytes - done);
        const std::uint32_t got = readBefore(deadline, in.samplesBe.data() + done, want, SampleTimeoutMs);
        if (got == 0) {
            if (j.env_.NowMs() >= deadline)
                return late();
            row.detail = QStringLiteral("samples: %1 of %2 bytes arrived").arg(done).arg(f.sampleBytes);
            return false;
        }
        in.sum.Add(in.samplesBe.data() + done, got);
        done += got;
        bytesLeft -= got;
        counters.bytesDone = done;
        progress();
    }

    for (std::size_t page = 0; page < AnnotationPages; ++page) {
        std::uint8_t* at = in.annotation.data() + page * AnnotationPageSize;
        const std::uint32_t got = readBefore(deadline, at, AnnotationPageSize, PageTimeoutMs);
        if (got != AnnotationPageSize) {
            if (j.env_.NowMs() >= deadline)
                return late();
            row.detail = QStringLiteral("annotation page %1: %2 of 256 bytes arrived").arg(page).arg(got);
            return false;
        }
    }
    in.sum.Add(in.annotation.data(), in.annotation.size());

    std::array<std::uint8_t, CheckFrameSize> check{};
    const std::uint32_t gotCheck = readBefore(deadline, check.data(), CheckFrameSize, CheckFrameTimeoutMs);
    if (gotCheck != CheckFrameSize) {
        if (j.env_.NowMs() >= deadline)
            return late();
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
        // The main window selects the last recording brought home: all four parts of its name come
        // from that one recording, never from a later one that was not stored.
        counters.deviceIdText = s.location.deviceId;
        counters.monthFolderText = s.location.month;
        counters.dayText = s.location.day;
        counters.timeText = s.location.time;
    }
}

std::uint32_t DownloadJob::Impl::readBefore(std::int64_t deadline, std::uint8_t* buffer, std::uint32_t length,
                                            std::uint32_t timeoutMs)
{
    const std::int64_t left = deadline - job.env_.NowMs();
    if (left <= 0)
        return 0;
    return port.ReadBlock(buffer, length, static_cast<std::uint32_t>(std::min<std::int64_t>(left, timeoutMs)));
}

// After a recording was given up (refused header, bytes missing, wrong sum) the recorder may still be
// sending the rest of it. Left on the line, those bytes would be read as the next recording's
// header: read them away until the line is quiet. The recorder cannot send more than it holds, nor
// faster than its line: a line that is still not quiet after that is given up (the next request
// then fails, and counts as a failure).
void DownloadJob::Impl::discardRestOfStream()
{
    std::vector<std::uint8_t> scratch(SampleSliceBytes);
    std::uint64_t left = std::uint64_t{result.bytesStored} + RecordHeaderSize + AnnotationBlockSize + CheckFrameSize;
    const std::int64_t deadline =
        job.env_.NowMs() + LineQuietMs + 2 * LineMs(left, job.link_.state().baudRate) + RecordingSlackMs;
    while (left > 0 && !stopped()) {
        job.env_.Pump();
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(scratch.size(), left));
        const std::uint32_t got = readBefore(deadline, scratch.data(), want, LineQuietMs);
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
        if (endIfStopped())
            return;
        // After a failure the rest of the download runs at 230400 baud.
        if (retries > 0 && !switchedDown) {
            switchedDown = true;
            result.lowSpeedFallback = true;
            j.link_.SetRateCode(RateCodeNormal);
            j.link_.OpenLink();
            pause(RecorderFallBackMs);
            if (endIfStopped())
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
        if (!verified && !stopped())
            discardRestOfStream();
        // "Send it again" after a lost "send the next" brings the recording stored before: taken for
        // this one, it would count as home while this one never came, and the erase would lose it.
        nextUnheard = verified && subCode == RecordAgain && previous &&
                      previous->header == in.wireHeader && previous->sum == in.sum.value();
        if (nextUnheard) {
            row.outcome = RecordingOutcome::Incomplete;
            row.detail = QStringLiteral("the recorder sent the recording before this one again");
            ++retries;
        } else if (refused && headerAskedAgain) {
            // Impossible twice: the recorder holds it so. Nothing sensible can be read for it; the
            // next one may still be fine.
            row.outcome = RecordingOutcome::Refused;
            retries = 0;
            headerAskedAgain = false;
            ++index;
        } else if (refused) {
            // One damaged header is asked for again, as a bad sum is.
            row.outcome = RecordingOutcome::Incomplete;
            headerAskedAgain = true;
            ++retries;
        } else if (!verified) {
            row.outcome = RecordingOutcome::Incomplete;
            ++retries;
        } else {
            retries = 0;
            headerAskedAgain = false;
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

    // The last try of the negotiation was at 230400 baud, where a boot loader listens.
    if (!run.negotiate() && (run.stopped() || jobs_.infoBytes() != 0 || !jobs_.FindBootLoader(false))) {
        if (!run.endIfStopped()) {
            result.end = board_.recorderInBootLoader ? DownloadEnd::WaitsInBootLoader : DownloadEnd::NoAnswer;
            result.detail = board_.recorderInBootLoader
                                ? QStringLiteral("only the boot loader answers (its presence query)")
                                : QStringLiteral("no signed information block at 921600 or 230400 baud");
        }
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
    if (result.end == DownloadEnd::WaitsInBootLoader)
        board_.failure = JobFailure::WaitsInBootLoader;
    run.progress();
}

std::optional<EraseCondition> EraseConditionAfter(const DownloadResult& result)
{
    if (!result.allStored())
        return std::nullopt;
    return EraseCondition{result.deviceId, result.bytesStored};
}

}  // namespace device
