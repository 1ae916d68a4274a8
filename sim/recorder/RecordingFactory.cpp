#include "sim/recorder/RecordingFactory.h"
#include "device/protocol/ByteOrder.h"
#include <algorithm>
#include <cmath>

namespace sim {

using namespace device::protocol;

namespace {

// 186 sample units are 1 mV.
constexpr double UnitsPerMv = 186.0;
constexpr std::int16_t DigitalMin = -2048;
constexpr std::int16_t DigitalMax = 2047;

class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state_(seed * 2654435761u + 1u) {}
    double Uniform()  // 0..1
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / static_cast<double>(1u << 24);
    }

private:
    std::uint32_t state_;
};

// RR intervals in ms covering the recording.
std::vector<double> RrIntervals(const RecordingPlan& plan, Lcg& rng)
{
    double bpm = plan.heartRateBpm;
    if (plan.rhythm == Rhythm::Bradycardia)
        bpm = std::min(bpm, 45.0);
    if (plan.rhythm == Rhythm::Tachycardia)
        bpm = std::max(bpm, 130.0);
    const double base = 60000.0 / bpm;
    std::vector<double> rr;
    double total = 0;
    int beat = 0;
    while (total < plan.seconds * 1000.0) {
        double interval = base * (1.0 + (rng.Uniform() - 0.5) * 0.04);
        if (plan.rhythm == Rhythm::Irregular)
            interval = base * (0.6 + rng.Uniform() * 0.8);
        if (plan.rhythm == Rhythm::Pause && beat == 10)
            interval = 3200;
        rr.push_back(interval);
        total += interval;
        ++beat;
    }
    return rr;
}

double Wave(double t, double centre, double width, double heightMv)
{
    const double x = (t - centre) / width;
    return heightMv * std::exp(-0.5 * x * x);
}

// One beat's shape around its R peak (t in seconds relative to R).
double BeatMv(double t)
{
    return Wave(t, -0.20, 0.025, 0.15) + Wave(t, -0.03, 0.010, -0.12) + Wave(t, 0.0, 0.012, 1.2) +
           Wave(t, 0.035, 0.012, -0.28) + Wave(t, 0.28, 0.050, 0.30);
}

