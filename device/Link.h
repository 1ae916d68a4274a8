#pragma once
#include "device/BridgeApi.h"
#include <cstdint>
#include <functional>

// The byte pipe to the recorder: presence bookkeeping, opening and
// configuring the bridge at one of seven speeds, and the two transfer
// operations everything above is built on. Called from the device step only.

namespace device {

constexpr std::uint8_t DeviceAttached = 149;
constexpr std::uint8_t DeviceDetached = 150;

// LinkStatus values the link itself gives meaning to: 2 makes every transfer return 0 at once
// (the HID bridge reports it for a handle that is not open), 4 marks a read-back configuration
// that differs from what was set.
constexpr std::int32_t HidInvalidHandle = 2;
constexpr std::int32_t ConfigMismatch = 4;

enum LinkTransportKind : std::int32_t { HidBridge = 0, UsbXpress = 1 };

struct LinkState {
    std::int32_t LinkTransport = HidBridge;
    HidHandle hidHandle = nullptr;
    std::int32_t LinkStatus = 0;
    std::uint8_t hidIdentification[2] = {0, 0};
    XpressApi::Handle xpressHandle = -1;
    std::int32_t xpressDeviceCount = 0;
    std::int32_t RateCode = 2;
    std::uint32_t baudRate = 0;
    // Neither attached nor detached until start-up sets it: until then the step runs no job and the
    // connection picture is left alone.
    std::uint8_t DevicePresence = 0;
    std::uint8_t PresenceEventPending = 0;
    std::uint8_t arrivalStage = 0;
    std::uint8_t ProbeAtStart = 0;
    // The last attempt to open a bridge was refused for lack of permission: a recorder is there,
    // but this user cannot reach it.
    bool accessDenied = false;
    // Events seen since the last presence service, the dropped ones too. A removal and an arrival
    // in one gap (a cable pulled and put back while a job ran) leave the handles stale and the
    // recorder's presence unknown: the service then closes and lets a scan decide.
    bool removalSeen = false;
    bool arrivalSeen = false;
    // Set by a service that found the recorder back after such a gap; the device step takes it
    // as a removal and an arrival in one.
    bool replugged = false;
};

// Baud rate for a rate code 2..8 (230400 + (code - 2) * 115200); other codes give 0.
std::uint32_t BaudForRateCode(std::int32_t rateCode);

class Link {
public:
    Link(HidUartApi& hid, XpressApi& xpress);

    LinkState& state() { return state_; }
    const LinkState& state() const { return state_; }

    // Start-up values: detached, arrival stage 1, probe on the next tick.
    void ResetForStartup();
    // Device-change events (arrival / removal complete); dropped while one is pending, except that
    // a removal and an arrival in one gap make the next service close and scan afresh.
    void DeviceArrived();
    void DeviceRemoved();

    // Start-up probe, re-scan after an arrival, close after a removal; runs first in every device tick.
    void ServicePresence();
    // Sets RateCode; codes outside 2..8 keep the previous baud rate at OpenLink.
    void SetRateCode(std::int32_t code) { state_.RateCode = code; }
    // Configures the bridge at RateCode. HID bridge: always true (failures show in LinkStatus and
    // in later transfers). Serial bridge: re-opens device 0; false when no device could be opened.
    bool OpenLink();
    // Bytes written, 0 on any failure.
    std::uint32_t WriteBlock(const std::uint8_t* buffer, std::uint32_t length, std::uint32_t writeTimeoutMs);
    // Bytes placed in buffer, 0..length; fewer means a time-out or an error.
    std::uint32_t ReadBlock(std::uint8_t* buffer, std::uint32_t length, std::uint32_t readTimeoutMs);
    // While set, looked at after each driver read that delivered bytes: once it says so, ReadBlock
    // returns what it has though more is coming. A line that trickles would otherwise keep one read
    // going for as long as bytes keep coming, whatever its time-out.
    void SetReadLimit(std::function<bool()> reached) { readLimit_ = std::move(reached); }

private:
    // Each returns the number of devices found.
    int hidScan();
    int xpressScan();
    int countXpressDevices();
    void closeHid(bool keepStatus);
    // After a removal and an arrival since the last service: close both bridges, then attached only
    // when a scan finds one, and then with a fresh arrival read.
    void rescanAfterReplug();
    void closeXpress();
    void applyRateCode();
    void openHid();
    bool openXpress();

    HidUartApi& hid_;
    XpressApi& xpress_;
    LinkState state_;
    std::function<bool()> readLimit_;
};

}  // namespace device
