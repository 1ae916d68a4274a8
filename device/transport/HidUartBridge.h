#pragma once
#include "device/BridgeApi.h"
#include "device/transport/RawHid.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The HID-to-UART bridge chip (USB ID 10c4:ea80) spoken directly over raw
// HID: UART data in interrupt reports whose report ID is the payload length,
// configuration in feature reports. Offers the driver operations of
// HidUartApi with its status convention.

namespace device::transport {

// Status codes returned by HidUartBridge (0 = success).
enum HidUartStatus : int {
    HidUartSuccess = 0,
    HidUartDeviceNotFound = 0x01,
    HidUartInvalidHandle = 0x02,  // handle not open; the link stops transferring at once
    HidUartInvalidParameter = 0x04,
    HidUartReadError = 0x10,
    HidUartWriteError = 0x11,
    HidUartDeviceIoFailed = 0x14,
};

class HidUartBridge : public HidUartApi {
public:
    static constexpr std::uint16_t VendorId = 0x10C4;
    static constexpr std::uint16_t ProductId = 0xEA80;
    static constexpr std::size_t MaxPayload = 63;  // bytes per interrupt report

    // raw must outlive the bridge.
    explicit HidUartBridge(RawHid& raw);
    ~HidUartBridge() override;

    // Enumerates 10c4:ea80 devices; the indices below refer to the latest enumeration.
    int GetNumDevices(std::uint32_t* count) override;
    // "product serial path" of the device at index.
    int GetString(std::uint32_t index, std::string* text) override;
    int IsOpened(HidHandle handle) override;
    int Open(HidHandle* handle, std::uint32_t index) override;
    int Close(HidHandle handle) override;
    // Purges the chip's FIFOs; the receive side also drops reports queued on the host.
    int FlushBuffers(HidHandle handle, bool transmit, bool receive) override;
    int GetPartNumber(HidHandle handle, std::uint8_t* partNumber, std::uint8_t* version) override;
    // Disables the UART, sets speed and framing, purges both FIFOs, reads the status, enables the UART.
    int SetUartConfig(HidHandle handle, std::uint32_t baud, std::uint8_t dataBits, std::uint8_t parity,
                      std::uint8_t stopBits, std::uint8_t flowControl) override;
    int GetUartConfig(HidHandle handle, std::uint32_t* baud, std::uint8_t* dataBits, std::uint8_t* parity,
                      std::uint8_t* stopBits, std::uint8_t* flowControl) override;
    int SetTimeouts(HidHandle handle, std::uint32_t readMs, std::uint32_t writeMs) override;
    // Waits up to the read time-out; a time-out is success with *got < count, an I/O error is failure.
    int Read(HidHandle handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t* got) override;
    // Sends count bytes in reports of at most 63; *written counts the bytes of reports sent. Raw HID
    // writes block until the report is taken, so the write time-out is not needed.
    int Write(HidHandle handle, const std::uint8_t* buffer, std::uint32_t count, std::uint32_t* written) override;

private:
    struct OpenDevice {
        std::unique_ptr<RawHidDevice> device;
        std::deque<std::uint8_t> pending;  // received bytes beyond what a read asked for
        std::uint32_t readTimeoutMs = 1000;
        std::uint32_t writeTimeoutMs = 1000;
    };

    OpenDevice* find(HidHandle handle);
    int sendFeature(OpenDevice& open, std::vector<std::uint8_t> report);
    int getFeature(OpenDevice& open, std::uint8_t reportId, std::uint8_t* report, std::size_t length);

    RawHid& raw_;
    std::vector<RawHidInfo> devices_;
    // Handles are never reused, so a stale handle can only miss, never reach another device.
    std::map<std::uintptr_t, OpenDevice> open_;
    std::uintptr_t nextHandle_ = 1;
};

}  // namespace device::transport
