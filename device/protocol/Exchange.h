#pragma once
#include "device/protocol/BlockPort.h"
#include "device/protocol/Commands.h"

namespace device::protocol {

// Writes the frame once (500 ms), then reads 64-byte answers up to three times, each with
// readTimeoutMs, until one is whole and echoes the frame's command code in byte 3. The answer
// buffer is cleared first. Returns 64 for an accepted answer, 0 otherwise.
std::uint32_t Exchange(BlockPort& port, const Frame& frame, Frame& answer, std::uint32_t readTimeoutMs);

// One write and one read: true when the whole 64-byte answer came and byte 3 is the command code.
bool CommandAccepted(BlockPort& port, const Frame& frame, Frame& answer);

}  // namespace device::protocol
