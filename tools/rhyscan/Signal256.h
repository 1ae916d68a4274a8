#pragma once
#include <array>
#include <cstdint>
#include <span>

// The recording as rhyscan measures it, at 256 per second, read sample by
// sample instead of made whole: a recording of days would need hundreds of
// megabytes for each signal derived from it.
namespace rhy {

// The samples at 256 per second; 128 per second is doubled by interpolation
// (each second sample halfway to the next).
class Samples256 {
public:
    Samples256(std::span<const int16_t> samples, int rate) : samples_(samples), doubled_(rate == 128) {}
    int64_t size() const { return static_cast<int64_t>(samples_.size()) * (doubled_ ? 2 : 1); }
    float operator[](int64_t i) const
    {
        const size_t at = static_cast<size_t>(i);
        if (!doubled_) return samples_[at];
        const size_t k = at / 2;
        const float a = samples_[k];
        if (at % 2 == 0) return a;
        const float b = k + 1 < samples_.size() ? samples_[k + 1] : samples_[k];
        return 0.5f * (a + b);
    }

private:
    std::span<const int16_t> samples_;
    bool doubled_;
};

// Centred means over 2*half+1 samples (fewer at the ends) of a signal of n
// samples, position after position from the first. The sums run in double
// from the start of the signal, so each mean is exactly what a table of
// prefix sums over the whole signal gives, without the table.
class RunningCentredMean {
public:
    RunningCentredMean(int64_t n, int half) : n_(n), half_(half) {}
    // The mean at the next position; in(k) gives the signal at k, called for
    // k ascending from next - half - 1 (the sample leaving the window) on.
    template <typename In>
    float Next(In&& in)
    {
        const int64_t i = next_++;
        const int64_t lo = i > half_ ? i - half_ : 0, hi = i + half_ + 1 < n_ ? i + half_ + 1 : n_;
        for (; leadAt_ < hi; ++leadAt_) lead_ += in(leadAt_);
        for (; trailAt_ < lo; ++trailAt_) trail_ += in(trailAt_);
        return static_cast<float>((lead_ - trail_) / static_cast<double>(hi - lo));
    }

private:
    int64_t n_, half_;
    int64_t next_ = 0, leadAt_ = 0, trailAt_ = 0;
    double lead_ = 0.0, trail_ = 0.0;
};

// The signal at 256 per second without its baseline (the mean over 0.6 s
// around each sample taken off), made as it is read. Reads go forward, each
// no more than kKept samples before the farthest one read so far (one beat's
// neighbourhood); a read further back starts over from the beginning.
class WithoutBaseline {
public:
    WithoutBaseline(std::span<const int16_t> samples, int rate) : x_(samples, rate), mean_(x_.size(), kHalf) {}
    int64_t size() const { return x_.size(); }
    // 0 outside the signal.
    float at(int64_t i)
    {
        if (i < made_ && i >= made_ - kKept && i >= 0) return recent_[static_cast<size_t>(i) % kKept];
        return Make(i);
    }

private:
    float Make(int64_t i);
    static constexpr int kHalf = 256 * 3 / 10;
    static constexpr int64_t kKept = 1024;
    Samples256 x_;
    RunningCentredMean mean_;
    int64_t made_ = 0;  // positions made so far
    std::array<float, kKept> recent_{};
};

}  // namespace rhy
