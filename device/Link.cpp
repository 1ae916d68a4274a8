#include "device/Link.h"

namespace device {

namespace {

// Framing handed to the HID bridge: eight data bits, no parity, one stop bit, no flow control.
constexpr std::uint8_t FrameDataBits = 3;
constexpr std::uint8_t FrameParity = 0;
constexpr std::uint8_t FrameStopBits = 0;
constexpr std::uint8_t FrameFlowControl = 0;
constexpr std::uint32_t ConfigureTimeoutMs = 1000;

}  // namespace

std::uint32_t BaudForRateCode(std::int32_t rateCode)
{
    if (rateCode < 2 || rateCode > 8)
        return 0;
    return 230400u + static_cast<std::uint32_t>(rateCode - 2) * 115200u;
}

Link::Link(HidUartApi& hid, XpressApi& xpress) : hid_(hid), xpress_(xpress) {}

void Link::ResetForStartup()
{
    state_.DevicePresence = DeviceDetached;
    state_.arrivalStage = 1;
    state_.ProbeAtStart = 1;
}

void Link::DeviceArrived()
{
    state_.arrivalSeen = true;
    if (state_.PresenceEventPending)
        return;
    state_.PresenceEventPending = 1;
    state_.arrivalStage = 1;
    state_.DevicePresence = DeviceAttached;
}

void Link::DeviceRemoved()
{
    state_.removalSeen = true;
    if (state_.PresenceEventPending)
        return;
    state_.PresenceEventPending = 1;
    state_.DevicePresence = DeviceDetached;
}

void Link::applyRateCode()
{
    const std::uint32_t baud = BaudForRateCode(state_.RateCode);
    if (baud != 0)
        state_.baudRate = baud;
}

int Link::hidScan()
{
    std::uint32_t count = 0;
    if (hid_.GetNumDevices(&count) != 0 || state_.hidHandle != nullptr)
        return 0;
    int found = 0;
    for (std::uint32_t index = 0; index < count; ++index) {
        std::string text;
        if (hid_.GetString(index, &text) != 0)
            continue;
        // Only the first usable index is opened; afterwards the handle reports itself open.
        if (hid_.IsOpened(state_.hidHandle) == 0)
            continue;
        state_.LinkStatus = hid_.Open(&state_.hidHandle, index);
        state_.accessDenied = state_.LinkStatus == BridgeAccessDenied;
        if (state_.LinkStatus == 0) {
            ++found;
            state_.LinkTransport = HidBridge;
        }
    }
    return found;
}

int Link::countXpressDevices()
{
    std::uint32_t count = 0;
    if (xpress_.GetNumDevices(&count) != 0)
        return 0;
    int found = 0;
    for (std::uint32_t index = 0; index < count; ++index) {
        std::string text;
        if (xpress_.GetProductString(index, &text) == 0)
            ++found;
    }
    return found;
}

int Link::xpressScan()
{
    const int found = countXpressDevices();
    if (found > 0)
        state_.LinkTransport = UsbXpress;
    return found;
}

void Link::closeHid(bool keepStatus)
{
    const int status = hid_.Close(state_.hidHandle);
    if (!keepStatus)
        state_.LinkStatus = status;
    state_.hidHandle = nullptr;
}

void Link::closeXpress()
{
    // A closed descriptor number may be handed out again, so the handle never outlives its close.
    if (state_.xpressHandle == -1)
        return;
    xpress_.Close(state_.xpressHandle);
    state_.xpressHandle = -1;
}

void Link::ServicePresence()
{
    if (state_.ProbeAtStart) {
        closeHid(false);
        const int found = hidScan() + xpressScan();
        if (found > 0) {
            state_.DevicePresence = DeviceAttached;
        } else if (state_.LinkTransport == HidBridge) {
            closeHid(true);
        } else {
            closeXpress();
        }
        state_.ProbeAtStart = 0;
        state_.PresenceEventPending = 0;
    }
    if (state_.PresenceEventPending && state_.removalSeen && state_.arrivalSeen)
        rescanAfterReplug();
    state_.removalSeen = state_.arrivalSeen = false;
    if (state_.DevicePresence == DeviceAttached && state_.PresenceEventPending) {
        hidScan();
        xpressScan();
        state_.PresenceEventPending = 0;
    }
    if (state_.DevicePresence == DeviceDetached && state_.PresenceEventPending) {
        state_.accessDenied = false;
        if (state_.LinkTransport == HidBridge)
            closeHid(false);
        else
            closeXpress();
        state_.PresenceEventPending = 0;
    }
}

void Link::rescanAfterReplug()
{
    // Which event came last says nothing: any hidraw or tty device makes them. The bridges say
    // whether a recorder is there, and a recorder found is read afresh (it may be another one).
    closeHid(false);
    closeXpress();
    state_.accessDenied = false;
    const int found = hidScan() + xpressScan();
    state_.DevicePresence = found > 0 ? DeviceAttached : DeviceDetached;
    if (found > 0)
        state_.arrivalStage = 1;
    state_.replugged = true;
    state_.PresenceEventPending = 0;
}

bool Link::OpenLink()
{
    if (state_.LinkTransport == UsbXpress)
        return openXpress();
    openHid();
    return true;
}

void Link::openHid()
{
    LinkState& s = state_;
    if (s.LinkStatus == 0)
        applyRateCode();
    if (s.LinkStatus == 0)
        s.LinkStatus = hid_.GetPartNumber(s.hidHandle, &s.hidIdentification[0], &s.hidIdentification[1]);
    if (s.LinkStatus == 0)
        s.LinkStatus = hid_.SetUartConfig(s.hidHandle, s.baudRate, FrameDataBits, FrameParity, FrameStopBits,
                                          FrameFlowControl);
    if (s.LinkStatus == 0) {
        std::uint32_t baud = 0;
        std::uint8_t dataBits = 0xFF, parity = 0xFF, stopBits = 0xFF, flow = 0xFF;
        s.LinkStatus = hid_.GetUartConfig(s.hidHandle, &baud, &dataBits, &parity, &stopBits, &flow);
        if (s.LinkStatus == 0 && (baud != s.baudRate || dataBits != FrameDataBits || parity != FrameParity ||
                                  stopBits != FrameStopBits || flow != FrameFlowControl))
            s.LinkStatus = ConfigMismatch;
    }
    if (s.LinkStatus == 0)
        s.LinkStatus = hid_.SetTimeouts(s.hidHandle, ConfigureTimeoutMs, ConfigureTimeoutMs);
    // A failed configuration closes the bridge but keeps the handle value, so the scans leave it alone
    // until a removal clears it: the link stays unusable until the recorder is plugged in again.
    if (s.LinkStatus != 0)
        hid_.Close(s.hidHandle);
}

bool Link::openXpress()
{
    applyRateCode();
    state_.xpressDeviceCount = countXpressDevices();
    closeXpress();
    if (state_.xpressDeviceCount == 0)
        return false;
    XpressApi::Handle handle = -1;
    const int status = xpress_.Open(0, &handle);
    state_.accessDenied = status == BridgeAccessDenied;
    if (status != 0) {
        state_.xpressHandle = -1;
        return false;
    }
    state_.xpressHandle = handle;
    xpress_.SetBaudRate(handle, state_.baudRate);
    return true;
}

std::uint32_t Link::WriteBlock(const std::uint8_t* buffer, std::uint32_t length, std::uint32_t writeTimeoutMs)
{
    std::uint32_t written = 0;
    int status = 0;
    // The flush before every write drops whatever the recorder sent and nobody read.
    if (state_.LinkTransport == UsbXpress) {
        if (state_.xpressHandle == -1)
            return 0;
        xpress_.FlushBuffers(state_.xpressHandle, true, true);
        xpress_.SetTimeouts(0, writeTimeoutMs);
        status = xpress_.Write(state_.xpressHandle, buffer, length, &written);
    } else {
        if (state_.LinkStatus == HidInvalidHandle)
            return 0;
        hid_.FlushBuffers(state_.hidHandle, true, true);
        hid_.SetTimeouts(state_.hidHandle, 0, writeTimeoutMs);
        status = hid_.Write(state_.hidHandle, buffer, length, &written);
    }
    if (status != 0)
        return 0;
    return written <= length ? written : length;
}

std::uint32_t Link::ReadBlock(std::uint8_t* buffer, std::uint32_t length, std::uint32_t readTimeoutMs)
{
    const bool xpress = state_.LinkTransport == UsbXpress;
    if (xpress) {
        if (state_.xpressHandle == -1)
            return 0;
        xpress_.SetTimeouts(readTimeoutMs, 0);
    } else {
        if (state_.LinkStatus == HidInvalidHandle)
            return 0;
        hid_.SetTimeouts(state_.hidHandle, readTimeoutMs, 0);
    }
    std::uint32_t total = 0;
    std::uint32_t remaining = length;
    while (remaining != 0) {
        std::uint32_t got = 0;
        const int status = xpress ? xpress_.Read(state_.xpressHandle, buffer + total, remaining, &got)
                                  : hid_.Read(state_.hidHandle, buffer + total, remaining, &got);
        // Bytes of a failed call are not trusted; a call that delivers nothing ends the read.
        if (status != 0 || got == 0)
            break;
        if (got > remaining)
            got = remaining;
        total += got;
        remaining -= got;
        if (remaining != 0 && readLimit_ && readLimit_())
            break;
    }
    return total;
}

}  // namespace device
