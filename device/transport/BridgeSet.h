#pragma once
#include "device/BridgeApi.h"

#include <memory>
#include <string_view>

// The bridge drivers a link runs on, chosen by a link name:
//   "" or "usb"   both real bridges: HID-to-UART over hidraw and the serial bridges udev finds
//   "hid"         the HID-to-UART bridge only
//   "serial"      the serial bridges udev finds only
//   "serial:PATH" only the tty or pseudo-terminal at PATH
// The unused family is an absent driver, so the link never finds a device there.

namespace device::transport {

class BridgeSet {
public:
    virtual ~BridgeSet() = default;
    virtual HidUartApi& hid() = 0;
    virtual XpressApi& xpress() = 0;

    // nullptr for a name not listed above (including "demo", which the simulator provides).
    // The set must outlive the Link built on hid() and xpress().
    static std::unique_ptr<BridgeSet> Create(std::string_view linkName);
};

}  // namespace device::transport
