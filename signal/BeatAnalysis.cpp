#include "signal/BeatAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace ecg {
namespace {

struct FilterCoefficients {
    int order;
    double b[4];
    double a[4];  // a[0] unused
};

constexpr FilterCoefficients kFilters[3] = {
    // F0: high-pass removing the baseline.
    {1, {0.952079146700925, -0.952079146700925, 0, 0}, {0, -0.976039573350463, 0, 0}},
    // F1: low-pass, flat to 20 Hz.
    {3,
     {0.103690209084985, 0.23791921371495, 0.23791921371495, 0.103690209084985},
     {0, -0.830642584280825, 0.665132884375698, -0.151271454495004}},
    // F2: movement detector, passes below 1 Hz.
    {2, {0.098072450455525, -0.193730323438736, 0.098072450455525, 0}, {0, -1.94802152150729, 0.950730721990568, 0}},
};

int16_t AtPosition(const std::array<int16_t, kRingSize>& ring, int a, int j)
{
    int i = (a - j) % kRingSize;
    if (i < 0) i += kRingSize;
    return ring[static_cast<size_t>(i)];
}

int Sign(int v) { return (v > 0) - (v < 0); }

// Iso point: the first flat stretch just before the QRS onset.
int FindIsoPosition(const std::array<int16_t, kRingSize>& ring, int a, int s)
{
    auto flatWindowAt = [&](int n, int t) {
        for (int j = s; j <= s + 14; ++j) {
            int hi = AtPosition(ring, a, j), lo = hi;
            for (int k = 1; k < n; ++k) {
                const int v = AtPosition(ring, a, j + k);
                hi = std::max(hi, v);
                lo = std::min(lo, v);
            }
            if (hi - lo < t) return j + n / 2;
        }
        return -1;
    };
    for (int t = 3; t <= 9; ++t)
        if (int f = flatWindowAt(4, t); f >= 0) return f;
    for (int t = 10; t <= 37; ++t)
        if (int f = flatWindowAt(3, t); f >= 0) return f;
    return s + 7;
}

void SetMark(AnalysisState& st, int countedIndex, uint8_t mark)
{
    int i = countedIndex % kSeriesSize;
    if (i < 0) i += kSeriesSize;
    st.beatMark[static_cast<size_t>(i)] = mark;
}

int16_t ClampTo16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767)); }

