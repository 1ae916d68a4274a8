#pragma once
#include "sim/recorder/SimulatedRecorder.h"
#include <cstdint>
#include <vector>

// Recordings for the simulated recorder: a synthesised ECG of a chosen rhythm
// with the recorder's own findings and beat series filled in by the same beat
// analysis the recorder runs, as the real recorder stores them.

namespace sim {

enum class Rhythm { Normal, Bradycardia, Tachycardia, Pause, Irregular, PrematureBeats, Noisy, Weak };

struct RecordingPlan {
    int year = 2013, month = 5, day = 21, hour = 10, minute = 15, second = 30;
    int seconds = 30;
    int sampleRate = 256;
    double heartRateBpm = 72;
    Rhythm rhythm = Rhythm::Normal;
    std::uint32_t seed = 1;
};

// One recording made with the recorder's current thresholds and ID.
SimRecording MakeRecording(const RecordingPlan& plan, const device::protocol::DEVICE_INFO_BLOCK& recorder);

// A varied set cycling through every rhythm above, a few minutes apart.
std::vector<SimRecording> DemoRecordings(const device::protocol::DEVICE_INFO_BLOCK& recorder, int count = 5);

}  // namespace sim
