#pragma once
#include <QString>
#include <cstdint>
#include <vector>

// What a download brought home, recording by recording, and why it ended as it
// did. Facts only: the dialog and the command line choose the words.

namespace device {

// More recordings than this in one recorder is a broken information block, not a download.
constexpr std::uint32_t MaxDownloadRecordings = 65535;

// How one recording of a download ended.
enum class RecordingOutcome : std::uint8_t {
    Waiting,        // not reached (the download ended before it)
    Stored,         // verified and written completely under its name
    AlreadyStored,  // verified; a file with exactly this content was there already
    Incomplete,     // bytes missing or the check sum wrong, also when asked again; nothing written
    Refused,        // its header is impossible (odd, zero or oversized sample byte count, rate 0)
    NameTaken,      // verified, but a different file already has its name and was left alone
    WriteFailed,    // verified, but its folder or file could not be written
};

// Stored and AlreadyStored: the recording is safely on the computer.
inline bool IsSafelyStored(RecordingOutcome o)
{
    return o == RecordingOutcome::Stored || o == RecordingOutcome::AlreadyStored;
}

// One row of the record list.
struct DownloadRow {
    RecordingOutcome outcome = RecordingOutcome::Waiting;
    QString path;          // full path of its file ("" until its header arrived)
    QString relativePath;  // the path below the data folder, "/"-separated
    QString timeText;      // hhmmss
    std::uint32_t sampleBytes = 0;
    QString detail;        // what went wrong, in the device layer's own terms ("" when stored)
};

// Why the download ended.
enum class DownloadEnd : std::uint8_t {
    NotRun,             // no download has run
    Completed,          // every reported recording was reached (each row says whether it was stored)
    Cancelled,          // the user cancelled
    RetriesExhausted,   // the same recording failed three times in a row (stall, unplugging, bad sums)
    NoAnswer,           // no signed information block at either speed
    WaitsInBootLoader,  // no information block, but the boot loader answered its presence query
    TooManyRecordings,  // the information block reports an absurd number of recordings
    Unplugged,          // the recorder went away during the download
};

struct DownloadResult {
    DownloadEnd end = DownloadEnd::NotRun;
    std::uint32_t deviceId = 0;      // of the recorder downloaded from
    std::uint32_t bytesStored = 0;   // the recorder's stored bytes when the download began
    std::uint32_t bytesPerRecording = 0;
    std::uint32_t reported = 0;      // recordings the recorder reported (full count, not cut to 8 bits)
    bool lowSpeedFallback = false;   // the link stayed at or went back to 230400 baud
    std::vector<DownloadRow> rows;   // one per reported recording
    QString detail;                  // a fact for NoAnswer / TooManyRecordings ("" otherwise)

    int storedCount() const
    {
        int n = 0;
        for (const DownloadRow& r : rows)
            n += IsSafelyStored(r.outcome) ? 1 : 0;
        return n;
    }
    // The stored bytes are exactly the reported recordings (no partial recording left over).
    bool bytesWhole() const
    {
        return bytesPerRecording != 0 && std::uint64_t{reported} * bytesPerRecording == bytesStored;
    }
    // Every recording the recorder holds is safely on the computer: the only case in which the
    // recorder may be erased.
    bool allStored() const
    {
        return end == DownloadEnd::Completed && bytesWhole() && rows.size() == reported &&
               storedCount() == static_cast<int>(reported);
    }
};

// Why the erase after a download did not erase.
enum class EraseRefusal : std::uint8_t {
    None,           // erased (or not asked to check)
    NoAnswer,       // the information block could not be read again before erasing
    OtherRecorder,  // the attached recorder has another ID than the one downloaded from
    ContentChanged, // it holds other bytes than the ones downloaded
    EraseFailed,    // the erase command was not acknowledged
    NoCondition,    // the request carried no condition from a complete download: nothing is erased
};

// What the recorder must still be for the erase after a download to go ahead.
struct EraseCondition {
    std::uint32_t deviceId = 0;
    std::uint32_t bytesStored = 0;
};

}  // namespace device
