#pragma once
#include "device/DownloadResult.h"
#include "device/StreamRing.h"
#include "device/protocol/DeviceInfoBlock.h"
#include "device/protocol/FirmwareImage.h"
#include "device/protocol/SettingsPacket.h"
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

// The board through which windows ask the device step for a job and read its
// result. Touched only on the user-interface thread: a requester writes
// JobPending and a job code, the step clears the code and writes an end state.

namespace device {

// Job codes (RequestedJob).
constexpr std::uint8_t NoJob = 0;
constexpr std::uint8_t ReadInfoJobCode = 32;
constexpr std::uint8_t WriteSettingsJobCode = 151;
constexpr std::uint8_t EraseJobCode = 17;
constexpr std::uint8_t DownloadJobCode = 25;
constexpr std::uint8_t FlashJobCode = 253;
constexpr std::uint8_t StreamStartJobCode = 21;
constexpr std::uint8_t StreamStopJobCode = 22;

// Job states (JobState).
constexpr std::uint8_t JobIdle = 0;
constexpr std::uint8_t JobPending = 56;  // the character '8'
constexpr std::uint8_t JobSucceeded = 1;
constexpr std::uint8_t JobFailed = 2;
constexpr std::uint8_t JobCancelled = 3;
constexpr std::uint8_t JobAborted = 4;
constexpr std::uint8_t JobRunning = 5;

// Why the last job ended as JobFailed, as far as the step can tell; the windows choose the words.
enum class JobFailure : std::uint8_t {
    None = 0,
    NotAttached,      // no recorder is attached
    NoPermission,     // a recorder is attached, but this user may not open its bridge
    NoAnswer,         // a missing, short or wrong answer
    RecorderChanged,  // the attached recorder is not the one the request was made for
    BadDeviceId,      // the settings' ID text is not 8 hexadecimal digits
    UnknownJob,       // a job code without a job
    Streaming,        // the live stream is running; only stopping it is possible now
    StreamNotStopped,  // the stop was sent twice, and the recorder's line did not fall quiet
    // The firmware job: which step stopped it.
    NoImage,             // no image on the board, or one whose length or checksum does not hold
    BootRefused,         // the boot loader did not answer after the boot-mode command (JobAborted)
    PageRefused,         // a page announcement or preparation was not accepted
    BlockRefused,        // a block was not accepted
    VerifyFailed,        // the verify went unanswered or said "bad"; the recorder stays in its boot loader
    NoAnswerAfterReset,  // verified and reset, but the recorder did not answer again
    StillInBootLoader,   // after the reset only the boot loader answers: the new program is not running
    // Any other job: the recorder left the information read unanswered, twice, but answered the
    // presence query between them. A failed upgrade left it in its boot loader, which serves only
    // the firmware job until a whole image is written and verified.
    WaitsInBootLoader,
};

// Progress the firmware job publishes for the upgrade dialog (facts; the dialog chooses the words).
// bytesDone counts accepted blocks, the last one only up to the image length, so it never passes
// bytesTotal (the image length).
struct FlashCounters {
    double bytesDone = 0;
    double bytesTotal = 0;
    bool writing = false;  // the page loop has begun
};

// Counters the download publishes for its dialog; reset by the dialog when it opens.
struct DownloadCounters {
    std::int32_t recordCount = 0;
    std::int32_t recordIndex = 0;
    double bytesDone = 0;
    double bytesTotal = 0;
    QString currentFile;
    QString deviceIdText;
    QString monthFolderText;  // "20" + year + month
    QString dayText;
    QString timeText;  // hhmmss of the last downloaded recording; the main window selects it afterwards
    // The download's outcome so far: one row per reported recording, filled as they arrive, and
    // the end with its reason once the job is over.
    DownloadResult result;
};

// How one request ended: its ticket, end state and failure.
struct JobEnd {
    std::uint32_t ticket = 0;
    std::uint8_t state = JobIdle;
    JobFailure failure = JobFailure::None;
};

struct DeviceJobBoard {
    std::uint8_t RequestedJob = NoJob;
    std::uint8_t JobState = JobIdle;
    // Set with every end state; None when the job succeeded.
    JobFailure failure = JobFailure::None;
    // Every request gets a ticket (PostJob); the step records the end of each
    // request under its ticket, so a requester reads the result of its own
    // request and never that of another job that ran meanwhile.
    std::uint32_t requestTicket = 0;  // of the request on the board
    std::uint32_t lastTicket = 0;
    std::uint8_t postedJob = NoJob;   // the code of the request on the board, as posted
    // The latest ends of requests: a requester that reads late still finds its own.
    std::array<JobEnd, 4> ends{};
    std::size_t nextEnd = 0;
    void RecordEnd(const JobEnd& end)
    {
        ends[nextEnd] = end;
        nextEnd = (nextEnd + 1) % ends.size();
    }
    // Pause of the worker between ticks, ms.
    std::int32_t tickIntervalMs = 300;
    // A device step is in progress. Handlers that run from inside it (its transfers pump messages)
    // cannot wait for a job: the job would only start once the step is over, which their wait prevents.
    bool stepRunning = false;
    bool cancelRequest = false;
    // A download cut off by Cancel leaves the recorder sending and then at its raised speed until it
    // falls back by itself: requests wait on the board until this time (ms on the step's clock).
    std::int64_t recorderBackAtMs = 0;
    // The attached recorder waits in its boot loader (see JobFailure::WaitsInBootLoader), as its
    // last information read found; cleared by any signed information block and when no recorder is
    // attached. Only the firmware job can serve it.
    bool recorderInBootLoader = false;
    // The last information block read, converted to host order.
    protocol::DEVICE_INFO_BLOCK infoBlock;
    // Values for the next WriteSettings, and the ID of the recorder they were filled from: the
    // settings job writes nothing into any other recorder (nor when this is not set).
    protocol::DeviceSettings settings;
    std::optional<std::uint32_t> settingsRecorderId;
    // The settings are the step's own DC-offset repair: the job fills them from
    // what the recorder reports at the moment of writing (and writes nothing
    // when the offset is sound by then), not from the arrival read long before.
    bool settingsAreOffsetRepair = false;
    DownloadCounters download;
    // The live stream: filled by the device step while the recorder streams, read by the display.
    StreamRing stream;
    // Root of the recording library the download writes into (the data folder).
    QString dataFolder;
    // Called by the download after each change of the counters or the rows (on the step's thread).
    std::function<void()> downloadProgress;
    // Set by the requester of an erase after a download: the erase reads the information block
    // again and erases only a recorder that is still this one holding these bytes. Cleared by the
    // erase job; eraseRefusal says why it did not erase.
    std::optional<EraseCondition> eraseOnlyIf;
    EraseRefusal eraseRefusal = EraseRefusal::None;
    // The image the firmware job writes: set by the requester before FlashJob; the job uses it once
    // and clears it, so a later request never flashes a stale image.
    std::optional<protocol::FirmwareImage> firmwareImage;
    FlashCounters flash;
    // Called by the firmware job after each change of `flash` (on the step's thread).
    std::function<void()> flashProgress;

    void ClearInfoBlock() { infoBlock = protocol::DEVICE_INFO_BLOCK{}; }
};

}  // namespace device
