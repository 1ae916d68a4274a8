// Final step of the beat analysis: reference values, beat types, heart rate,
// findings and ectopy grade from the series the per-sample pass collected.
#include "signal/BeatAnalysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace ecg {
namespace {

constexpr bool IsShapeCode(uint8_t code) { return code == 11 || code == 12; }

// Index into the per-beat series of counted beat k.
size_t SlotOf(const AnalysisState& st, int k)
{
    return static_cast<size_t>((st.firstValidBeat + k) % kSeriesSize);
}

int Trunc(double v) { return static_cast<int>(std::trunc(v)); }

// Average over all beats of a window value: the RR change within beats
// k-5 .. k+4 relative to their sum, in percent. The divisor is given by the
// caller (the counted beats, also for shorter lists).
int WindowedIndex(const std::vector<int>& rr, int divisor)
{
    const int n = static_cast<int>(rr.size());
    if (divisor <= 0) return 0;
    int64_t total = 0;
    for (int k = 0; k < n; ++k) {
        int64_t changes = 0, sum = 0;
        for (int j = std::max(k - 5, 1); j <= std::min(k + 4, n - 1); ++j) {
            changes += std::abs(rr[static_cast<size_t>(j)] - rr[static_cast<size_t>(j - 1)]);
            sum += rr[static_cast<size_t>(j)];
        }
        total += sum == 0 ? 0 : changes * 100 / sum;
    }
    return static_cast<int>(total / divisor);
}

int VariabilityOf(const std::vector<int>& values)
{
    std::vector<int16_t> v(values.size());
    for (size_t i = 0; i < values.size(); ++i) v[i] = static_cast<int16_t>(values[i]);
    return VariabilityIndex(v);
}

class Classifier {
public:
    explicit Classifier(AnalysisState& st) : st_(st), f_(st.findings), cb_(st.countedBeats) {}

    void Run()
    {
        // 1.
        if (cb_ < 10) {
            f_.noise = true;
            ClearRhythmFindings();
            f_.ectopyGrade = 0;
            return;
        }
        // 2.
        if (st_.lowAmplitude2 && st_.noisyBeats > 20) f_.noise = true;
        // 3.
        const int64_t variation = st_.totalVariation * 128 / 6324;
        if (variation >= 7901) {
            f_.unstable = true;
            localUnstable_ = true;
            shortPremature_ = false;
        }
        // 4.
        MarkCleanRun(st_);
        if (st_.noisyBeats > 4) st_.stableFlag = false;
        LoadCopies();
        ReferenceRr();
        WidthReference();
        // 7.
        slowVariation_ = st_.maxRRchange < 90 && st_.maxRRchange < refRR_ / 8;
        ReferenceBeats();
        // 9.
        areaThreshold_ = refArea_ > 600 ? Trunc(refArea_ * 1.8) : Trunc(refArea_ * 2.5);
        BaselineJumps();
        // 11.
        for (int k = 0; k < cb_; ++k) share_[k] = st_.series.peak[SlotOf(st_, k)];
        if (refPos_ == 0 || refAmp_ == 0) st_.lowAmplitude1 = true;
        BeatLoop();
        // 13.
        if (hrCount_ == 0)
            f_.noise = true;
        else
            f_.heartRate = static_cast<int16_t>(hrSum_ / hrCount_);
        Irregular();
        RetypeByMorphology();
        // 16.
        f_.ectopyGrade = GradeEctopy(st_, shortPremature_);
        WideBeats();
        NormalShapePremature();
        // 19.
        if (st_.widePrematureCount > 0.6 * st_.beatCount) f_.waveform = f_.rhythm = true;
        // 20.
        if (f_.irregular || f_.rhythm || f_.waveform || f_.pause) {
            if (f_.weak) f_.noise = true;
            if (st_.lowAmplitude2) f_.weak = true;
        }
        // 21.
        if (duration_ < 10000) f_.noise = true;
        if (duration_ < 17000) f_.unstable = true;
        // 22.
        if (localUnstable_ || f_.noise) ClearRhythmFindings();
        if (localUnstable_ || f_.noise || f_.unstable) f_.ectopyGrade = 0;
    }

private:
    void ClearRhythmFindings() { f_.pause = f_.waveform = f_.rhythm = f_.irregular = false; }

