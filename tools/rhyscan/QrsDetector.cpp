#include "tools/rhyscan/QrsDetector.h"

#include <algorithm>
#include <cmath>

namespace rhy {

namespace {

constexpr int kRate = 256;
constexpr int kRefractory = kRate * 200 / 1000;   // no second QRS within 200 ms
constexpr int kSameBeat = kRate * 250 / 1000;    // two peaks this close are one beat (or a P wave and a beat)
constexpr int kTWaveSpan = kRate * 360 / 1000;    // a peak this soon may be a T wave
constexpr int kPeakSpan = kRate * 100 / 1000;     // energy peaks closer than this are one
constexpr int kLocate = kRate * 90 / 1000;        // R searched this far around the energy peak

// Centred moving average over 2*half+1 samples (shorter at the ends).
std::vector<float> MovingAverage(const std::vector<float>& x, int half)
{
    const int64_t n = static_cast<int64_t>(x.size());
    std::vector<double> sum(x.size() + 1, 0.0);
    for (size_t i = 0; i < x.size(); ++i) sum[i + 1] = sum[i] + x[i];
    std::vector<float> y(x.size());
    for (int64_t i = 0; i < n; ++i) {
        const int64_t lo = std::max<int64_t>(0, i - half), hi = std::min<int64_t>(n, i + half + 1);
        y[static_cast<size_t>(i)] =
            static_cast<float>((sum[static_cast<size_t>(hi)] - sum[static_cast<size_t>(lo)]) / static_cast<double>(hi - lo));
    }
    return y;
}

float Median(std::vector<float> v)
{
    if (v.empty()) return 0.0f;
    const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

struct Candidate {
    int64_t at = 0;       // energy peak
    float energy = 0.0f;  // integrated energy there
    float slope = 0.0f;   // steepest slope of the band-passed signal around it
};

}  // namespace

std::vector<float> At256(std::span<const int16_t> samples, int rate)
{
    std::vector<float> x;
    if (rate == kRate) return {samples.begin(), samples.end()};
    x.resize(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const float a = samples[i], b = i + 1 < samples.size() ? samples[i + 1] : samples[i];
        x[2 * i] = a;
        x[2 * i + 1] = 0.5f * (a + b);
    }
    return x;
}

std::vector<int64_t> DetectQrs(std::span<const int16_t> samples, int rate)
{
    if ((rate != 128 && rate != 256) || samples.size() < static_cast<size_t>(rate)) return {};
    const std::vector<float> x = At256(samples, rate);
    const int64_t n = static_cast<int64_t>(x.size());

    // Band-pass of roughly 5 to 25 Hz: a short average against a long one.
    const std::vector<float> smooth = MovingAverage(x, 3), slow = MovingAverage(x, 16);
    std::vector<float> band(x.size()), energy(x.size(), 0.0f);
    for (size_t i = 0; i < x.size(); ++i) band[i] = smooth[i] - slow[i];
    std::vector<float> slope(x.size(), 0.0f);
    for (int64_t i = 1; i + 1 < n; ++i) {
        const float d = band[static_cast<size_t>(i + 1)] - band[static_cast<size_t>(i - 1)];
        slope[static_cast<size_t>(i)] = d;
        // Slope to a power between 1 and 2: squared, a wide ventricular beat
        // of gentle slope falls under the threshold; plain, tall P waves pass it.
        energy[static_cast<size_t>(i)] = std::pow(std::fabs(d), 1.25f);
    }
    energy = MovingAverage(energy, kRate * 75 / 1000);

    // Energy peaks: the highest point within kPeakSpan on either side.
    std::vector<Candidate> peaks;
    for (int64_t i = 1; i + 1 < n; ++i) {
        const float e = energy[static_cast<size_t>(i)];
        if (e <= 0.0f || e < energy[static_cast<size_t>(i - 1)] || e < energy[static_cast<size_t>(i + 1)]) continue;
        bool highest = true;
        for (int64_t k = std::max<int64_t>(0, i - kPeakSpan); k <= std::min(n - 1, i + kPeakSpan) && highest; ++k)
            highest = energy[static_cast<size_t>(k)] < e || (energy[static_cast<size_t>(k)] == e && k >= i);
        if (!highest) continue;
        Candidate c{i, e, 0.0f};
        for (int64_t k = std::max<int64_t>(0, i - kLocate); k <= std::min(n - 1, i + kLocate); ++k)
            c.slope = std::max(c.slope, std::fabs(slope[static_cast<size_t>(k)]));
        peaks.push_back(c);
    }
    if (peaks.empty()) return {};

    // Start levels from the whole recording: the typical largest energy per
    // two seconds is a beat, a small part of it is noise.
    std::vector<float> blockMax;
    for (int64_t from = 0; from < n; from += 2 * kRate) {
        float m = 0.0f;
        for (int64_t i = from; i < std::min(n, from + 2 * kRate); ++i) m = std::max(m, energy[static_cast<size_t>(i)]);
        blockMax.push_back(m);
    }
    float signalLevel = Median(blockMax), noiseLevel = 0.1f * signalLevel;
    const auto threshold = [&] { return noiseLevel + 0.25f * (signalLevel - noiseLevel); };

    std::vector<size_t> beats;  // indices into peaks
    float rrAverage = 0.8f * kRate;
    std::vector<float> recentRr;
    const auto accept = [&](size_t p, float weight) {
        if (!beats.empty()) {
            recentRr.push_back(static_cast<float>(peaks[p].at - peaks[beats.back()].at));
            if (recentRr.size() > 8) recentRr.erase(recentRr.begin());
            float sum = 0.0f;
            for (float v : recentRr) sum += v;
            rrAverage = sum / static_cast<float>(recentRr.size());
        }
        beats.push_back(p);
        // An artefact many times a beat would lift the level above every beat
        // after it; its weight is capped.
        signalLevel = weight * std::min(peaks[p].energy, 3.0f * signalLevel) + (1.0f - weight) * signalLevel;
    };
    const auto replaceLast = [&](size_t p) {
        if (!recentRr.empty()) recentRr.pop_back();
        beats.pop_back();
        accept(p, 0.0f);
    };
    int64_t searched = 0;  // where the last search back found nothing
    for (size_t p = 0; p < peaks.size(); ++p) {
        const Candidate& c = peaks[p];
        // Search back: a beat is overdue, take the best peak in the gap that
        // passes half the threshold.
        if (!beats.empty() && c.at - std::max(peaks[beats.back()].at, searched) > static_cast<int64_t>(1.66f * rrAverage)) {
            const int64_t last = peaks[beats.back()].at;
            size_t best = peaks.size();
            for (size_t q = beats.back() + 1; q < p; ++q)
                if (peaks[q].at - last >= kTWaveSpan && c.at - peaks[q].at >= kRefractory &&
                    peaks[q].energy > 0.5f * threshold() && (best == peaks.size() || peaks[q].energy > peaks[best].energy))
                    best = q;
            if (best != peaks.size()) accept(best, 0.25f);
            else {
                // Nothing there: the levels have run away from the beats (after
                // a burst of large waves). Lower them, once per overdue beat.
                searched = c.at;
                signalLevel *= 0.7f;
                noiseLevel = std::min(noiseLevel, 0.5f * signalLevel);
            }
        }
        if (c.energy > threshold()) {
            if (beats.empty()) {
                accept(p, 0.125f);
                continue;
            }
            const Candidate& last = peaks[beats.back()];
            const int64_t gap = c.at - last.at;
            if (gap < kSameBeat) {
                // One heart cannot beat twice this soon: the stronger of the two is the QRS.
                if (c.energy > last.energy) replaceLast(p);
                continue;
            }
            if (gap < kTWaveSpan && c.slope < 0.5f * last.slope) {
                noiseLevel = 0.125f * c.energy + 0.875f * noiseLevel;  // a T wave
                continue;
            }
            if (gap < kTWaveSpan && last.slope < 0.5f * c.slope) {
                replaceLast(p);  // the last one was a tall P wave before this QRS
                continue;
            }
            accept(p, 0.125f);
            continue;
        }
        noiseLevel = 0.125f * c.energy + 0.875f * noiseLevel;
    }

    // Each beat on its R wave: the largest deflection from the local baseline
    // near the energy peak.
    const std::vector<float> baseline = MovingAverage(x, kRate * 3 / 10);
    std::vector<int64_t> out;
    out.reserve(beats.size());
    const int64_t scale = kRate / rate;
    for (size_t p : beats) {
        const int64_t at = peaks[p].at;
        int64_t best = at;
        float bestValue = -1.0f;
        for (int64_t k = std::max<int64_t>(0, at - kLocate); k <= std::min(n - 1, at + kLocate); ++k) {
            const float v = std::fabs(x[static_cast<size_t>(k)] - baseline[static_cast<size_t>(k)]);
            if (v > bestValue) bestValue = v, best = k;
        }
        const int64_t r = best / scale;
        if (out.empty() || r > out.back()) out.push_back(r);
    }
    return out;
}

}  // namespace rhy
