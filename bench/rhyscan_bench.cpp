// rhyscan's beat detection and classification, which the manager runs every
// time a recording is opened: a 30-second recording, and noise (a peak every
// few hundred milliseconds, each of its own shape) of some minutes.
#include "sim/ecg/EcgSynth.h"
#include "tools/rhyscan/BeatClassifier.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

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

// Minutes of noise at 256 per second.
void BM_ClassifyNoise(benchmark::State& state)
{
    std::vector<int16_t> samples(static_cast<size_t>(state.range(0) * 60 * 256));
    uint32_t seed = 12345;
    for (int16_t& v : samples) seed = seed * 1664525u + 1013904223u, v = static_cast<int16_t>(1548 + (seed >> 8) % 1000);
    for (auto _ : state) benchmark::DoNotOptimize(rhy::ClassifyBeats(samples, 256, 0, 4095, 2));
}
BENCHMARK(BM_ClassifyNoise)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