    int Rr(int k) const { return st_.series.RtoR[SlotOf(st_, k)]; }
    int Amplitude(int k) const { return st_.series.pve[SlotOf(st_, k)] - st_.series.nve[SlotOf(st_, k)]; }
    int Peak(int k) const { return st_.series.peak[SlotOf(st_, k)]; }
    int Width(int k) const { return st_.series.width[SlotOf(st_, k)]; }
    uint8_t Type(int k) const { return st_.beatMark[static_cast<size_t>(k)]; }
    void SetType(int k, uint8_t type)
    {
        st_.series.beatType[SlotOf(st_, k)] = type;
        st_.beatMark[static_cast<size_t>(k)] = type;
    }

    void LoadCopies()
    {
        for (int k = 0; k < cb_; ++k) {
            rrCopy_[k] = Rr(k);
            originalMark_[k] = st_.beatMark[static_cast<size_t>(k)];
        }
    }

    // 5. Reference RR from the normal RR intervals (16-bit sums).
    void ReferenceRr()
    {
        if (st_.normalRrCount > 0)
            refRR_ = static_cast<int16_t>(st_.normalRrSum / st_.normalRrCount);
        else
            refRR_ = static_cast<int16_t>(st_.rrSum / cb_);
    }

    // 6. Reference width and area from the normal-width beats.
    void WidthReference()
    {
        if (st_.normalWidthCount > 2) {
            refArea_ = static_cast<int16_t>(st_.normalWidthAreaSum / st_.normalWidthCount);
            refWidth_ = static_cast<int16_t>(st_.normalWidthWidthSum / st_.normalWidthCount);
            hasWidthRef_ = true;
        }
        if (!st_.stableFlag) {
            if (st_.runNormalWidthCount >= 3) {
                refArea_ = static_cast<int16_t>(st_.runAreaSum / st_.runNormalWidthCount);
                refWidth_ = static_cast<int16_t>(st_.runWidthSum / st_.runNormalWidthCount);
                hasWidthRef_ = true;
            } else {
                hasWidthRef_ = false;
            }
        }
        if (!hasWidthRef_) refArea_ = refWidth_ = 0;
    }

    // 8. Reference amplitude and positive share from up to three beats with
    // the shortest RR above the reference RR (beats that are not premature).
    void ReferenceBeats()
    {
        std::array<bool, kSeriesSize> picked{};
        int32_t sumPve = 0, sumNve = 0;
        uint8_t shareChanges = 0;
        int previousShare = 0;
        for (int pass = 0; pass < 3; ++pass) {
            int best = -1;
            for (int k = 0; k < cb_; ++k) {
                if (picked[static_cast<size_t>(k)]) continue;
                if (!(st_.stableFlag || originalMark_[k] > 0)) continue;
                if (rrCopy_[k] > refRR_ && (best < 0 || rrCopy_[k] < rrCopy_[best])) best = k;
            }
            if (best < 0) break;
            picked[static_cast<size_t>(best)] = true;
            const int pve = st_.series.pve[SlotOf(st_, best)], nve = st_.series.nve[SlotOf(st_, best)];
            sumPve += pve;
            sumNve += nve;
            const int share = pve - nve == 0 ? 0 : pve * 100 / (pve - nve);
            if (pass > 0) shareChanges = static_cast<uint8_t>(shareChanges + std::abs(share - previousShare));
            previousShare = share;
        }
        refAmp_ = static_cast<int16_t>((sumPve - sumNve) / 3);
        refPos_ = sumPve - sumNve == 0 ? 0 : static_cast<int8_t>(sumPve * 100 / (sumPve - sumNve));
        if (shareChanges > 50 && st_.stableMorphCount > cb_ / 2 && st_.longestRunLength > 0) {
            const int avgPeak = st_.longestRunPeakSum / st_.longestRunLength;
            const int avgAmp = st_.longestRunAmpSum / st_.longestRunLength;
            if (std::abs(avgPeak - refPos_) > 40) {
                refPos_ = static_cast<int8_t>(avgPeak);
                refAmp_ = static_cast<int16_t>(avgAmp);
            }
        }
    }

