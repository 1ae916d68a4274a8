#pragma once
#include <cstdint>

// The two transfer operations the command layer needs from the link.

namespace device::protocol {

class BlockPort {
public:
    virtual ~BlockPort() = default;
    // Bytes written, 0 on any failure.
    virtual std::uint32_t WriteBlock(const std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs) = 0;
    // Bytes placed in buffer, 0..length; fewer means a time-out or an error.
    virtual std::uint32_t ReadBlock(std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs) = 0;
};

}  // namespace device::protocol
