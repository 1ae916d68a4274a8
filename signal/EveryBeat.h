#pragma once
#include <cstdint>
#include <span>
#include <vector>

// The beat analysis over a recording of any length. One analysis keeps 200
// beats and is made for the recorder's 30 seconds, so a longer recording is
// analysed in overlapping windows: each window starts 10 seconds early (the
// detector's learning time, whose beats the window before already gave) and
// runs 2 seconds late (a beat is reported only after it happened), and gives
// the beats of its own 30 seconds. A recording of up to 32 seconds is one
// window, with exactly the beats and types of one analysis.
namespace ecg {

struct TypedBeat {
    int64_t sample = 0;  // R peak, sample index at the recording's rate
    uint8_t type = 0;    // kBeatNormal, kBeatAbnormal, kBeatPrematureNormalShape, kBeatUnclassified or kBeatNotAnalysed
};

// samples: channel 1 at sampleRate 128 or 256 (other rates give no beats);
// the other arguments as for AnalyseRecording. Beats in recording order.
std::vector<TypedBeat> AnalyseEveryBeat(std::span<const int16_t> samples, int sampleRate, int16_t digMin,
                                        int16_t digMax, int pauseThresholdSeconds);

// The annotation code a beat type is written with: normal 1, ventricular 5,
// atrial premature 8, anything not classified 13 (unclassifiable).
uint8_t MitCodeOfBeatType(uint8_t type);

}  // namespace ecg