// Per-beat bookkeeping once the detector has reported a beat d samples ago.
void ProcessBeat(AnalysisState& st, int d)
{
    // 5.1 position, RR and measurement
    const int32_t p = st.n - d - st.filterDelay;
    const uint16_t rrSamples = static_cast<uint16_t>(p - st.previousPosition);
    st.previousPosition = p;
    const BeatMeasurement m = MeasureBeat(st.ring, st.ringIndex, d, rrSamples, st.previousIso);
    if (m.widePremature) ++st.widePrematureCount;
    const int16_t rtor = RrToMs(rrSamples);

    // 5.2 store the measurements in the beat's slot
    const size_t slot = static_cast<size_t>(st.beatCount % kSeriesSize);
    BeatSeries& s = st.series;
    s.RtoR[slot] = rtor;
    s.beatArea[slot] = static_cast<int16_t>(std::min<int32_t>(m.area, 32000));
    s.width[slot] = m.width;
    s.noiseRatio[slot] = m.noiseRatio;
    s.noiseCount[slot] = m.noiseCount;
    s.pve[slot] = m.pve;
    s.nve[slot] = m.nve;
    s.beatTime[slot] = st.n - m.rPosition - st.filterDelay;
    s.beatTime2[slot] = s.beatTime[slot];
    int32_t peak = 0;
    if (m.pve != m.nve) {
        peak = static_cast<int32_t>(m.pve) * 100 / (static_cast<int32_t>(m.pve) - m.nve);
        if (std::abs(peak) > 120) peak = 0;
    }
    s.peak[slot] = static_cast<int16_t>(peak);
    const int16_t amplitude = static_cast<int16_t>(m.pve - m.nve);

    // 5.3 noise classification
    const bool noisy = (m.noiseCount >= 5 && m.noiseRatio >= 31) || m.noiseRatio >= 70;
    bool clean = !noisy;
    bool cleanForWaveform = !st.moving && !noisy;

    // 5.4 runs of similar positive share
    if (st.stableMorphCount > 0 && std::abs(peak - st.stableMorphPeak) <= 4) ++st.stableMorphCount;
    if (peak != 0 && std::abs(peak - st.previousPeak) <= 4) {
        st.peakRunPeakSum += peak;
        st.peakRunAmpSum += amplitude;
        ++st.peakRunLength;
        if (st.peakRunLength > st.longestRunLength) {
            st.longestRunLength = st.peakRunLength;
            st.longestRunPeakSum = st.peakRunPeakSum;
            st.longestRunAmpSum = st.peakRunAmpSum;
        }
        if (st.peakRunLength > 5 && st.stableMorphCount == 0) {
            st.stableMorphCount = st.peakRunLength;
            st.stableMorphPeak = static_cast<int16_t>(st.peakRunPeakSum / st.peakRunLength);
        }
    } else {
        st.peakRunLength = 0;
        st.peakRunPeakSum = 0;
        st.peakRunAmpSum = 0;
    }
    st.previousPeak = static_cast<int8_t>(peak);

    // 5.5 start indexes
    if (st.stableStartBeat < 0 && p > 383) st.stableStartBeat = st.beatCount;
    if (st.firstValidBeat < 0 && p > 256 && !st.moving && (rtor >= 500 || p > 640)) st.firstValidBeat = st.beatCount;

    // 5.6
    const bool normalWidth = m.width >= 21 && m.width <= 79;

    // 5.7 counted beats
    if (st.firstValidBeat >= 0) {
        const bool previousExists = st.beatCount > st.firstValidBeat;
        const int counted = st.countedBeats;
        if (rtor > 1750) {
            ++st.longRrCount;
            st.longRrSum = static_cast<int16_t>(std::min<int32_t>(int32_t{st.longRrSum} + rtor, 32000));
        }
        if (m.noiseRatio > 70) {
            ++st.noisyBeats;
            cleanForWaveform = false;
        }
        SetMark(st, counted, 0);
        // The previous amplitude is kept for every detected beat, so the first
        // counted beat is compared with the uncounted beat before it too.
        const bool amplitudeJump = st.beatCount > 0 && std::abs(st.previousAmplitude - amplitude) > amplitude / 2;
        if (amplitudeJump) {
            SetMark(st, counted, 254);
            if (previousExists) SetMark(st, counted - 1, 254);
        }
        if (m.noiseCount > 8 && m.noiseRatio > 45) {
            SetMark(st, counted, 255);
            cleanForWaveform = false;
        }
        if (st.artefactCounter > 0 && previousExists) {
            SetMark(st, counted, 255);
            SetMark(st, counted - 1, 255);
            cleanForWaveform = false;
            clean = false;
        }
        const bool disturbed = st.moving || st.artefactCounter > 0;
        s.iso[slot] = disturbed ? int16_t{-1} : static_cast<int16_t>(std::abs(st.previousIso - m.isoLevel));
        if (!disturbed) {
            if (cleanForWaveform && amplitudeJump && amplitude > 279) st.findings.waveform = true;
            if (st.beatCount > st.firstValidBeat + 1 && p > 896) {
                if (rtor >= 6001)
                    st.findings.noise = true;
                else if (rtor > st.pauseThresholdSeconds * 1000)
                    st.findings.pause = true;
                st.maxRRchange = std::max<int16_t>(st.maxRRchange, ClampTo16(std::abs(rtor - st.previousRtoR)));
            }
        }
        const bool longRr = rtor > 2000 || (st.previousRrStable && rtor - st.previousRtoR > st.previousRtoR / 2 &&
                                            st.previousRtoR >= 500);
        const bool shortRr = rtor < 500 && rtor < static_cast<int32_t>(st.previousRtoR * 0.9);
        const bool normalRr = !longRr && !shortRr;
        st.rrSum = static_cast<uint16_t>(st.rrSum + rtor);
        if (normalRr) {
            st.normalRrSum = static_cast<uint16_t>(st.normalRrSum + rtor);
            ++st.normalRrCount;
        }
        if (normalWidth) {
            st.normalWidthAreaSum += s.beatArea[slot];
            st.normalWidthWidthSum += m.width;
            ++st.normalWidthCount;
        }
        if (clean) {
            st.runRrSum = static_cast<uint16_t>(st.runRrSum + rtor);
            ++st.runCount;
            if (normalWidth) {
                st.runAreaSum += s.beatArea[slot];
                st.runWidthSum += m.width;
                ++st.runNormalWidthCount;
            }
        } else {
            MarkCleanRun(st);
            st.runRrSum = 0;
            st.runCount = 0;
            st.runAreaSum = 0;
            st.runWidthSum = 0;
            st.runNormalWidthCount = 0;
        }
        ++st.countedBeats;
        if (st.countedBeats > 199) {
            st.countedBeats = 0;
            st.findings.noise = true;
        }
        if (amplitude < 18 && ++st.ampBelow18 > 10) st.findings.noise = true;
        if (amplitude < 46 && ++st.ampBelow46 > 10) st.findings.weak = true;
        if (amplitude < 93 && ++st.ampBelow93 > 10) st.lowAmplitude1 = st.lowAmplitude2 = true;
    }

    // 5.8 in every case
    st.previousIso = m.isoLevel;
    if (st.artefactCounter > 0) --st.artefactCounter;
    st.previousRrStable = std::abs(rtor - st.previousRtoR) < rtor / 8;
    st.previousRtoR = rtor;
    ++st.beatCount;
    st.previousAmplitude = amplitude;
}

}  // namespace

