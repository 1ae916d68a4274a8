#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The few raw HID operations the HID-to-UART bridge needs, so the bridge
// protocol can be tested against a fake device. Buffers always start with
// the report ID, as on the wire.

namespace device::transport {

struct RawHidInfo {
    std::string path;     // platform path, e.g. /dev/hidraw3
    std::string product;  // product string, may be empty
    std::string serial;   // serial number string, may be empty
};

class RawHidDevice {
public:
    virtual ~RawHidDevice() = default;
    // Sends one output report; bytes sent, or -1 on error.
    virtual int write(const std::uint8_t* report, std::size_t length) = 0;
    // Waits up to timeoutMs (0 = do not wait) for one input report; its length, 0 on time-out, -1 on error.
    virtual int readTimeout(std::uint8_t* report, std::size_t capacity, int timeoutMs) = 0;
    // Feature reports; bytes transferred including the report ID, or -1 on error.
    virtual int sendFeature(const std::uint8_t* report, std::size_t length) = 0;
    virtual int getFeature(std::uint8_t* report, std::size_t length) = 0;
};

class RawHid {
public:
    virtual ~RawHid() = default;
    // Devices with this USB vendor and product ID, in a stable order.
    virtual std::vector<RawHidInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) = 0;
    // nullptr when the device cannot be opened (gone, or no permission).
    virtual std::unique_ptr<RawHidDevice> open(const std::string& path) = 0;
};

// hidapi (hidraw backend).
class HidapiRawHid : public RawHid {
public:
    std::vector<RawHidInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) override;
    std::unique_ptr<RawHidDevice> open(const std::string& path) override;
};

}  // namespace device::transport
