#include "device/transport/HidUartBridge.h"

#include <algorithm>

namespace device::transport {

namespace {

// Feature reports of the bridge chip. The one-time programmable customisation
// reports (0x60..0x66) are never sent: a stray write there changes the chip for good.
constexpr std::uint8_t ReportUartEnable = 0x41;  // [id, 0 | 1]
constexpr std::uint8_t ReportUartStatus = 0x42;  // [id, tx fifo (2), rx fifo (2), errors, break]
constexpr std::uint8_t ReportPurgeFifos = 0x43;  // [id, 1 = transmit | 2 = receive]
constexpr std::uint8_t ReportVersion = 0x46;     // [id, part number, device version]
constexpr std::uint8_t ReportUartConfig = 0x50;  // [id, baud (4, big-endian), parity, flow, data bits, stop bits]
constexpr std::size_t UartStatusLength = 7;
constexpr std::size_t UartConfigLength = 9;
constexpr std::size_t InterruptReportLength = 64;

constexpr std::uint8_t PurgeTransmit = 1;
constexpr std::uint8_t PurgeReceive = 2;

// Limits of the chip's UART.
constexpr std::uint32_t MinBaud = 300;
constexpr std::uint32_t MaxBaud = 1000000;
constexpr std::uint8_t MaxDataBitsCode = 3;  // 0..3 = 5..8 bits
constexpr std::uint8_t MaxParityCode = 4;    // none, odd, even, mark, space
constexpr std::uint8_t MaxStopBitsCode = 1;  // short, long
constexpr std::uint8_t MaxFlowCode = 1;      // none, hardware

// Host-side queue of input reports dropped by a receive flush; bounded so a chattering
// device cannot keep the flush busy.
constexpr int MaxReportsDrained = 256;

bool isCustomisationReport(std::uint8_t id) { return id >= 0x60 && id <= 0x66; }

HidHandle handleFor(std::uintptr_t token) { return reinterpret_cast<HidHandle>(token); }

}  // namespace

HidUartBridge::HidUartBridge(RawHid& raw) : raw_(raw) {}

HidUartBridge::~HidUartBridge() = default;

HidUartBridge::OpenDevice* HidUartBridge::find(HidHandle handle)
{
    const auto it = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == open_.end() ? nullptr : &it->second;
}

int HidUartBridge::sendFeature(OpenDevice& open, std::vector<std::uint8_t> report)
{
    if (report.empty() || isCustomisationReport(report[0]))
        return HidUartInvalidParameter;
    const int sent = open.device->sendFeature(report.data(), report.size());
    return sent == static_cast<int>(report.size()) ? HidUartSuccess : HidUartDeviceIoFailed;
}

int HidUartBridge::getFeature(OpenDevice& open, std::uint8_t reportId, std::uint8_t* report, std::size_t length)
{
    std::fill(report, report + length, 0);
    report[0] = reportId;
    const int got = open.device->getFeature(report, length);
    if (got < static_cast<int>(length) || report[0] != reportId)
        return HidUartDeviceIoFailed;
    return HidUartSuccess;
}

int HidUartBridge::GetNumDevices(std::uint32_t* count)
{
    // Handles already open stay valid; only the index list is renewed.
    devices_ = raw_.enumerate(VendorId, ProductId);
    *count = static_cast<std::uint32_t>(devices_.size());
    return HidUartSuccess;
}

int HidUartBridge::GetString(std::uint32_t index, std::string* text)
{
    if (index >= devices_.size())
        return HidUartDeviceNotFound;
    const RawHidInfo& info = devices_[index];
    *text = info.product + " " + info.serial + " " + info.path;
    return HidUartSuccess;
}

int HidUartBridge::IsOpened(HidHandle handle)
{
    return find(handle) != nullptr ? HidUartSuccess : HidUartInvalidHandle;
}

int HidUartBridge::Open(HidHandle* handle, std::uint32_t index)
{
    *handle = nullptr;
    if (index >= devices_.size())
        return HidUartDeviceNotFound;
    std::unique_ptr<RawHidDevice> device = raw_.open(devices_[index].path);
    if (!device) {
        // hidapi keeps no reason; a node that is there but not ours to open is worth telling apart.
        const bool denied = ::access(devices_[index].path.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
        return denied ? BridgeAccessDenied : HidUartDeviceNotFound;
    }
    const std::uintptr_t token = nextHandle_++;
    open_[token].device = std::move(device);
    *handle = handleFor(token);
    return HidUartSuccess;
}

int HidUartBridge::Close(HidHandle handle)
{
    const auto it = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == open_.end())
        return HidUartInvalidHandle;
    open_.erase(it);
    return HidUartSuccess;
}

int HidUartBridge::FlushBuffers(HidHandle handle, bool transmit, bool receive)
{
    OpenDevice* open = find(handle);
    if (!open)
        return HidUartInvalidHandle;
    const std::uint8_t mask = static_cast<std::uint8_t>((transmit ? PurgeTransmit : 0) | (receive ? PurgeReceive : 0));
    if (mask == 0)
        return HidUartSuccess;
    const int status = sendFeature(*open, {ReportPurgeFifos, mask});
    if (receive) {
        // Reports already handed to the host are past the chip's FIFO: drop them too.
        open->pending.clear();
        std::uint8_t report[InterruptReportLength];
        for (int i = 0; i < MaxReportsDrained && open->device->readTimeout(report, sizeof report, 0) > 0; ++i) {
        }
    }
    return status;
}

int HidUartBridge::GetPartNumber(HidHandle handle, std::uint8_t* partNumber, std::uint8_t* version)
{
    OpenDevice* open = find(handle);
    if (!open)
        return HidUartInvalidHandle;
    std::uint8_t report[3];
    const int status = getFeature(*open, ReportVersion, report, sizeof report);
    if (status != HidUartSuccess)
        return status;
    *partNumber = report[1];
    *version = report[2];
    return HidUartSuccess;
}

int HidUartBridge::SetUartConfig(HidHandle handle, std::uint32_t baud, std::uint8_t dataBits, std::uint8_t parity,
                                 std::uint8_t stopBits, std::uint8_t flowControl)
{
    OpenDevice* open = find(handle);
    if (!open)
        return HidUartInvalidHandle;
    if (baud < MinBaud || baud > MaxBaud || dataBits > MaxDataBitsCode || parity > MaxParityCode ||
        stopBits > MaxStopBitsCode || flowControl > MaxFlowCode)
        return HidUartInvalidParameter;
    // The configuration is volatile and the UART starts disabled after power-on, so every open
    // configures with the UART off, starts from empty FIFOs, and enables it last.
    int status = sendFeature(*open, {ReportUartEnable, 0});
    if (status == HidUartSuccess)
        status = sendFeature(*open, {ReportUartConfig, static_cast<std::uint8_t>(baud >> 24),
                                     static_cast<std::uint8_t>(baud >> 16), static_cast<std::uint8_t>(baud >> 8),
                                     static_cast<std::uint8_t>(baud), parity, flowControl, dataBits, stopBits});
    if (status == HidUartSuccess)
        status = sendFeature(*open, {ReportPurgeFifos, PurgeTransmit | PurgeReceive});
    if (status == HidUartSuccess) {
        std::uint8_t report[UartStatusLength];
        status = getFeature(*open, ReportUartStatus, report, sizeof report);
    }
    if (status == HidUartSuccess)
        status = sendFeature(*open, {ReportUartEnable, 1});
    open->pending.clear();
    return status;
}

int HidUartBridge::GetUartConfig(HidHandle handle, std::uint32_t* baud, std::uint8_t* dataBits, std::uint8_t* parity,
                                 std::uint8_t* stopBits, std::uint8_t* flowControl)
{
    OpenDevice* open = find(handle);
    if (!open)
        return HidUartInvalidHandle;
    std::uint8_t report[UartConfigLength];
    const int status = getFeature(*open, ReportUartConfig, report, sizeof report);
    if (status != HidUartSuccess)
        return status;
    *baud = static_cast<std::uint32_t>(report[1]) << 24 | static_cast<std::uint32_t>(report[2]) << 16 |
            static_cast<std::uint32_t>(report[3]) << 8 | report[4];
    *parity = report[5];
    *flowControl = report[6];
    *dataBits = report[7];
    *stopBits = report[8];
    return HidUartSuccess;
}

int HidUartBridge::SetTimeouts(HidHandle handle, std::uint32_t readMs, std::uint32_t writeMs)
{
    OpenDevice* open = find(handle);
    if (!open)
        return HidUartInvalidHandle;
    open->readTimeoutMs = readMs;
    open->writeTimeoutMs = writeMs;
    return HidUartSuccess;
}

int HidUartBridge::Read(HidHandle handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t* got)
{
    *got = 0;
    OpenDevice* open = find(handle);
    if (!open)
        return HidUartInvalidHandle;
    while (*got < count && !open->pending.empty()) {
        buffer[(*got)++] = open->pending.front();
        open->pending.pop_front();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(open->readTimeoutMs);
    while (*got < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        std::uint8_t report[InterruptReportLength];
        const int length = open->device->readTimeout(report, sizeof report, static_cast<int>(std::max<long long>(left, 0)));
        if (length < 0)
            return HidUartReadError;
        if (length == 0)
            break;  // time-out: a short count, not an error
        const std::uint8_t id = report[0];
        if (id == 0 || id > MaxPayload) {
            if (left <= 0)
                break;
            continue;  // not a data report
        }
        const std::size_t payload = std::min<std::size_t>(id, static_cast<std::size_t>(length) - 1);
        for (std::size_t i = 0; i < payload; ++i) {
            if (*got < count)
                buffer[(*got)++] = report[1 + i];
            else
                open->pending.push_back(report[1 + i]);
        }
    }
    return HidUartSuccess;
}

int HidUartBridge::Write(HidHandle handle, const std::uint8_t* buffer, std::uint32_t count, std::uint32_t* written)
{
    *written = 0;
    OpenDevice* open = find(handle);
    if (!open)
        return HidUartInvalidHandle;
    while (*written < count) {
        const std::size_t chunk = std::min<std::size_t>(MaxPayload, count - *written);
        std::uint8_t report[InterruptReportLength];
        report[0] = static_cast<std::uint8_t>(chunk);
        std::copy(buffer + *written, buffer + *written + chunk, report + 1);
        if (open->device->write(report, chunk + 1) != static_cast<int>(chunk + 1))
            return HidUartWriteError;
        *written += static_cast<std::uint32_t>(chunk);
    }
    return HidUartSuccess;
}

}  // namespace device::transport
