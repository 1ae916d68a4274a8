// Chart: from a 60-s recording at 256/s on disk to the drawn chart — opened,
// analysed, its block written, filtered and drawn into images of the chart's
// size — and the redraw alone (a gain or colour change).
#include "display/ChartRenderer.h"
#include "signal/DisplayFilters.h"
#include "sim/ecg/EcgSynth.h"
#include "store/OpenRecording.h"
#include "store/RecordingAnalysis.h"
#include "tests/store/StoreFixtures.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QString Recording60s()
{
    static QTemporaryDir dir;
    static QString path;
    if (path.isEmpty()) {
        path = dir.filePath("060000.edf");
        sim::SynthOptions o;
        o.seconds = 60;
        o.sampleRate = 256;
        o.noiseMv = 0.02;
        o.mainsMv = 0.05;
        const std::vector<int16_t> samples = sim::SynthesiseEcgSamples(o);
        WriteDownloadedEdf(path, fixtures::recorderHeader(uint32_t(samples.size())), LittleEndianSamples(samples),
                           fixtures::series());
    }
    return path;
}

void BM_OpenAnalyseFilterDraw60s(benchmark::State& state)
{
    const QString path = Recording60s();
    const AnalyseHook analyse = RecordingAnalysisHook();
    for (auto _ : state) {
        OpenedRecording opened;
        const EdfProblem p = OpenRecording(path, analyse, true, opened);
        if (!p.ok() || !opened.writeProblem.ok()) state.SkipWithError(qPrintable(p.message()));
        ChartDisplayState display;
        ecg::DisplayFilterChain filters;
        const ChartSurfaces s = RedrawChart(PrepareChartRecording(opened.record), display, filters);
        benchmark::DoNotOptimize(s.chart.constBits());
    }
}
BENCHMARK(BM_OpenAnalyseFilterDraw60s)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_Redraw60s(benchmark::State& state)
{
    OpenedRecording opened;
    OpenRecording(Recording60s(), {}, true, opened);
    const ChartRecording recording = PrepareChartRecording(opened.record);
    ChartDisplayState display;
    ecg::DisplayFilterChain filters;
    for (auto _ : state) {
        const ChartSurfaces s = RedrawChart(recording, display, filters);
        benchmark::DoNotOptimize(s.chart.constBits());
    }
}
BENCHMARK(BM_Redraw60s)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
