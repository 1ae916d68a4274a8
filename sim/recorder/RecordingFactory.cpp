#include "sim/recorder/RecordingFactory.h"
#include "signal/BeatAnalysis.h"
#include "sim/ecg/EcgSynth.h"
#include <algorithm>
#include <cmath>

namespace sim {

using namespace device::protocol;

namespace {

// The recorder's converter: 12 bits around 2048, 186 units per mV.
constexpr std::int16_t DigitalMin = 0;
constexpr std::int16_t DigitalMax = kMaxUnits;

SynthOptions OptionsFor(const RecordingPlan& plan)
{
    SynthOptions o;
    o.sampleRate = plan.sampleRate;
    o.seconds = plan.seconds;
    o.heartRate = plan.heartRateBpm;
    o.seed = plan.seed;
    o.noiseMv = 0.01;
    o.wanderMv = 0.05;
    switch (plan.rhythm) {
    case Rhythm::Normal: break;
    case Rhythm::Bradycardia: o.heartRate = std::min(plan.heartRateBpm, 44.0); break;
    case Rhythm::Tachycardia: o.heartRate = std::max(plan.heartRateBpm, 132.0); break;
    case Rhythm::Pause:
        o.pausesAt = {plan.seconds * 0.4};
        o.pauseSeconds = 3.2;
        break;
    case Rhythm::Irregular: o.irregular = true; break;
    case Rhythm::PrematureBeats: o.pattern = EctopyPattern::VentricularTrigeminy; break;
    case Rhythm::Noisy:
        o.noiseMv = 0.25;
        o.mainsMv = 0.2;
        break;
    case Rhythm::Weak: o.amplitude = 0.12; break;
    }
    return o;
}

std::uint8_t Low8(int v)
{
    return static_cast<std::uint8_t>(v & 0xFF);
}

}  // namespace

SimRecording MakeRecording(const RecordingPlan& plan, const DEVICE_INFO_BLOCK& recorder)
{
    SimRecording r;
    r.samples = SynthesiseEcgSamples(OptionsFor(plan));

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
    f.physMin = static_cast<std::int16_t>(std::lround((DigitalMin - kBaselineUnits) * 1000.0 / kUnitsPerMv));
    f.physMax = static_cast<std::int16_t>(std::lround((DigitalMax - kBaselineUnits) * 1000.0 / kUnitsPerMv));
    f.sampleBytes = static_cast<std::uint32_t>(r.samples.size() * 2);
    WriteWireHeader(r.wireHeader, f);

    // The recorder analyses its own recording with its current pause threshold.
    const ecg::AnalysisResult a =
        ecg::AnalyseRecording(r.samples, plan.sampleRate, DigitalMin, DigitalMax, recorder.pause);
    const ecg::AnalysisFindings& k = a.findings;
    auto& h = r.wireHeader;
    h[rec::NoiseFinding] = k.noise ? 1 : 0;
    h[rec::Setting44] = 1;
    h[rec::Setting45] = 1;
    h[rec::Setting46] = 1;
    h[rec::HeartRate] = Low8(k.heartRate);
    h[rec::Tachycardia] = recorder.tachycardia;
    h[rec::Bradycardia] = recorder.bradycardia;
    h[rec::PauseFinding] = k.pause ? 1 : 0;
    h[rec::PauseThreshold] = recorder.pause;
    h[rec::RhythmFinding] = k.rhythm ? 1 : 0;
    h[rec::WaveformFinding] = k.waveform ? 1 : 0;
    h[rec::SignalQuality] = static_cast<std::uint8_t>((k.unstable ? 0x01 : 0) | (k.weak ? 0x10 : 0));
    h[rec::Setting55] = 1;
    h[rec::TachyFinding] = k.heartRate > recorder.tachycardia ? 1 : 0;
    h[rec::BradyFinding] = k.heartRate > 0 && k.heartRate < recorder.bradycardia ? 1 : 0;

    // The first 100 beats of the seven series; entries past the last beat stay empty.
    std::array<std::vector<std::uint16_t>, RecorderSeries> series;
    const int beats = std::min<int>(a.beatCount, static_cast<int>(SeriesLength));
    for (int i = 0; i < beats; ++i) {
        const auto at = static_cast<std::size_t>(i);
        series[0].push_back(static_cast<std::uint16_t>(a.series.RtoR[at]));
        series[1].push_back(static_cast<std::uint16_t>(a.series.pve[at]));
        series[2].push_back(static_cast<std::uint16_t>(a.series.nve[at]));
        series[3].push_back(static_cast<std::uint16_t>(a.series.peak[at]));
        series[4].push_back(static_cast<std::uint16_t>(a.series.beatArea[at]));
        series[5].push_back(static_cast<std::uint16_t>(a.series.beatTime[at] & 0xFFFF));
        series[6].push_back(static_cast<std::uint16_t>(a.series.iso[at]));
    }
    r.annotation = BuildAnnotationBlock(series);
    return r;
}

std::vector<SimRecording> DemoRecordings(const DEVICE_INFO_BLOCK& recorder, int count)
{
    static const Rhythm rhythms[] = {Rhythm::Normal,    Rhythm::Bradycardia,    Rhythm::Tachycardia,
                                     Rhythm::Pause,     Rhythm::PrematureBeats, Rhythm::Irregular,
                                     Rhythm::Noisy,     Rhythm::Weak};
    constexpr int kinds = static_cast<int>(sizeof rhythms / sizeof rhythms[0]);
    std::vector<SimRecording> out;
    for (int i = 0; i < count; ++i) {
        RecordingPlan plan;
        plan.rhythm = rhythms[i % kinds];
        plan.day = 21 + (i / kinds) % 7;
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
