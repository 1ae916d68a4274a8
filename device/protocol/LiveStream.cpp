#include "device/protocol/LiveStream.h"

namespace device::protocol {

void AppendStreamSamples(const std::int16_t* samples, std::size_t count, std::vector<std::uint8_t>& out)
{
    for (std::size_t i = 0; i < count; ++i) {
        const auto u = static_cast<std::uint16_t>(samples[i]);
        out.push_back(static_cast<std::uint8_t>(u >> 8));
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    }
}

}  // namespace device::protocol
