#pragma once
#include "device/BridgeApi.h"
#include "sim/recorder/SimulatedRecorder.h"
#include <functional>

// The serial bridge driver with the simulated recorder behind it, so the real
// Link runs over it unchanged. A read with nothing to deliver waits its
// time-out through the injected sleep (a fake clock in tests).

namespace sim {

class SimulatedXpress : public device::XpressApi {
public:
    SimulatedXpress(SimulatedRecorder& recorder, std::function<void(std::uint32_t ms)> sleepMs);

    // Plugging the bridge in or out; unplugged, there is no device and every transfer fails.
    void SetPlugged(bool plugged);
    bool plugged() const { return plugged_; }
    std::uint32_t hostBaud() const { return baud_; }

    int GetNumDevices(std::uint32_t* count) override;
    int GetProductString(std::uint32_t index, std::string* text) override;
    int Open(std::uint32_t index, Handle* handle) override;
    int SetBaudRate(Handle handle, std::uint32_t baud) override;
    int Close(Handle handle) override;
    int FlushBuffers(Handle handle, bool transmit, bool receive) override;
    int SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
    int Write(Handle handle, const std::uint8_t* buffer, std::uint32_t count, std::uint32_t* written) override;
    int Read(Handle handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t* got) override;

private:
    bool usable(Handle handle) const { return plugged_ && open_ && handle == handleValue_; }

    SimulatedRecorder& recorder_;
    std::function<void(std::uint32_t)> sleepMs_;
    bool plugged_ = true;
    bool open_ = false;
    Handle handleValue_ = 7;
    std::uint32_t baud_ = 230400;
    std::uint32_t readTimeoutMs_ = 1000;
};

}  // namespace sim
