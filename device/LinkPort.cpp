#include "device/LinkPort.h"
#include <algorithm>

namespace device {

std::uint32_t LinkPort::WriteBlock(const std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs)
{
    return link_.WriteBlock(buffer, length, timeoutMs);
}

std::uint32_t LinkPort::ReadBlock(std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs)
{
    const std::int64_t deadline = env_.NowMs() + timeoutMs;
    std::uint32_t total = 0;
    while (total < length) {
        if (interrupted_ && interrupted_())
            break;
        const std::int64_t sliceStart = env_.NowMs();
        const std::int64_t left = deadline - sliceStart;
        const auto slice = static_cast<std::uint32_t>(std::clamp<std::int64_t>(left, 1, PumpSliceMs));
        // The slice ends at its time even while bytes keep trickling in.
        const std::int64_t sliceEnd = sliceStart + slice;
        link_.SetReadLimit([this, sliceEnd] { return env_.NowMs() >= sliceEnd; });
        const std::uint32_t got = link_.ReadBlock(buffer + total, length - total, slice);
        link_.SetReadLimit({});
        total += got;
        if (total >= length)
            break;
        const std::int64_t now = env_.NowMs();
        if (now >= deadline)
            break;
        // Nothing came and the slice did not even wait: the link is down, waiting longer is useless.
        if (got == 0 && now - sliceStart < (slice + 1) / 2)
            break;
        env_.Pump();
    }
    return total;
}

}  // namespace device