    // 10. Beats next to baseline jumps lose their area (-1); beats during
    // movement or artefacts are excluded (-2).
    void BaselineJumps()
    {
        for (int k = 0; k < cb_; ++k) area_[k] = st_.series.beatArea[SlotOf(st_, k)];
        for (int k = 0; k + 1 < cb_; ++k) {
            const int i1 = st_.series.iso[SlotOf(st_, k)], i2 = st_.series.iso[SlotOf(st_, k + 1)];
            auto exceeds = [](int i, int limit, int share) { return i > limit && i > share; };
            if (exceeds(i1, 93, refAmp_ / 2) || exceeds(i2, 93, refAmp_ / 2)) {
                area_[k] = -1;
            } else if (exceeds(i1, 46, refAmp_ / 4) || exceeds(i2, 46, refAmp_ / 4)) {
                if (rrCopy_[k] > refRR_) area_[k] = -1;
            } else if (std::abs(i1 - i2) > refAmp_ / 5) {
                area_[k] = -1;
            }
        }
        for (int k = 0; k < cb_; ++k)
            if (st_.series.iso[SlotOf(st_, k)] < 0) area_[k] = -2;
    }

    bool NotPremature(int rr, int prematurity) const
    {
        if (steadyRr_ != 0 && previousNormalRr_ != 0 && rr >= 0.95 * previousNormalRr_) return true;
        return rr > 699 && (prematurity < 51 || rr >= 0.9 * refRR_) &&
               (rr >= 0.75 * refRR_ || ((rr > 799 || prematurity < 21) && (rr > 899 || prematurity < 31) &&
                                        (rr > 999 || prematurity < 41)));
    }

    // Beats just before a premature beat that came early as well belong to
    // the same run and take its type.
    void RetypeRunBefore(int k, uint8_t type)
    {
        for (int j = k - 1; j > 0; --j) {
            if (IsShapeCode(st_.beatCode[static_cast<size_t>(j)])) continue;
            if (j == lastRetyped_) break;
            if (Type(j) == 0) break;
            const int rr = rrCopy_[j];
            if (refRR_ > 999 ? rr > 699 : rr >= 0.75 * refRR_) break;
            SetType(j, type);
            st_.beatCode[static_cast<size_t>(j)] = 2;
            area_[j] = 2;
        }
        lastRetyped_ = k;
    }

