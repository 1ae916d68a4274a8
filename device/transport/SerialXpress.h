#pragma once
#include "device/BridgeApi.h"
#include "device/transport/SerialPorts.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

// The serial bridge as a tty: the driver operations of XpressApi over
// termios, in raw mode with eight data bits, no parity, one stop bit and
// no flow control. Handles are the open file descriptors.

namespace device::transport {

// Status codes returned by SerialXpress (0 = success).
enum SerialStatus : int {
    SerialSuccess = 0,
    SerialDeviceNotFound = 1,
    SerialInvalidHandle = 2,
    SerialReadError = 4,     // the tty failed or hung up (bridge unplugged, peer gone)
    SerialWriteError = 5,
    SerialWriteTimedOut = 6,
    SerialIoFailed = 7,      // the tty could not be configured
};

class SerialXpress : public XpressApi {
public:
    using PortLister = std::function<std::vector<SerialPortInfo>()>;

    // The serial bridges that libudev finds (10c4:ea60/ea61/ea70 ttys).
    SerialXpress();
    // Exactly one port at path (a tty or pseudo-terminal), present while the path exists.
    explicit SerialXpress(std::string path);
    explicit SerialXpress(PortLister lister);
    ~SerialXpress() override;
    SerialXpress(const SerialXpress&) = delete;
    SerialXpress& operator=(const SerialXpress&) = delete;

    // Lists the ports; the indices below refer to the latest list.
    int GetNumDevices(std::uint32_t* count) override;
    int GetProductString(std::uint32_t index, std::string* text) override;
    // Opens the port in raw mode, 8N1, no flow control, at 230400 until SetBaudRate.
    int Open(std::uint32_t index, Handle* handle) override;
    // Any speed in bits per second, including the non-standard ones.
    int SetBaudRate(Handle handle, std::uint32_t baud) override;
    int Close(Handle handle) override;
    // Discards bytes not yet sent (transmit) and bytes received but not read (receive).
    int FlushBuffers(Handle handle, bool transmit, bool receive) override;
    // For all later transfers, in ms; 0 = take only what is possible at once.
    int SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
    // Time-out with fewer bytes: SerialWriteTimedOut and *written = bytes sent.
    int Write(Handle handle, const std::uint8_t* buffer, std::uint32_t count, std::uint32_t* written) override;
    // Waits up to the read time-out; a time-out is success with *got < count, a hang-up is SerialReadError.
    int Read(Handle handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t* got) override;

private:
    bool isOpen(Handle handle) const { return open_.count(handle) != 0; }

    PortLister lister_;
    std::vector<SerialPortInfo> ports_;
    std::set<Handle> open_;
    std::uint32_t readTimeoutMs_ = 1000;
    std::uint32_t writeTimeoutMs_ = 1000;
};

}  // namespace device::transport
