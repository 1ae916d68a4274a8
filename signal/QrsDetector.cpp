#include "signal/QrsDetector.h"

#include <cmath>

namespace ecg {
namespace {

// Truncates toward zero and wraps into signed 16 bits, as the recorder's
// 16-bit stages do. The clamp only keeps the conversion defined for absurd
// doubles; real filter outputs never come near it.
int16_t TruncToInt16(double y)
{
    if (!(y > -2147483648.0 && y < 2147483648.0)) y = 0.0;
    return static_cast<int16_t>(static_cast<int32_t>(std::trunc(y)));
}

uint16_t ThresholdFrom(uint16_t qrsMedian, uint16_t noiseMedian)
{
    const double diff = static_cast<double>(static_cast<int32_t>(qrsMedian) - noiseMedian);
    const double t = static_cast<double>(noiseMedian) + diff * TH;
    return static_cast<uint16_t>(static_cast<int32_t>(std::trunc(t)));
}

void ThresholdFromQrsSide(QrsDetectorState& s)
{
    s.qrsMedian = QrsMedian(s.qrsPeaks.data(), 5);
    s.detThreshold = ThresholdFrom(s.qrsMedian, s.noiseMedian);
}

void ThresholdFromNoiseSide(QrsDetectorState& s)
{
    s.noiseMedian = QrsMedian(s.noisePeaks.data(), 5);
    s.detThreshold = ThresholdFrom(s.qrsMedian, s.noiseMedian);
}

void StoreRr(QrsDetectorState& s, uint16_t rr)
{
    s.rrIntervals[s.qrsIndex] = rr;
    s.rrMedian = QrsMedian(s.rrIntervals.data(), 5);
    s.rrLimit = static_cast<uint16_t>(s.rrMedian * 15 / 10 + 10);
}

// After a QRS or a search-back find: restart the relearning windows and
// report the beat.
int BeatBookkeeping(QrsDetectorState& s)
{
    if (!s.learning) {
        s.searchPeak = 0;
        s.windowIndex = 0;
        s.windowMax = 0;
        s.windowCount = 0;
    }
    s.qrsIndex = static_cast<uint8_t>((s.qrsIndex + 1) % 5);
    return s.sinceBeat + 40;
}

// Detection filter chain: band-pass, moving-average high-pass, derivative,
// absolute value and 10-sample integration. Returns the integrated energy.
uint16_t DetectionFilter(QrsDetectorState& s, int16_t x)
{
    const double y = 0.119957522009448 * x + 0.217686098649465 * s.lpX1 + 0.119957522009448 * s.lpX2
                     + 0.879997311419857 * s.lpY1 - 0.342897225589023 * s.lpY2;
    s.lpX2 = s.lpX1;
    s.lpX1 = x;
    s.lpY2 = s.lpY1;
    s.lpY1 = y;
    const int16_t lp = TruncToInt16(y);

    const int written = s.hpIndex;
    s.hpSum += lp - s.hpRing[written];
    s.hpRing[written] = lp;
    s.hpIndex = static_cast<uint8_t>((s.hpIndex + 1) % 16);
    const int16_t delayed = s.hpRing[(written + 8) % 16];
    const int16_t hp = static_cast<int16_t>(delayed - s.hpSum / 16);

    const int16_t deriv = static_cast<int16_t>(hp - s.derivPrev);
    s.derivPrev = hp;

    const uint16_t magnitude = static_cast<uint16_t>(deriv < 0 ? -static_cast<int32_t>(deriv) : deriv);

    s.mwiSum = s.mwiSum - s.mwiRing[s.mwiIndex] + magnitude;
    s.mwiRing[s.mwiIndex] = magnitude;
    s.mwiIndex = static_cast<uint8_t>((s.mwiIndex + 1) % 10);
    return s.mwiSum > 320000 ? uint16_t{32000} : static_cast<uint16_t>(s.mwiSum / 10);
}

// Peak finder: returns the level of a peak that ends at this sample, else 0.
uint16_t FindPeak(QrsDetectorState& s, uint16_t v)
{
    uint16_t pk = 0;
    ++s.sinceBeat;
    if (s.sinceMax > 0) ++s.sinceMax;
    if (v > s.peakMax) {
        if (v > s.lastValue) {
            s.peakMax = v;
            if (s.peakMax > 2) s.sinceMax = 1;
        }
    } else if (v < s.peakMax / 2 || s.sinceMax > 12) {
        pk = s.peakMax;
        s.peakMax = 0;
        s.sinceMax = 0;
    }
    s.lastValue = v;
    return pk;
}

int EvaluateLearning(QrsDetectorState& s)
{
    int delay = 0;
    s.sinceBeat = 10;
    if (s.heldPeak > s.detThreshold && s.heldPeak > 4) {
        if (s.noiseIndex > 0) delay = s.sinceBeat + 40;
        s.qrsPeaks[s.qrsIndex] = s.heldPeak;
        ++s.qrsIndex;
        if (s.qrsIndex >= 5) {
            s.qrsIndex = 0;
            s.noiseIndex = 5;
        }
        if (s.noiseIndex < 5) ++s.noiseIndex;
        if (s.noiseIndex <= 2) {
            s.detThreshold = static_cast<uint16_t>(s.heldPeak / 2);
            if (s.firstBeat) {
                s.noiseIndex = 0;
                s.detThreshold = 4;
            }
        } else {
            const uint16_t median = QrsMedian(s.qrsPeaks.data(), s.noiseIndex);
            s.detThreshold = static_cast<uint16_t>(static_cast<int32_t>(std::trunc(median * TH)));
        }
        s.firstBeat = false;
    }
    return delay;
}

int EvaluateAfterLearning(QrsDetectorState& s)
{
    const int rr = static_cast<int>(s.sinceBeat) - 10;
    if (s.heldPeak > s.detThreshold) {
        StoreRr(s, static_cast<uint16_t>(rr));
        s.sinceBeat = 10;
        s.qrsPeaks[s.qrsIndex] = s.heldPeak;
        ThresholdFromQrsSide(s);
        return BeatBookkeeping(s);
    }
    s.noisePeaks[s.noiseIndex] = s.heldPeak;
    s.noiseIndex = static_cast<uint8_t>((s.noiseIndex + 1) % 5);
    ThresholdFromNoiseSide(s);
    if (s.heldPeak > s.searchPeak && rr > 38) {
        s.searchPeak = s.heldPeak;
        s.searchLoc = static_cast<uint16_t>(rr);
    }
    return 0;
}

// Window maxima over 1 s (learning) or 10 s (afterwards); five full windows
// without a beat (re)learn the thresholds from them.
void AdvanceWindows(QrsDetectorState& s)
{
    ++s.windowCount;
    if (s.windowCount != (s.learning ? 128 : 1280)) return;
    s.windowCount = 0;
    s.windowMaxima[s.windowIndex] = s.windowMax;
    ++s.windowIndex;
    if (s.windowIndex >= 5) {
        for (int i = 0; i < 5; ++i) {
            s.qrsPeaks[i] = s.windowMaxima[i];
            s.rrIntervals[i] = 128;
            s.noisePeaks[i] = 0;
        }
        s.noiseIndex = 0;
        s.qrsIndex = 0;
        ThresholdFromQrsSide(s);
        if (s.learning) {
            s.learning = false;
        } else {
            s.noiseMedian = 0;
            s.rrMedian = 128;
            s.rrLimit = 211;
            s.searchPeak = 0;
        }
        s.windowIndex = 0;
    }
    s.windowMax = 0;
}

int SearchBack(QrsDetectorState& s)
{
    if (!(s.sinceBeat > s.rrLimit && s.searchPeak > s.detThreshold / 2)) return 0;
    if (s.searchLoc < 46) {
        int delay = 0;
        if (s.sinceBeat > 128) {
            s.sinceBeat = static_cast<uint16_t>(s.sinceBeat - s.searchLoc);
            delay = s.sinceBeat + 40;
        }
        s.searchPeak = 0;
        return delay;
    }
    StoreRr(s, s.searchLoc);
    s.sinceBeat = static_cast<uint16_t>(s.sinceBeat - s.searchLoc);
    s.qrsPeaks[s.qrsIndex] = s.searchPeak;
    ThresholdFromQrsSide(s);
    return BeatBookkeeping(s);
}

}  // namespace

uint16_t QrsMedian(const uint16_t* values, int n)
{
    uint16_t sorted[5];
    int count = 0;
    for (int i = 0; i < n; ++i) {
        // Insert before the first element that is not greater (descending order).
        int at = 0;
        while (at < count && sorted[at] > values[i]) ++at;
        for (int k = count; k > at; --k) sorted[k] = sorted[k - 1];
        sorted[at] = values[i];
        ++count;
    }
    return sorted[n / 2];
}

void ResetQRSDetector(QrsDetectorState& s)
{
    const auto rr = s.rrIntervals;
    const uint16_t searchLoc = s.searchLoc;
    s = QrsDetectorState{};
    s.rrIntervals = rr;
    s.searchLoc = searchLoc;
}

int QRSDetect(QrsDetectorState& s, int16_t x)
{
    const uint16_t v = DetectionFilter(s, x);
    const uint16_t pk = FindPeak(s, v);

    int delay = 0;
    if (pk > 1 && (s.holdCount == 0 || pk > s.heldPeak)) {
        s.heldPeak = pk;
        s.holdCount = 32;
    } else if (s.holdCount > 0) {
        --s.holdCount;
        if (s.holdCount == 0) {
            delay = s.learning ? EvaluateLearning(s) : EvaluateAfterLearning(s);
            if (s.heldPeak > s.windowMax) s.windowMax = s.heldPeak;
        }
    }

    AdvanceWindows(s);
    if (!s.learning) {
        const int searchDelay = SearchBack(s);
        if (searchDelay > 0) delay = searchDelay;
    }
    return delay;
}

}  // namespace ecg
