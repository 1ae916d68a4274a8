#pragma once
#include <cstdint>
#include <functional>

// What the device step and the requesters need from the outside world: a
// clock, sleeping, and the window-message pump. The program passes the real
// ones (QtDeviceEnvironment); tests pass fakes that advance time at once.

namespace device {

struct LocalDateTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class DeviceEnvironment {
public:
    virtual ~DeviceEnvironment() = default;
    // Monotonic milliseconds.
    virtual std::int64_t NowMs() = 0;
    // The computer's local calendar time now.
    virtual LocalDateTime LocalNow() = 0;
    // Sleeps without pumping.
    virtual void SleepMs(std::uint32_t ms) = 0;
    // Processes pending window messages (may run button handlers, timers and the device step).
    virtual void Pump() = 0;
    // Runs action from the message loop later, never inside the Pump call that is going on now.
    virtual void Post(std::function<void()> action) = 0;
};

// Longest time the window goes without its messages being processed during waits and reads, ms.
constexpr std::uint32_t PumpSliceMs = 50;

// Sleeps ms in slices of at most PumpSliceMs, pumping messages before each slice.
void PumpingSleep(DeviceEnvironment& env, std::uint32_t ms);

// The real clock, sleep and Qt event pump of the running program.
class QtDeviceEnvironment : public DeviceEnvironment {
public:
    QtDeviceEnvironment();
    std::int64_t NowMs() override;
    LocalDateTime LocalNow() override;
    void SleepMs(std::uint32_t ms) override;
    void Pump() override;
    void Post(std::function<void()> action) override;

private:
    std::int64_t startMs_;
};

}  // namespace device