    // 12. Per-beat classification.
    void BeatLoop()
    {
        int prev = 0, prevShare = 0, prevArea = 0;
        int steadyRun = 0, steadyCounter = 0, outsideCount = 0;
        bool processedBefore = false;
        for (int k = 0; k < cb_; ++k) {
            const int rr = rrCopy_[k];
            const int next = k + 1 < cb_ ? rrCopy_[k + 1] : 0;
            const int share = share_[k];
            const int area = area_[k];
            const int amplitude = Amplitude(k);
            const uint8_t mark = st_.beatMark[static_cast<size_t>(k)];
            uint8_t type = kBeatNormal, code = 0;
            bool premature = false;

            const int prematurity = rr == 0 ? 0 : (next - rr) * 100 / rr;
            const int ampDeviation = refAmp_ == 0 ? 0 : std::abs(amplitude - refAmp_) * 100 / refAmp_;
            if (std::abs(next - rr) > rr / 2) steadyRr_ = 0;
            if (std::abs(prematurity) < 11 && rr > 660) {
                longestSteadyRun_ = std::max(longestSteadyRun_, ++steadyRun);
            } else {
                steadyRun = 0;
            }

            bool eligible = st_.stableFlag || mark >= 1;
            if (mark == 255 || localUnstable_ || area == -2) {
                eligible = false;
                type = kBeatUnclassified;
            }
            if (eligible) {
                if (rr < 0.8 * refRR_ || rr > 1.2 * refRR_) {
                    if (++outsideCount >= 3) f_.rhythm = true;
                }
                if (rr < 3000) {
                    duration_ = static_cast<uint16_t>(duration_ + rr);
                    if (rr != 0 && st_.firstValidBeat + k > st_.stableStartBeat) {
                        hrSum_ = static_cast<uint16_t>(hrSum_ + 60000 / rr);
                        ++hrCount_;
                    }
                }
                if (!slowVariation_ && prematurity > 15 && processedBefore) {
                    if (NotPremature(rr, prematurity)) {
                        if (prematurity > 50 && next > 1000) f_.rhythm = true;
                    } else {
                        f_.rhythm = true;
                        const int shareDistance = std::abs(refPos_ - share);
                        if (mark == 2 || shareDistance > 19 || area >= 1.36 * refArea_) f_.waveform = true;
                        type = kBeatAbnormal;
                        code = 1;
                        if (refPos_ == 0 || refAmp_ == 0) {
                            type = kBeatNormal;
                            code = 0;
                        }
                        if (shareDistance + ampDeviation < 28 && (area < 0 || area < 1.36 * refArea_)) {
                            type = kBeatPrematureNormalShape;
                            code = 3;
                        }
                        RetypeRunBefore(k, type);
                    }
                }
                const bool previousDifferent = k == 0 || st_.beatMark[static_cast<size_t>(k - 1)] != 1;
                if (share > 0 && share < 100 && area > 0 && !st_.lowAmplitude1) {
                    if (stickyAbnormal_) {
                        if (std::abs(share - prevShare) < 15) stickyAbnormal_ = false;
                        else type = kBeatAbnormal;
                    }
                    const bool matches = std::abs(refPos_ - share) < 35 ||
                                         (!previousDifferent && std::abs(prevShare - share) < 16);
                    if (matches) {
                        if (lastWasMorphologyBeat_ && area > 1.35 * refArea_)
                            ++longRun_;
                        else
                            longRun_ = 0;
                    } else {
                        premature = true;
                        type = kBeatAbnormal;
                        code = 11;
                        if (rr < 300) shortPremature_ = true;
                        if (longRun_ > 0) ++longRun_;
                    }
                    if (longRun_ > 30) {
                        for (int j = std::max(0, k - longRun_ + 1); j < k; ++j) SetType(j, kBeatAbnormal);
                        type = kBeatAbnormal;
                        stickyAbnormal_ = true;
                    }
                    lastWasMorphologyBeat_ = true;
                } else {
                    lastWasMorphologyBeat_ = false;
                }
                if (hasWidthRef_ && area > areaThreshold_ && (previousDifferent || area > 1.8 * prevArea)) {
                    const bool early = rr < refRR_ && (previousDifferent || rr < prev || prematurity > 7) &&
                                       std::abs(refPos_ - 50) > 20 && refAmp_ > 241;
                    const bool fastOrEarly = (refRR_ < 660 || (refRR_ < 700 && rr < refRR_) || rr < 0.85 * refRR_) &&
                                             std::abs(refPos_ - 50) > 7;
                    if (early || fastOrEarly) {
                        premature = true;
                        type = kBeatAbnormal;
                        code = 12;
                        if (rr < 300) shortPremature_ = true;
                    }
                }
                processedBefore = true;
            } else {
                // A beat left out of the classification is not a morphology beat:
                // the run of wide matching beats restarts after it.
                lastWasMorphologyBeat_ = false;
            }

            // Store.
            area_[k] = code;
            SetType(k, type);
            st_.beatCode[static_cast<size_t>(k)] = code;
            // Premature beats count only from the stable start on.
            if (premature) {
                f_.waveform = f_.rhythm = true;
                if (st_.firstValidBeat + k < st_.stableStartBeat) f_.waveform = f_.rhythm = false;
            }

            const bool previousNormal = k > 0 && st_.beatMark[static_cast<size_t>(k - 1)] <= 1;
            previousNormalRr_ = (type <= 1 && previousNormal) ? rr : 0;
            steadyRr_ = 0;
            if (std::abs(rr - prev) < prev / 8) {
                if (++steadyCounter >= 6) steadyRr_ = rr;
            } else {
                steadyCounter = 0;
            }
            prev = rr;
            prevShare = share;
            prevArea = area_[k];
        }
    }

    // 14. Irregular RR over the whole recording.
    void Irregular()
    {
        if (localUnstable_) {
            f_.irregular = false;
            return;
        }
        f_.irregular = true;
        if (refRR_ < 961 && st_.longRrCount <= 3 && st_.stableFlag && st_.longRrSum < 6001) {
            std::vector<int> rr(rrCopy_.begin(), rrCopy_.begin() + cb_);
            const int v = VariabilityOf(rr);
            if (v < 40 || (v < 70 && longestSteadyRun_ > 6)) {
                f_.irregular = false;
            } else {
                for (int k = 0; k < cb_; ++k) {
                    const size_t i = static_cast<size_t>(k);
                    if (k >= 2 && rr[i] >= 1101 && rr[i] > 2 * rr[i - 1] && rr[i - 2] > 1.4 * rr[i - 1]) {
                        rr[i] = rr[i - 1] = refRR_;
                    } else if (k > 0 && IsShapeCode(st_.beatCode[i - 1])) {
                        rr[i - 1] = refRR_;
                        if (rr[i] > 2.8 * refRR_) rr[i] = refRR_;
                    }
                    if (rr[i] > 1400) rr[i] = refRR_;
                }
                const int index = WindowedIndex(rr, cb_);
                if (index < 10 || (index < 11 && refRR_ > 825) || (index < 12 && refRR_ > 850) ||
                    (index < 15 && refRR_ > 900))
                    f_.irregular = false;
            }
        } else {
            f_.irregular = false;
        }

        std::vector<int> list;
        int offShape = 0, largeArea = 0;
        for (int k = 1; k < cb_; ++k) {
            const size_t i = static_cast<size_t>(k);
            if (!IsShapeCode(st_.beatCode[i]) && !IsShapeCode(st_.beatCode[i - 1])) list.push_back(Rr(k));
            if (std::abs(Peak(k) - refPos_) > 34) ++offShape;
            if (st_.series.beatArea[SlotOf(st_, k)] > 1.8 * refArea_) ++largeArea;
        }
        if (list.empty()) {
            f_.irregular = false;
            return;
        }
        if (VariabilityOf(list) < 40) {
            f_.irregular = false;
            return;
        }
        const int index = WindowedIndex(list, cb_);
        int64_t sum = 0;
        for (int v : list) sum += v;
        const int64_t mean = sum / static_cast<int64_t>(list.size());
        if (index < 8 || (index < 25 && mean > 900) || (index < 10 && mean > 825) || (index < 17 && mean > 850) ||
            (index < 12 && offShape + largeArea > 10))
            f_.irregular = false;
    }

