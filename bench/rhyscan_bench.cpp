// rhyscan's beat detection and classification, which the manager runs every
// time a recording is opened: a 30-second recording, and noise (a peak every
// few hundred milliseconds, each of its own shape) of some minutes; and the
// rhyscan program's peak memory on the longest recording a download accepts.
#include "sim/ecg/EcgSynth.h"
#include "store/DeviceRecordHeader.h"
#include "store/EdfWriter.h"
#include "tools/rhyscan/BeatClassifier.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

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

// The longest recording a download accepts: 64 MiB of samples (about 36 h at
// 256/s, 72 h at 128/s), a synthesised hour repeated with a little ectopy,
// pauses and an electrode coming off now and then.
std::vector<int16_t> LongestRecording(int rate)
{
    sim::SynthOptions o;
    o.sampleRate = rate;
    o.seconds = 3600.0;
    o.pvcProbability = 0.02;
    o.pacProbability = 0.02;
    o.noiseMv = 0.02;
    o.wanderMv = 0.1;
    o.pausesAt = {1200.0, 2400.0};
    o.pauseSeconds = 3.5;
    o.saturated = {{600.0, 612.0}, {2000.0, 2001.5}, {3100.0, 3160.0}};
    const std::vector<int16_t> hour = sim::SynthesiseEcgSamples(o);
    std::vector<int16_t> samples(size_t{64} * 1024 * 1024 / 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = hour[i % hour.size()];
    return samples;
}

bool WriteRecording(const QString& path, const std::vector<int16_t>& samples, int rate)
{
    using H = DEVICE_RECORD_HEADER;
    H h;
    h.setU32(H::DeviceNumber, 0xA1F3);
    h.setU8(H::YearBcd, 0x26);
    h.setU8(H::MonthBcd, 0x01);
    h.setU8(H::DayBcd, 0x05);
    h.setU16(H::SampleRate, static_cast<uint16_t>(rate));
    h.setU16(H::PhysMin, static_cast<uint16_t>(-11000));
    h.setU16(H::PhysMax, 11000);
    h.setU16(H::DigMin, 0);
    h.setU16(H::DigMax, 4095);
    h.setU32(H::DataByteCount, static_cast<uint32_t>(samples.size() * 2));
    h.setU8(H::PauseThreshold, 3);
    return WriteDownloadedEdf(path, h, LittleEndianSamples(samples), QByteArray(1600, '\0')).ok();
}

// The rhyscan program on the longest recording at 256/s and 128/s: the time
// and, as the counter peak_rss_MB, the program's peak resident memory (the
// kernel's figure for that one child process). TALMON_BENCH_RECORDINGS=<folder>
// keeps the recordings there (long-256.edf, long-128.edf) between runs.
void BM_RhyscanLongestRecording(benchmark::State& state)
{
    const int rate = static_cast<int>(state.range(0));
    QTemporaryDir temporary;
    const char* kept = std::getenv("TALMON_BENCH_RECORDINGS");
    const QDir dir(kept && *kept ? QString::fromLocal8Bit(kept) : temporary.path());
    const QString path = dir.filePath(QStringLiteral("long-%1.edf").arg(rate));
    if (!dir.exists() || (!QFileInfo::exists(path) && !WriteRecording(path, LongestRecording(rate), rate))) {
        state.SkipWithError("cannot write the recording");
        return;
    }
    const std::string program = TALMON_RHYSCAN_PROGRAM, file = path.toStdString();
    double peakMb = 0;
    for (auto _ : state) {
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(file.c_str()), nullptr};
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        int status = 0;
        rusage usage{};
        const bool ran = posix_spawn(&pid, argv[0], &quiet, nullptr, argv, environ) == 0 &&
                         wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        posix_spawn_file_actions_destroy(&quiet);
        if (!ran) {
            state.SkipWithError("rhyscan failed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        peakMb = std::max(peakMb, static_cast<double>(usage.ru_maxrss) / 1024.0);  // ru_maxrss is in KiB
    }
    state.counters["peak_rss_MB"] = peakMb;
}
BENCHMARK(BM_RhyscanLongestRecording)->Arg(256)->Arg(128)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
