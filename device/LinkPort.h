#pragma once
#include "device/DeviceEnvironment.h"
#include "device/Link.h"
#include "device/protocol/BlockPort.h"
#include <functional>

namespace device {

// The link as the command layer sees it. Reads are cut into slices of at
// most 50 ms with the message pump run between them, so a 2-second read
// keeps the window alive; the whole read still ends at its time-out.
class LinkPort : public protocol::BlockPort {
public:
    LinkPort(Link& link, DeviceEnvironment& env) : link_(link), env_(env) {}

    std::uint32_t WriteBlock(const std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs) override;
    // Bytes placed in buffer, 0..length; stops early when the link fails without waiting.
    std::uint32_t ReadBlock(std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs) override;

    Link& link() { return link_; }
    // While set, looked at before each slice: once it says so, reads end at once with what they
    // have (a cancelled download, a recorder gone), whatever their time-out.
    void SetInterrupt(std::function<bool()> interrupted) { interrupted_ = std::move(interrupted); }

private:
    Link& link_;
    DeviceEnvironment& env_;
    std::function<bool()> interrupted_;
};

}  // namespace device
