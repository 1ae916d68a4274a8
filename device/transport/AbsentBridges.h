#pragma once
#include "device/BridgeApi.h"

// Drivers with nothing attached: for a link that uses only one bridge family
// (a named serial port, the HID bridge alone, the simulator). Every device
// operation fails with "not open".

namespace device::transport {

class AbsentHidUart : public HidUartApi {
public:
    static constexpr int NotOpen = 2;
    int GetNumDevices(std::uint32_t* count) override { *count = 0; return 0; }
    int GetString(std::uint32_t, std::string*) override { return NotOpen; }
    int IsOpened(HidHandle) override { return NotOpen; }
    int Open(HidHandle* handle, std::uint32_t) override { *handle = nullptr; return NotOpen; }
    int Close(HidHandle) override { return NotOpen; }
    int FlushBuffers(HidHandle, bool, bool) override { return NotOpen; }
    int GetPartNumber(HidHandle, std::uint8_t*, std::uint8_t*) override { return NotOpen; }
    int SetUartConfig(HidHandle, std::uint32_t, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t) override
    {
        return NotOpen;
    }
    int GetUartConfig(HidHandle, std::uint32_t*, std::uint8_t*, std::uint8_t*, std::uint8_t*, std::uint8_t*) override
    {
        return NotOpen;
    }
    int SetTimeouts(HidHandle, std::uint32_t, std::uint32_t) override { return NotOpen; }
    int Read(HidHandle, std::uint8_t*, std::uint32_t, std::uint32_t* got) override { *got = 0; return NotOpen; }
    int Write(HidHandle, const std::uint8_t*, std::uint32_t, std::uint32_t* written) override
    {
        *written = 0;
        return NotOpen;
    }
};

class AbsentXpress : public XpressApi {
public:
    static constexpr int NotOpen = 2;
    int GetNumDevices(std::uint32_t* count) override { *count = 0; return 0; }
    int GetProductString(std::uint32_t, std::string*) override { return NotOpen; }
    int Open(std::uint32_t, Handle* handle) override { *handle = -1; return NotOpen; }
    int SetBaudRate(Handle, std::uint32_t) override { return NotOpen; }
    int Close(Handle) override { return NotOpen; }
    int FlushBuffers(Handle, bool, bool) override { return NotOpen; }
    int SetTimeouts(std::uint32_t, std::uint32_t) override { return 0; }
    int Write(Handle, const std::uint8_t*, std::uint32_t, std::uint32_t* written) override
    {
        *written = 0;
        return NotOpen;
    }
    int Read(Handle, std::uint8_t*, std::uint32_t, std::uint32_t* got) override { *got = 0; return NotOpen; }
};

}  // namespace device::transport
