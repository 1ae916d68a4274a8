// The download's use of the serial line: 20 recordings of 60 s at 256 samples
// per second from the simulated recorder, which paces its bytes at the line
// rate of 921600 baud 8N1 (92160 bytes a second) on a simulated clock (real
// time would make each iteration last eight seconds). The figures are the
// recording bytes per simulated second divided by 92160:
//   line_use_job      over the whole job, wake-up and speed switch included;
//   line_use_transfer from the first recording's request to the end command.
// The host side (link, job, checks, file writing) runs for real; its cost is
// the benchmark's wall time.
#include "device/DeviceStep.h"
#include "device/DownloadJob.h"
#include "device/JobRequest.h"
#include "device/transport/AbsentBridges.h"
#include "sim/recorder/DownloadScenarios.h"
#include "sim/recorder/SimulatedXpress.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr double LineBytesPerSecond = 92160.0;

class SimClock : public device::DeviceEnvironment {
public:
    std::int64_t now = 0;
    std::int64_t firstRequestAt = -1;
    std::int64_t NowMs() override { return now; }
    device::LocalDateTime LocalNow() override { return {}; }
    void SleepMs(std::uint32_t ms) override { now += ms; }
    void Pump() override {}
    void Post(std::function<void()> action) override { action(); }
};

void BM_Download20x60sAt921600(benchmark::State& state)
{
    double jobUse = 0, transferUse = 0;
    std::int64_t payload = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        SimClock clock;
        sim::SimulatedRecorder recorder([&clock] { return clock.now; });
        sim::SimulatedXpress xpress(recorder, [&clock](std::uint32_t ms) { clock.now += ms; });
        device::transport::AbsentHidUart hid;
        device::Link link(hid, xpress);
        device::DeviceJobBoard board;
        device::DeviceStep step(link, board, clock);
        recorder.info().factorA = 256 * 2;  // 60-second recordings fill A x B x 2 bytes each
        sim::FillPlainRecordings(recorder, 20, 60);
        payload = 0;
        for (const auto& r : recorder.recordings())
            payload += static_cast<std::int64_t>(256 + r.samples.size() * 2 + 2816 + 64);
        board.dataFolder = dir.path();
        link.ResetForStartup();
        link.state().arrivalStage = 0;
        device::PostJob(board, device::ReadInfoJobCode);
        step.Run();
        std::int64_t transferStart = -1;
        board.downloadProgress = [&] {
            if (transferStart < 0 && board.download.result.rows.size() == 20)
                transferStart = clock.now;
        };
        state.ResumeTiming();

        const std::int64_t jobStart = clock.now;
        device::PostJob(board, device::DownloadJobCode);
        step.Run();
        const std::int64_t jobEnd = clock.now;

        state.PauseTiming();
        if (!board.download.result.allStored() || board.download.result.lowSpeedFallback)
            state.SkipWithError("the download did not store every recording at full speed");
        jobUse = payload / ((jobEnd - jobStart) / 1000.0) / LineBytesPerSecond;
        transferUse = payload / ((jobEnd - transferStart) / 1000.0) / LineBytesPerSecond;
        state.ResumeTiming();
    }
    state.counters["payload_bytes"] = static_cast<double>(payload);
    state.counters["line_use_job"] = jobUse;
    state.counters["line_use_transfer"] = transferUse;
}
BENCHMARK(BM_Download20x60sAt921600)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