int16_t RrToMs(uint16_t rrSamples)
{
    return static_cast<int16_t>(std::min<int32_t>(static_cast<int32_t>(rrSamples) * 1000 / kAnalysisRate, 32000));
}

int MeasurementFilter(MeasurementFilterState& f, int filter, int16_t x)
{
    const FilterCoefficients& c = kFilters[filter];
    double y = c.b[0] * x;
    for (int k = 1; k <= c.order; ++k) y += c.b[k] * f.x[static_cast<size_t>(k - 1)] - c.a[k] * f.y[static_cast<size_t>(k - 1)];
    for (int k = c.order - 1; k > 0; --k) {
        f.x[static_cast<size_t>(k)] = f.x[static_cast<size_t>(k - 1)];
        f.y[static_cast<size_t>(k)] = f.y[static_cast<size_t>(k - 1)];
    }
    f.x[0] = x;
    f.y[0] = y;
    if (!(y > -2147483648.0 && y < 2147483648.0)) return 0;
    return static_cast<int>(std::trunc(y));
}

BeatMeasurement MeasureBeat(const std::array<int16_t, kRingSize>& ring, int a, int d, uint16_t rrSamples,
                            int16_t previousIso)
{
    BeatMeasurement m;
    m.isoLevel = previousIso;
    if (d <= 0) return m;
    auto at = [&](int j) { return static_cast<int>(AtPosition(ring, a, j)); };

    // 4.1 QRS window, older to newer samples
    int hi = at(d + 12), lo = hi, hiPos = d + 12, loPos = d + 12;
    int maxSlope = at(d + 12) - at(d + 13), minSlope = maxSlope;
    int maxSlopePos = d + 12, minSlopePos = d + 12;
    for (int j = d + 11; j >= std::max(d - 12, 0) + 1; --j) {
        const int v = at(j);
        const int slope = v - at(j + 1);
        if (v > hi) {
            hi = v;
            hiPos = j;
        } else if (v < lo) {
            lo = v;
            loPos = j;
        }
        if (slope > maxSlope) {
            maxSlope = slope;
            maxSlopePos = j;
        }
        if (slope < minSlope) {
            minSlope = slope;
            minSlopePos = j;
        }
    }

    // 4.2 / 4.3 iso level
    const int s = std::max(maxSlopePos, minSlopePos);
    const int f = FindIsoPosition(ring, a, s);
    int iso = at(f);
    if (std::abs(iso - previousIso) > 89 && std::abs(hi - iso) <= 8) iso = previousIso;
    m.isoLevel = static_cast<int16_t>(iso);

    // 4.4 polarity and R position
    m.pve = static_cast<int16_t>(hi - iso);
    m.nve = static_cast<int16_t>(lo - iso);
    const bool positive = m.pve + m.nve >= 1;
    const int r = positive ? hiPos : loPos;
    m.rPosition = r;

    // 4.5 width and area
    auto excursion = [&](int j) { return positive ? at(j) - iso : iso - at(j); };
    int32_t area = 0;
    int count = 0;
    for (int k = 0; k <= 9; ++k) {
        const int e = excursion(r + k);
        if (e < 4) break;
        area += e;
        ++count;
    }
    for (int k = 1; k <= 9; ++k) {
        const int e = excursion(r - k);
        if (e < 4) break;
        area += e;
        ++count;
    }
    m.area = area;
    m.width = static_cast<int16_t>((count * 1000) >> 7);
    m.widePremature = m.width > 120 && rrSamples < 51;

    // 4.6 noise before the beat
    int start = static_cast<int>(std::trunc(rrSamples * 0.6 + d));
    start = std::min(start, kRingSize - 1);
    int segMax = at(start), segMin = segMax;
    int previous = segMax, previousSlope = 0, lastTurn = segMax, turns = 0;
    for (int j = start - 1; j > d + 19; --j) {
        const int v = at(j);
        segMax = std::max(segMax, v);
        segMin = std::min(segMin, v);
        const int slope = v - previous;
        if (previousSlope != 0 && (slope == 0 || Sign(slope) != Sign(previousSlope))) {
            if (std::abs(previous - lastTurn) > 18) {
                ++turns;
                lastTurn = previous;
            }
        }
        previousSlope = slope;
        previous = v;
    }
    const int amplitude = m.pve - m.nve;
    int ratio = 0;
    if (amplitude >= 1 && turns > 0) ratio = std::clamp((segMax - segMin) * 100 / amplitude, 0, 120);
    m.noiseRatio = static_cast<uint16_t>(ratio);
    m.noiseCount = static_cast<uint16_t>(std::min(turns, 120));
    return m;
}

