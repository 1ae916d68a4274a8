#pragma once
#include <cstddef>
#include <cstdint>

// The display filters: what the chart and the printed page show is passed
// through a baseline (low-cut) filter run forwards and backwards, a high-cut
// filter chosen by the sample rate and up to two mains notches. They only
// change what is drawn; the stored recording and the beat analysis never see
// filtered samples. Every step keeps its history in double precision and
// returns its output truncated toward zero and saturated to 16 bits, so that
// a full-range foreign recording never wraps into spikes.
namespace ecg {

// Converts a filter output to a sample: truncated toward zero, saturated to
// the 16-bit range, NaN as 0.
std::int16_t SaturateToSample(double value);

// First-order low-cut. Set(rate, fc) computes the gains in single precision
// and clears the history.
class LowCutFilter {
public:
    void Set(int rate, double fc);
    std::int16_t Step(std::int16_t x);

private:
    float g1_ = 0.0f;
    float g2_ = 0.0f;
    std::int16_t x1_ = 0;
    double y1_ = 0.0;
};

// Third-order IIR high-cut (-3 dB near 22 Hz) for 128 or 256 samples per
// second; any other rate gives an all-zero set (output 0).
class HighCutIir {
public:
    void Set(int rate);
    std::int16_t Step(std::int16_t x);

private:
    double b_[4] = {};
    double a_[4] = {};
    std::int16_t x_[3] = {};
    double y_[3] = {};
};

// 30-tap linear-phase FIR high-cut for 256 samples per second.
class HighCutFir {
public:
    void Clear();
    std::int16_t Step(std::int16_t x);

private:
    std::int16_t x_[29] = {};
};

// Second-order mains notch at f0. Set leaves the history alone; Clear empties it.
class NotchFilter {
public:
    void Set(double r, double f0, int rate);
    void Clear();
    std::int16_t Step(std::int16_t x);

private:
    double c_ = 0.0;
    double cr_ = 0.0;
    double rr_ = 0.0;
    std::int16_t x_[2] = {};
    double y_[2] = {};
};

// High-cut variants of the engineering Filter button (1 -> 2 -> 3 -> 4 -> 1).
enum class FilterMode : int {
    Fir = 1,             // FIR high-cut, only at 256 per second
    Iir = 2,             // IIR high-cut
    IirNotch60 = 3,      // IIR high-cut and the 60 Hz notch
    IirNotch60And50 = 4  // IIR high-cut, 60 Hz and 50 Hz notches (the start value)
};

// The switches of the chain; the start values are the ones every user sees.
struct FilterSwitches {
    bool lowCut = true;
    bool highCut = true;
    FilterMode mode = FilterMode::IirNotch60And50;
    double lowCutFrequency = 0.8;  // fc of the low-cut
    bool notchesDisabled = false;
    bool display256 = true;  // off: 256/s recordings are decimated to 128/s when opened
};

// The Filter button: the next mode, 4 wrapping to 1.
FilterMode NextFilterMode(FilterMode mode);
// The iir button: 0.05 -> 0.1 -> 0.15 -> 0.05; any other value (the start
// value 0.8 too) stays.
double NextLowCutFrequency(double fc);

// The whole chain over one block of samples at `rate` (128 or 256), in
// place: low-cut backwards then forwards over the result (zero phase),
// high-cut, then the notches. Every history, the notches' too, starts empty
// at each pass, so the same block always gives the same output.
class DisplayFilterChain {
public:
    explicit DisplayFilterChain(FilterSwitches switches = {}) : switches_(switches) {}
    FilterSwitches& switches() { return switches_; }
    const FilterSwitches& switches() const { return switches_; }

    void FilterDisplayBlock(std::int16_t* samples, std::size_t count, int rate);

private:
    FilterSwitches switches_;
    LowCutFilter lowCut_;
    HighCutIir iir_;
    HighCutFir fir_;
    NotchFilter notch_;
};

}  // namespace ecg
