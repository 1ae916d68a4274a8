// Time of the manager's beat analysis for one 60-second recording at 256
// samples per second (what opening, printing and the batch comparison pay
// per recording).
#include "signal/BeatAnalysis.h"
#include "sim/ecg/EcgSynth.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

std::vector<int16_t> Recording(sim::EctopyPattern pattern)
{
    sim::SynthOptions o;
    o.sampleRate = 256;
    o.seconds = 60.0;
    o.pattern = pattern;
    o.noiseMv = 0.02;
    return sim::SynthesiseEcgSamples(o);
}

void AnalyseSixtySeconds(benchmark::State& state, sim::EctopyPattern pattern)
{
    const std::vector<int16_t> samples = Recording(pattern);
    auto st = std::make_unique<ecg::AnalysisState>();
    for (auto _ : state) {
        ecg::AnalyseRecording(*st, samples, 256, 0, 4095, 2);
        benchmark::DoNotOptimize(st->findings);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
    state.counters["beats"] = st->beatCount;
}

void BM_AnalyseRecording60sAt256_Sinus(benchmark::State& state) { AnalyseSixtySeconds(state, sim::EctopyPattern::None); }
void BM_AnalyseRecording60sAt256_Bigeminy(benchmark::State& state)
{
    AnalyseSixtySeconds(state, sim::EctopyPattern::VentricularBigeminy);
}

BENCHMARK(BM_AnalyseRecording60sAt256_Sinus)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalyseRecording60sAt256_Bigeminy)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
