#pragma once
#include <cstdint>
#include <string>

// The two driver interfaces the link layer sits on. Each mirrors the
// operations of one bridge driver family, with its status convention:
// 0 = success, anything else = failure. Implementations: the CP2110/CP2114
// HID-to-UART protocol over hidapi, the CP210x bridge as a serial tty, and the
// in-process recorder simulator; tests use fakes.

namespace device {

using HidHandle = void*;  // nullptr = no device open

// Open status of both families when the bridge is there but this user may not open its device node
// (no udev rule giving the logged-in user access).
constexpr int BridgeAccessDenied = 0xAC;

// HID-to-UART bridge driver.
class HidUartApi {
public:
    virtual ~HidUartApi() = default;
    virtual int GetNumDevices(std::uint32_t* count) = 0;
    // Identification text of the device at index (usable device when 0 is returned).
    virtual int GetString(std::uint32_t index, std::string* text) = 0;
    // Non-zero status when no device is open on handle.
    virtual int IsOpened(HidHandle handle) = 0;
    virtual int Open(HidHandle* handle, std::uint32_t index) = 0;
    virtual int Close(HidHandle handle) = 0;
    virtual int FlushBuffers(HidHandle handle, bool transmit, bool receive) = 0;
    virtual int GetPartNumber(HidHandle handle, std::uint8_t* partNumber, std::uint8_t* version) = 0;
    // Framing codes: data bits (3 = eight), parity (0 = none), stop bits (0 = one), flow control (0 = none).
    virtual int SetUartConfig(HidHandle handle, std::uint32_t baud, std::uint8_t dataBits,
                              std::uint8_t parity, std::uint8_t stopBits, std::uint8_t flowControl) = 0;
    virtual int GetUartConfig(HidHandle handle, std::uint32_t* baud, std::uint8_t* dataBits,
                              std::uint8_t* parity, std::uint8_t* stopBits, std::uint8_t* flowControl) = 0;
    virtual int SetTimeouts(HidHandle handle, std::uint32_t readMs, std::uint32_t writeMs) = 0;
    // Reads up to count bytes; *got may be fewer (time-out).
    virtual int Read(HidHandle handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t* got) = 0;
    virtual int Write(HidHandle handle, const std::uint8_t* buffer, std::uint32_t count, std::uint32_t* written) = 0;
};

// Direct-access bridge driver (the USBXpress family).
class XpressApi {
public:
    using Handle = std::int32_t;  // -1 = none
    virtual ~XpressApi() = default;
    virtual int GetNumDevices(std::uint32_t* count) = 0;
    virtual int GetProductString(std::uint32_t index, std::string* text) = 0;
    virtual int Open(std::uint32_t index, Handle* handle) = 0;
    virtual int SetBaudRate(Handle handle, std::uint32_t baud) = 0;
    virtual int Close(Handle handle) = 0;
    virtual int FlushBuffers(Handle handle, bool transmit, bool receive) = 0;
    // Driver-wide time-outs for the next transfers.
    virtual int SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) = 0;
    virtual int Write(Handle handle, const std::uint8_t* buffer, std::uint32_t count, std::uint32_t* written) = 0;
    virtual int Read(Handle handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t* got) = 0;
};

}  // namespace device
