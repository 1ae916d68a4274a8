#include "tools/rhyscan/Signal256.h"

namespace rhy {

float WithoutBaseline::Make(int64_t i)
{
    if (i < 0 || i >= x_.size()) return 0.0f;
    if (i < made_ - kKept) {
        // Further back than what is kept: start over (callers read forward).
        made_ = 0;
        mean_ = RunningCentredMean(x_.size(), kHalf);
    }
    const auto in = [this](int64_t k) { return x_[k]; };
    for (; made_ <= i; ++made_) recent_[static_cast<size_t>(made_) % kKept] = x_[made_] - mean_.Next(in);
    return recent_[static_cast<size_t>(i) % kKept];
}

}  // namespace rhy
