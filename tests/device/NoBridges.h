#pragma once
#include "device/BridgeApi.h"

// Driver stand-ins with nothing attached, for tests that exercise one bridge
// or only the presence bytes.

namespace device::fakes {

class NoHid : public HidUartApi {
public:
    static constexpr int NotOpen = 2;
    int GetNumDevices(std::uint32_t* count) override { *count = 0; return 0; }
    int GetString(std::uint32_t, std::string*) override { return 1; }
    int IsOpened(HidHandle) override { return NotOpen; }
    int Open(HidHandle*, std::uint32_t) override { return 1; }
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
    int Read(HidHandle, std::uint8_t*, std::uint32_t, std::uint32_t*) override { return NotOpen; }
    int Write(HidHandle, const std::uint8_t*, std::uint32_t, std::uint32_t*) override { return NotOpen; }
};

class NoXpress : public XpressApi {
public:
    int GetNumDevices(std::uint32_t* count) override { *count = 0; return 0; }
    int GetProductString(std::uint32_t, std::string*) override { return 1; }
    int Open(std::uint32_t, Handle*) override { return 1; }
    int SetBaudRate(Handle, std::uint32_t) override { return 1; }
    int Close(Handle) override { return 1; }
    int FlushBuffers(Handle, bool, bool) override { return 1; }
    int SetTimeouts(std::uint32_t, std::uint32_t) override { return 0; }
    int Write(Handle, const std::uint8_t*, std::uint32_t, std::uint32_t*) override { return 1; }
    int Read(Handle, std::uint8_t*, std::uint32_t, std::uint32_t*) override { return 1; }
};

}  // namespace device::fakes