std::uint8_t Byte(int v)
{
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

SimRecording MakeRecording(const RecordingPlan& plan, const DEVICE_INFO_BLOCK& recorder)
{
    Lcg rng(plan.seed);
    const std::vector<double> rr = RrIntervals(plan, rng);
    std::vector<double> rPeaksS;
    double t = 0.4;
    for (double interval : rr) {
        rPeaksS.push_back(t);
        t += interval / 1000.0;
    }

    SimRecording r;
    const int n = plan.seconds * plan.sampleRate;
    r.samples.resize(static_cast<std::size_t>(n));
    std::size_t next = 0;
    for (int i = 0; i < n; ++i) {
        const double ts = static_cast<double>(i) / plan.sampleRate;
        while (next + 1 < rPeaksS.size() && rPeaksS[next + 1] < ts)
            ++next;
        double mv = BeatMv(ts - rPeaksS[next]);
        if (next + 1 < rPeaksS.size())
            mv += BeatMv(ts - rPeaksS[next + 1]);
        mv += 0.05 * std::sin(2 * M_PI * 0.3 * ts) + (rng.Uniform() - 0.5) * 0.02;
        const long v = std::lround(mv * UnitsPerMv);
        r.samples[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::clamp<long>(v, DigitalMin, DigitalMax));
    }

    // The recorder's own findings over the beats inside the recording.
    std::vector<double> usedRr;
    for (std::size_t i = 1; i < rPeaksS.size() && rPeaksS[i] < plan.seconds; ++i)
        usedRr.push_back((rPeaksS[i] - rPeaksS[i - 1]) * 1000.0);
    double mean = 0;
    for (double v : usedRr)
        mean += v;
    mean = usedRr.empty() ? 1000.0 : mean / static_cast<double>(usedRr.size());
    double spread = 0;
    for (double v : usedRr)
        spread += (v - mean) * (v - mean);
    spread = usedRr.empty() ? 0 : std::sqrt(spread / static_cast<double>(usedRr.size())) / mean;
    const int heartRate = static_cast<int>(60000.0 / mean);
    const bool pause = std::any_of(usedRr.begin(), usedRr.end(), [&](double v) { return v > recorder.pause * 1000.0; });

    RecordHeaderFields f;
    f.deviceNumber = recorder.deviceId;
    f.bcdYear = ToBcd(plan.year % 100);
    f.bcdMonth = ToBcd(plan.month);
    f.bcdDay = ToBcd(plan.day);
    f.bcdHour = ToBcd(plan.hour);
    f.bcdMinute = ToBcd(plan.minute);
    f.bcdSecond = ToBcd(plan.second);
    f.sampleRate = static_cast<std::uint16_t>(plan.sampleRate);
    f.digMin = DigitalMin;
    f.digMax = DigitalMax;
    f.physMin = static_cast<std::int16_t>(std::lround(DigitalMin * 1000.0 / UnitsPerMv));
    f.physMax = static_cast<std::int16_t>(std::lround(DigitalMax * 1000.0 / UnitsPerMv));
    f.sampleBytes = static_cast<std::uint32_t>(n * 2);
    WriteWireHeader(r.wireHeader, f);
    auto& h = r.wireHeader;
    h[rec::NoiseFinding] = 0;
    h[rec::Setting44] = 1;
    h[rec::Setting45] = 1;
    h[rec::Setting46] = 1;
    h[rec::HeartRate] = Byte(heartRate);
    h[rec::Tachycardia] = recorder.tachycardia;
    h[rec::Bradycardia] = recorder.bradycardia;
    h[rec::PauseFinding] = pause ? 1 : 0;
    h[rec::PauseThreshold] = recorder.pause;
    h[rec::RhythmFinding] = spread > 0.15 ? 1 : 0;
    h[rec::WaveformFinding] = 0;
    h[rec::SignalQuality] = 0;
    h[rec::Setting55] = 1;
    h[rec::TachyFinding] = heartRate > recorder.tachycardia ? 1 : 0;
    h[rec::BradyFinding] = heartRate < recorder.bradycardia ? 1 : 0;

    // Beat series: R-to-R (ms), positive peak, negative peak, peak, area, beat time (at 128/s), iso.
    std::array<std::vector<std::uint16_t>, RecorderSeries> series;
    for (std::size_t i = 0; i < rPeaksS.size() && rPeaksS[i] < plan.seconds && i < SeriesLength; ++i) {
        const auto rrMs = i == 0 ? 0 : static_cast<std::uint16_t>(std::lround((rPeaksS[i] - rPeaksS[i - 1]) * 1000.0));
        const auto peak = static_cast<std::uint16_t>(std::lround(1.2 * UnitsPerMv));
        const auto trough = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(-0.28 * UnitsPerMv)));
        series[0].push_back(rrMs);
        series[1].push_back(peak);
        series[2].push_back(trough);
        series[3].push_back(peak);
        series[4].push_back(static_cast<std::uint16_t>(std::lround(1.2 * UnitsPerMv * 0.03 * 128)));
        series[5].push_back(static_cast<std::uint16_t>(std::lround(rPeaksS[i] * 128)));
        series[6].push_back(0);
    }
    r.annotation = BuildAnnotationBlock(series);
    return r;
}

std::vector<SimRecording> DemoRecordings(const DEVICE_INFO_BLOCK& recorder, int count)
{
    static const Rhythm rhythms[] = {Rhythm::Normal, Rhythm::Bradycardia, Rhythm::Tachycardia, Rhythm::Pause,
                                     Rhythm::Irregular};
    std::vector<SimRecording> out;
    for (int i = 0; i < count; ++i) {
        RecordingPlan plan;
        plan.rhythm = rhythms[i % 5];
        plan.day = 21 + (i / 5) % 7;
        plan.hour = 9 + i % 12;
        plan.minute = (7 * i) % 60;
        plan.second = (13 * i) % 60;
        plan.heartRateBpm = 68 + (i % 3) * 4;
        plan.seed = static_cast<std::uint32_t>(i + 1);
        out.push_back(MakeRecording(plan, recorder));
    }
    return out;
}

}  // namespace sim