void MarkCleanRun(AnalysisState& st)
{
    if (st.runRrSum <= 2500) return;
    for (int i = st.countedBeats - st.runCount; i < st.countedBeats; ++i) {
        const size_t k = static_cast<size_t>(((i % kSeriesSize) + kSeriesSize) % kSeriesSize);
        if (st.beatMark[k] == 0)
            st.beatMark[k] = 1;
        else if (st.beatMark[k] == 254)
            st.beatMark[k] = 2;
    }
}

void ResetAnalysis(AnalysisState& st)
{
    const int16_t digMin = st.digMin, digMax = st.digMax;
    const int pause = st.pauseThresholdSeconds;
    const QrsDetectorState detector = st.detector;
    st = AnalysisState{};
    st.digMin = digMin;
    st.digMax = digMax;
    st.pauseThresholdSeconds = pause;
    st.detector = detector;
    st.series.beatType.fill(kBeatNotAnalysed);
    ResetQRSDetector(st.detector);
    st.startDelay = 128;
    st.filterDelay = kFilterDelay;
}

void AnalyseSample(AnalysisState& st, int16_t x)
{
    // 1. blanking of saturated or missing samples
    if (x == 30000) {
        x = 0;
        st.blankCounter = 38;
    } else if (st.digMax - x < 10 || x - st.digMin < 10) {
        st.blankCounter = 38;
    }
    if (st.blankCounter > 0) {
        if (st.beatCount > 0) st.stableFlag = false;
        st.artefactCounter = 2;
        ResetQRSDetector(st.detector);
        --st.blankCounter;
    }

    // 2. detector
    int d = 0;
    if (st.startDelay > 0)
        --st.startDelay;
    else
        d = QRSDetect(st.detector, x);

    // 3. measurement filters and movement watch
    const int16_t v = static_cast<int16_t>(
        MeasurementFilter(st.filters[1], 1, static_cast<int16_t>(MeasurementFilter(st.filters[0], 0, x))));
    if (st.n > 0) st.totalVariation += std::abs(v - st.previousV);
    st.previousV = v;
    const int16_t w = static_cast<int16_t>(MeasurementFilter(st.filters[2], 2, v));
    st.movementSum = static_cast<int16_t>(st.movementSum + w);
    if (++st.movementPhase == 4) {
        st.movementPhase = 0;
        st.movementSum = static_cast<int16_t>(st.movementSum / 4);
        st.movementRingSum += st.movementSum - st.movementRing[static_cast<size_t>(st.movementRingIndex)];
        st.movementRing[static_cast<size_t>(st.movementRingIndex)] = st.movementSum;
        st.movementRingIndex = (st.movementRingIndex + 1) % 12;
        if (std::abs(st.movementRingSum) > 1562.4) st.movementHold = 51;
    }
    if (st.movementHold > 0) {
        --st.movementHold;
        st.moving = true;
    } else {
        st.moving = false;
    }

    // 4. measurement ring
    st.ringIndex = (st.ringIndex + 1) % kRingSize;
    st.ring[static_cast<size_t>(st.ringIndex)] = v;

    // 5. beat
    if (d > 0) ProcessBeat(st, d);

    // 6.
    ++st.n;
}

void AnalyseRecording(AnalysisState& st, std::span<const int16_t> samples, int sampleRate, int16_t digMin,
                      int16_t digMax, int pauseThresholdSeconds)
{
    st.digMin = digMin;
    st.digMax = digMax;
    st.pauseThresholdSeconds = pauseThresholdSeconds;
    ResetAnalysis(st);
    if (sampleRate == 128 || sampleRate == 256) {
        const size_t step = sampleRate == 256 ? 2 : 1;
        for (size_t i = 0; i < samples.size(); i += step) AnalyseSample(st, samples[i]);
    }
    FinishAnalysis(st);
}

AnalysisResult AnalyseRecording(std::span<const int16_t> samples, int sampleRate, int16_t digMin, int16_t digMax,
                                int pauseThresholdSeconds)
{
    auto st = std::make_unique<AnalysisState>();
    AnalyseRecording(*st, samples, sampleRate, digMin, digMax, pauseThresholdSeconds);
    AnalysisResult r;
    r.findings = st->findings;
    r.beatCount = st->beatCount;
    r.countedBeats = st->countedBeats;
    r.firstValidBeat = st->firstValidBeat;
    r.stableStartBeat = st->stableStartBeat;
    r.series = st->series;
    return r;
}

}  // namespace ecg
