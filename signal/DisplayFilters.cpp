#include "signal/DisplayFilters.h"

#include <cmath>
#include <limits>
#include <vector>

namespace ecg {

std::int16_t SaturateToSample(double value)
{
    if (std::isnan(value)) return 0;
    if (value >= 32767.0) return std::numeric_limits<std::int16_t>::max();
    if (value <= -32768.0) return std::numeric_limits<std::int16_t>::min();
    return static_cast<std::int16_t>(value);  // truncates toward zero
}

void LowCutFilter::Set(int rate, double fc)
{
    // pi * fc and both gains are single precision, as the recorder's
    // reference filter computes them.
    const float piFc = 3.1415927f * static_cast<float>(fc);
    const double k = rate > 0 ? std::tan(static_cast<double>(piFc) / rate) : 0.0;
    g1_ = static_cast<float>(1.0 / (k + 1.0));
    g2_ = static_cast<float>((1.0 - k) * static_cast<double>(g1_));
    x1_ = 0;
    y1_ = 0.0;
}

std::int16_t LowCutFilter::Step(std::int16_t x)
{
    const double g1 = g1_, g2 = g2_;
    const double y = g2 * x - g2 * x1_ + g1 * y1_;
    x1_ = x;
    y1_ = y;
    return SaturateToSample(y);
}

namespace {

struct IirSet {
    double b[4];
    double a[4];  // a[0] unused
};

constexpr IirSet kIir128 = {{0.162786151578641, 0.325572303157282, 0.162786151578641, 0.0},
                            {1.0, -0.580676405165314, 0.231821011479878, 0.0}};
constexpr IirSet kIir256 = {{0.012265935276236, 0.036797805828708, 0.036797805828708, 0.012265935276236},
                            {1.0, -1.931160555767073, 1.364099493131264, -0.334811455154304}};

// The first half of the symmetric FIR taps; c[i] = c[29 - i].
constexpr double kFirHalf[15] = {
    -0.000249874757945, 0.001576960479438, 0.002816811378769,  -0.000020416495033, -0.006909682617687,
    -0.009230187753609, 0.002245910303636, 0.020951621704402,  0.022105876288526,  -0.011240031810487,
    -0.055372823268192, -0.050060009503494, 0.047519980164658, 0.206605163172965,  0.329741713521149};

constexpr double FirTap(int i) { return kFirHalf[i < 15 ? i : 29 - i]; }

}  // namespace

void HighCutIir::Set(int rate)
{
    const IirSet* set = rate == 128 ? &kIir128 : rate == 256 ? &kIir256 : nullptr;
    for (int i = 0; i < 4; ++i) {
        b_[i] = set ? set->b[i] : 0.0;
        a_[i] = set ? set->a[i] : 0.0;
    }
    for (int i = 0; i < 3; ++i) {
        x_[i] = 0;
        y_[i] = 0.0;
    }
}

std::int16_t HighCutIir::Step(std::int16_t x)
{
    const double y = b_[0] * x + b_[1] * x_[0] + b_[2] * x_[1] + b_[3] * x_[2] - a_[1] * y_[0] - a_[2] * y_[1] -
                     a_[3] * y_[2];
    x_[2] = x_[1];
    x_[1] = x_[0];
    x_[0] = x;
    y_[2] = y_[1];
    y_[1] = y_[0];
    y_[0] = y;
    return SaturateToSample(y);
}

void HighCutFir::Clear()
{
    for (auto& v : x_) v = 0;
}

std::int16_t HighCutFir::Step(std::int16_t x)
{
    double y = FirTap(0) * x;
    for (int i = 1; i < 30; ++i) y += FirTap(i) * x_[i - 1];
    for (int i = 28; i > 0; --i) x_[i] = x_[i - 1];
    x_[0] = x;
    return SaturateToSample(y);
}

void NotchFilter::Set(double r, double f0, int rate)
{
    // 2 pi as the single-precision value the reference filter uses.
    constexpr double kTwoPi = 6.2831854820251465;
    c_ = rate > 0 ? -2.0 * std::cos(kTwoPi * f0 / rate) : 0.0;
    cr_ = c_ * r;
    rr_ = r * r;
}

void NotchFilter::Clear()
{
    x_[0] = x_[1] = 0;
    y_[0] = y_[1] = 0.0;
}

std::int16_t NotchFilter::Step(std::int16_t x)
{
    const double y = x + c_ * x_[0] + x_[1] - cr_ * y_[0] - rr_ * y_[1];
    x_[1] = x_[0];
    x_[0] = x;
    y_[1] = y_[0];
    y_[0] = y;
    return SaturateToSample(y);
}

FilterMode NextFilterMode(FilterMode mode)
{
    const int next = static_cast<int>(mode) + 1;
    return static_cast<FilterMode>(next > 4 || next < 1 ? 1 : next);
}

double NextLowCutFrequency(double fc)
{
    if (fc == 0.05) return 0.1;
    if (fc == 0.1) return 0.15;
    if (fc == 0.15) return 0.05;
    return fc;
}

void DisplayFilterChain::FilterDisplayBlock(std::int16_t* samples, std::size_t count, int rate)
{
    if (!samples || count == 0) return;
    iir_.Set(rate);
    fir_.Clear();

    if (switches_.lowCut) {
        // Backwards into a scratch block, then backwards over the scratch
        // block into the samples: forwards in time, zero phase overall.
        std::vector<std::int16_t> scratch(count);
        lowCut_.Set(rate, switches_.lowCutFrequency);
        for (std::size_t i = 0; i < count; ++i) scratch[i] = lowCut_.Step(samples[count - 1 - i]);
        lowCut_.Set(rate, switches_.lowCutFrequency);
        for (std::size_t i = 0; i < count; ++i) samples[i] = lowCut_.Step(scratch[count - 1 - i]);
    }
    if (!switches_.highCut) return;

    const FilterMode mode = switches_.mode;
    if (mode == FilterMode::Fir) {
        if (rate == 256)
            for (std::size_t i = 0; i < count; ++i) samples[i] = fir_.Step(samples[i]);
    } else {
        for (std::size_t i = 0; i < count; ++i) samples[i] = iir_.Step(samples[i]);
    }
    if (switches_.notchesDisabled) return;

    const auto notchPass = [&](double f0) {
        // A fresh history for every pass: drawing the same recording twice
        // (screen, then printer) gives the same picture.
        notch_.Clear();
        notch_.Set(0.99, f0, rate);
        for (std::size_t i = 0; i < count; ++i) samples[i] = notch_.Step(samples[i]);
    };
    if (mode == FilterMode::IirNotch60 || mode == FilterMode::IirNotch60And50) notchPass(60.0);
    if (mode == FilterMode::IirNotch60And50) notchPass(50.0);
}

}  // namespace ecg
