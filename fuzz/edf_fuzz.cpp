// Fuzzes the EDF reader and what the program derives from an analysis block:
// any byte string must either parse into a consistent record or be refused
// with a problem, never crash or read out of bounds.
#include "store/EdfRecord.h"
#include "store/EdfRecordDuration.h"
#include "store/FhrBlock.h"
#include "store/RecordingLibrary.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    EDF_RECORD record;
    const EdfProblem problem = ParseEdf(bytes, record);
    if (problem.ok()) {
        // A parsed record is consistent with what its header promised.
        if (record.Channels.size() != static_cast<size_t>(record.SignalCount)) std::abort();
        for (const EDF_CHANNEL& ch : record.Channels)
            if (ch.Samples.size() != static_cast<size_t>(ch.SampleCount)) std::abort();
        if (record.DataEnd > bytes.size()) std::abort();
        if (CheckRecordingRate(record).ok()) {
            // The export's records hold the channel at its exact rate and
            // leave out less than a second.
            const EDF_CHANNEL& ch = record.Channels[0];
            const EdfRecordLayout l = ChooseRecordLayout(ch.SampleCount, ch.SampleRate);
            const auto duration = ParseRecordDuration(l.duration);
            if (!duration || l.records < 1 || l.records * l.samplesPerRecord != l.samplesWritten ||
                l.samplesWritten > ch.SampleCount || ch.SampleCount - l.samplesWritten >= ch.SampleRate)
                std::abort();
            if (l.samplesWritten >= 4 && duration->rateOf(l.samplesPerRecord) != ch.SampleRate) std::abort();
        }
        (void)RecordDateText(record.StartDate, record.StartTime);
    } else {
        (void)problem.message();
    }
    const FHR_BLOCK block = FHR_BLOCK::fromBytes(bytes.right(FHR_BLOCK::Size));
    DataSetInfo info;
    FillDataSetInfo(block, info);
    return 0;
}
