#include "signal/BatchComparison.h"

namespace ecg {

void CompareWithRecorder(const RecorderAnalysis& recorder, const AnalysisResult& manager, BatchTally& tally)
{
    const AnalysisFindings& f = manager.findings;
    tally.noise += (recorder.noise != 0) != f.noise;
    tally.rhythm += (recorder.rhythm != 0) != f.rhythm;
    tally.waveform += (recorder.waveform != 0) != f.waveform;
    tally.pause += (recorder.pause != 0) != f.pause;
    tally.problem += ((recorder.signalQuality & 0x01) != 0) != f.unstable;
    tally.weak += ((recorder.signalQuality & 0x10) != 0) != f.weak;

    const BeatSeries& s = manager.series;
    for (size_t i = 0; i < 100; ++i) {
        if (recorder.series[0][i] == -1) continue;
        tally.rtor += recorder.series[0][i] != s.RtoR[i];
        tally.pve += recorder.series[1][i] != s.pve[i];
        tally.nve += recorder.series[2][i] != s.nve[i];
        tally.peak += recorder.series[3][i] != s.peak[i];
        tally.beatArea += recorder.series[4][i] != s.beatArea[i];
        tally.beatTime += recorder.series[5][i] != s.beatTime[i];
        tally.iso += recorder.series[6][i] != s.iso[i];
    }
    ++tally.count;
}

std::vector<std::pair<std::string, int>> BatchLabels(const BatchTally& t)
{
    return {{"Noise:", t.noise},     {"Rhythm:", t.rhythm}, {"Waveform:", t.waveform},
            {"Pause:", t.pause},     {"Problem:", t.problem}, {"Weak:", t.weak},
            {"RtoR:", t.rtor},       {"pve:", t.pve},       {"nve:", t.nve},
            {"peak:", t.peak},       {"beatArea:", t.beatArea}, {"beatTime:", t.beatTime},
            {"iso:", t.iso},         {"count:", t.count}};
}

}  // namespace ecg
