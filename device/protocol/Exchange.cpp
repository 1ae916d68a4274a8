#include "device/protocol/Exchange.h"

namespace device::protocol {

std::uint32_t Exchange(BlockPort& port, const Frame& frame, Frame& answer, std::uint32_t readTimeoutMs)
{
    answer.fill(0);
    port.WriteBlock(frame.data(), FrameSize, ExchangeWriteTimeoutMs);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::uint32_t got = port.ReadBlock(answer.data(), FrameSize, readTimeoutMs);
        // A stale answer of an earlier command is skipped; the right one may follow.
        if (got == FrameSize && answer[3] == frame[1])
            return FrameSize;
    }
    return 0;
}

bool CommandAccepted(BlockPort& port, const Frame& frame, Frame& answer)
{
    answer.fill(0);
    port.WriteBlock(frame.data(), FrameSize, CommandWriteTimeoutMs);
    const std::uint32_t got = port.ReadBlock(answer.data(), FrameSize, AnswerTimeoutMs);
    return got == FrameSize && answer[3] == frame[1];
}

}  // namespace device::protocol
