#pragma once
#include <cstdint>
#include <span>
#include <vector>

// What the recorder itself concludes about a recording it has taken: it runs
// the same beat analysis as the manager, so a simulated recorder reports the
// manager's figures in its header bytes and measurement series.
namespace sim {

struct RecorderOwnAnalysis {
    uint8_t heartRate = 0;      // beats per minute (header byte 47)
    uint8_t noise = 0;          // header byte 30
    uint8_t pause = 0;          // header byte 50
    uint8_t rhythm = 0;         // header byte 52
    uint8_t waveform = 0;       // header byte 53
    uint8_t signalQuality = 0;  // header byte 54: bit 0 unstable, bit 4 weak
    uint8_t tachycardia = 0;    // header byte 56: heart rate above the tachycardia threshold
    uint8_t bradycardia = 0;    // header byte 57: heart rate below the bradycardia threshold
    // The eight measurement series of 100 values (RtoR, pve, nve, peak,
    // beatArea, beatTime, iso, and a last one left 0), 16-bit little-endian,
    // 1600 bytes; RtoR is -1 in slots without a beat.
    std::vector<uint8_t> seriesBytes;
};

// samples: channel 1 in recorder units at sampleRate (128 or 256).
RecorderOwnAnalysis AnalyseAsRecorder(std::span<const int16_t> samples, int sampleRate, int pauseThresholdSeconds = 2,
                                      int tachyThreshold = 100, int bradyThreshold = 60);

}  // namespace sim