    // 15. Re-typing when amplitudes and widths scatter widely.
    void RetypeByMorphology()
    {
        int ampLow = Amplitude(0), ampHigh = ampLow, widthLow = Width(0), widthHigh = widthLow;
        for (int k = 1; k < cb_; ++k) {
            ampLow = std::min(ampLow, Amplitude(k));
            ampHigh = std::max(ampHigh, Amplitude(k));
            widthLow = std::min(widthLow, Width(k));
            widthHigh = std::max(widthHigh, Width(k));
        }
        std::array<bool, 10> ampClass{}, widthClass{};
        const int ampRange = std::max(ampHigh - ampLow, 558);
        const int widthRange = widthHigh - widthLow;
        for (int k = 0; k < cb_; ++k) {
            ampClass[static_cast<size_t>(std::min((Amplitude(k) - ampLow) * 9 / ampRange, 9))] = true;
            if (widthRange > 0)
                widthClass[static_cast<size_t>(std::min((Width(k) - widthLow) * 9 / std::max(widthRange, 120), 9))] =
                    true;
        }
        const int c1 = static_cast<int>(std::count(ampClass.begin(), ampClass.end(), true));
        const int c = c1 + static_cast<int>(std::count(widthClass.begin(), widthClass.end(), true));
        if (refRR_ < 600 && c > 5) {
            for (int k = 0; k < cb_; ++k)
                if (Rr(k) > 0.75 * refRR_ && refPos_ < 60 && IsShapeCode(st_.beatCode[static_cast<size_t>(k)]))
                    SetType(k, kBeatNormal);
        }
        if (f_.irregular && c1 > 4 && c > 9) {
            int d = 0;
            if (refAmp_ > 0) {
                int64_t sum = 0;
                for (int k = 0; k < cb_; ++k) sum += std::abs(Amplitude(k) - refAmp_) * 100 / refAmp_;
                d = static_cast<int>(sum / cb_);
            }
            const bool scattered = c1 > 8 || d > 0.4 * refAmp_;
            for (int k = 0; k < cb_; ++k) {
                const int distance = std::abs(Peak(k) - refPos_);
                if (scattered) {
                    if (distance > 9 || Width(k) > 1.2 * refWidth_) SetType(k, kBeatAbnormal);
                } else {
                    const bool abnormal = distance > 36 || (Amplitude(k) > 1.5 * refAmp_ && distance > 12);
                    SetType(k, abnormal ? kBeatAbnormal : kBeatNormal);
                }
            }
        }
    }

    // 17. A long series of wide beats among normal ones.
    void WideBeats()
    {
        int wide = 0;
        for (int k = 0; k < cb_; ++k)
            if (Type(k) == kBeatNormal && Width(k) > 100 && Width(k) > 2 * refWidth_ && refWidth_ > 20 && Rr(k) > 850)
                ++wide;
        if (wide > 20)
            for (int k = 0; k < cb_; ++k)
                if (Width(k) > 2 * refWidth_) SetType(k, kBeatAbnormal);
    }

