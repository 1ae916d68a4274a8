#include "signal/EveryBeat.h"

#include "signal/BeatAnalysis.h"

#include <algorithm>
#include <memory>

namespace ecg {

namespace {
constexpr int64_t kCoreSeconds = 30;
constexpr int64_t kLeadSeconds = 10;
constexpr int64_t kTailSeconds = 2;
}  // namespace

std::vector<TypedBeat> AnalyseEveryBeat(std::span<const int16_t> samples, int sampleRate, int16_t digMin,
                                        int16_t digMax, int pauseThresholdSeconds)
{
    std::vector<TypedBeat> beats;
    if (sampleRate != 128 && sampleRate != 256) return beats;
    const int64_t total = static_cast<int64_t>(samples.size());
    const int64_t core = kCoreSeconds * sampleRate, lead = kLeadSeconds * sampleRate, tail = kTailSeconds * sampleRate;
    const int64_t perAnalysed = sampleRate / kAnalysisRate;  // recording samples per analysed sample
    auto state = std::make_unique<AnalysisState>();  // large: not on the stack
    for (int64_t from = 0; from < total; from += core) {
        const int64_t start = std::max<int64_t>(0, from - lead);  // even: keeps the 256/s sample pairs
        const int64_t end = std::min(total, from + core + tail);
        AnalyseRecording(*state, samples.subspan(static_cast<size_t>(start), static_cast<size_t>(end - start)),
                         sampleRate, digMin, digMax, pauseThresholdSeconds);
        // The series hold the last 200 beats in slots by beat number.
        const int32_t first = std::max<int32_t>(0, state->beatCount - kSeriesSize);
        for (int32_t b = first; b < state->beatCount; ++b) {
            const size_t slot = static_cast<size_t>(b % kSeriesSize);
            const int64_t at = start + int64_t{state->series.beatTime[slot]} * perAnalysed;
            if (at < from || at >= from + core || at >= total) continue;
            // A beat on a window border may be placed a sample apart by the two
            // windows; no heart beats twice within a tenth of a second.
            if (!beats.empty() && at - beats.back().sample < sampleRate / 10) continue;
            beats.push_back({at, state->series.beatType[slot]});
        }
    }
    return beats;
}

uint8_t MitCodeOfBeatType(uint8_t type)
{
    switch (type) {
    case kBeatNormal:
        return 1;
    case kBeatAbnormal:
        return 5;
    case kBeatPrematureNormalShape:
        return 8;
    default:
        return 13;
    }
}

}  // namespace ecg
