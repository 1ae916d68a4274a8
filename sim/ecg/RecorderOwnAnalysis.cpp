#include "sim/ecg/RecorderOwnAnalysis.h"

#include "signal/BeatAnalysis.h"
#include "sim/ecg/EcgSynth.h"

#include <memory>

namespace sim {

RecorderOwnAnalysis AnalyseAsRecorder(std::span<const int16_t> samples, int sampleRate, int pauseThresholdSeconds,
                                      int tachyThreshold, int bradyThreshold)
{
    const auto r = std::make_unique<ecg::AnalysisResult>(
        ecg::AnalyseRecording(samples, sampleRate, 0, kMaxUnits, pauseThresholdSeconds));
    const ecg::AnalysisFindings& f = r->findings;
    RecorderOwnAnalysis out;
    out.heartRate = static_cast<uint8_t>(f.heartRate);
    out.noise = f.noise;
    out.pause = f.pause;
    out.rhythm = f.rhythm;
    out.waveform = f.waveform;
    out.signalQuality = static_cast<uint8_t>((f.unstable ? 0x01 : 0) | (f.weak ? 0x10 : 0));
    out.tachycardia = !f.noise && f.heartRate > tachyThreshold;
    out.bradycardia = !f.noise && f.heartRate > 0 && f.heartRate < bradyThreshold;

    out.seriesBytes.assign(1600, 0);
    auto put = [&](int series, int slot, int16_t v) {
        const size_t at = static_cast<size_t>(2 * (series * 100 + slot));
        out.seriesBytes[at] = static_cast<uint8_t>(v & 0xFF);
        out.seriesBytes[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    };
    const ecg::BeatSeries& s = r->series;
    for (int i = 0; i < 100; ++i) {
        const size_t k = static_cast<size_t>(i);
        if (i >= r->beatCount) {
            put(0, i, -1);
            continue;
        }
        put(0, i, s.RtoR[k]);
        put(1, i, s.pve[k]);
        put(2, i, s.nve[k]);
        put(3, i, s.peak[k]);
        put(4, i, s.beatArea[k]);
        put(5, i, static_cast<int16_t>(s.beatTime[k]));
        put(6, i, s.iso[k]);
    }
    return out;
}

}  // namespace sim
