// rhyscan's beat detection and classification of one 30-second recording,
// which the manager runs every time a recording is opened.
#include "sim/ecg/EcgSynth.h"
#include "tools/rhyscan/BeatClassifier.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ClassifyThirtySeconds(benchmark::State& state)
{
    sim::SynthOptions o;
    o.sampleRate = static_cast<int>(state.range(0));
    o.pattern = sim::EctopyPattern::VentricularTrigeminy;
    o.pacProbability = 0.1;
    const std::vector<int16_t> samples = sim::SynthesiseEcgSamples(o);
    for (auto _ : state) benchmark::DoNotOptimize(rhy::ClassifyBeats(samples, o.sampleRate, 0, 4095, 2));
}
BENCHMARK(BM_ClassifyThirtySeconds)->Arg(256)->Arg(128)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