    // 18. Premature beats of normal shape between regular pairs.
    void NormalShapePremature()
    {
        int longCount = 0, pairs = 0, type5 = 0;
        int64_t pairSum = 0;
        for (int k = 1; k < cb_; ++k) {
            const int rr = Rr(k), before = Rr(k - 1);
            if (rr > 2 * refRR_) ++longCount;
            if (2 * std::abs(rr - before) < 0.1 * (rr + before)) {
                ++pairs;
                pairSum += rr;
            }
            if (Type(k) == kBeatAbnormal) ++type5;
        }
        if (!st_.stableFlag || longCount < 3 || longCount > 11 || pairs < 6 || type5 > 2) return;
        const int64_t mean = pairSum / pairs;
        if (mean > 1199) return;
        for (int k = 0; k < cb_; ++k)
            if (Type(k) != kBeatAbnormal && Rr(k) < 1.2 * static_cast<double>(mean)) SetType(k, kBeatPrematureNormalShape);
    }

    AnalysisState& st_;
    AnalysisFindings& f_;
    const int cb_;
    std::array<int, kSeriesSize> rrCopy_{};
    std::array<int, kSeriesSize> share_{};
    std::array<int, kSeriesSize> area_{};
    std::array<uint8_t, kSeriesSize> originalMark_{};
    int16_t refRR_ = 0, refAmp_ = 0, refArea_ = 0, refWidth_ = 0;
    int8_t refPos_ = 0;  // signed like every reference value: a mostly negative QRS gives a negative share
    int areaThreshold_ = 0;
    bool localUnstable_ = false, slowVariation_ = false, hasWidthRef_ = false, shortPremature_ = false;
    int steadyRr_ = 0, previousNormalRr_ = 0, longestSteadyRun_ = 0;
    int lastRetyped_ = -1;
    int longRun_ = 0;
    bool lastWasMorphologyBeat_ = false, stickyAbnormal_ = false;
    uint16_t duration_ = 0;
    uint16_t hrSum_ = 0;
    int hrCount_ = 0;
};

}  // namespace

void FinishAnalysis(AnalysisState& st)
{
    Classifier(st).Run();
}

int VariabilityIndex(std::span<const int16_t> values)
{
    const int64_t n = static_cast<int64_t>(values.size());
    if (n == 0) return 0;
    int64_t sum = 0;
    for (int16_t v : values) sum += v;
    const int64_t m = sum / n;
    if (m < 1) return 0;
    std::vector<int64_t> d(values.size());
    d[0] = std::abs(values[0] - m);
    for (size_t i = 1; i < values.size(); ++i) {
        d[i] = std::abs(values[i] - m);
        if (values[i] > 1.5 * values[i - 1]) d[i] = d[i - 1] = 0;
    }
    int64_t total = 0;
    for (int64_t v : d) total += v;
    return static_cast<int>(total * 1000 / n / m);
}

uint8_t GradeEctopy(const AnalysisState& st, bool shortPremature)
{
    const int cb = st.countedBeats;
    auto type = [&](int k) { return st.beatMark[static_cast<size_t>(k)]; };
    int n5 = 0, r5 = 0, n8 = 0, r8 = 0, run5 = 0, run8 = 0;
    int bigeminyCount = 0, trigeminyCount = 0;
    bool bigeminy = false, trigeminy = false;
    for (int k = 0; k < cb; ++k) {
        const bool is5 = type(k) == kBeatAbnormal, is8 = type(k) == kBeatPrematureNormalShape;
        n5 += is5;
        n8 += is8;
        run5 = is5 ? run5 + 1 : 0;
        run8 = is8 ? run8 + 1 : 0;
        r5 = std::max(r5, run5);
        r8 = std::max(r8, run8);
        if (k >= 1) {
            bigeminyCount = (is5 != (type(k - 1) == kBeatAbnormal)) ? bigeminyCount + 1 : 0;
            if (bigeminyCount > 3) bigeminy = true;
        }
        if (k >= 2) {
            const int inGroup = is5 + (type(k - 1) == kBeatAbnormal) + (type(k - 2) == kBeatAbnormal);
            trigeminyCount = inGroup == 1 ? trigeminyCount + 1 : 0;
            if (trigeminyCount > 4) trigeminy = true;
        }
    }
    if (r5 >= 2 || bigeminy || trigeminy || st.findings.irregular || shortPremature || n5 > 5 || n8 > 5) return 4;
    if (n5 > 2 || n8 > 2 || r8 >= 2) return 3;
    if (n5 == 0 && n8 == 0) return 1;
    return 2;
}

}  // namespace ecg
