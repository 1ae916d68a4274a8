#pragma once
#include <algorithm>
#include <cstddef>
#include <vector>

namespace rhy {

// The middle value (the upper one of an even count); 0 for none.
inline float Median(std::vector<float> v)
{
    if (v.empty()) return 0.0f;
    const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

}  // namespace rhy
