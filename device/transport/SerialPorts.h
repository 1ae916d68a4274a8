#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Finding the serial bridges: USB-to-UART bridge chips that the kernel's
// cp210x driver turns into /dev/ttyUSBn.

namespace device::transport {

struct SerialPortInfo {
    std::string path;     // device node, e.g. /dev/ttyUSB0
    std::string product;  // USB product string, may be empty
};

// True for the USB vendor/product IDs of the serial bridge (10c4:ea60, ea61, ea70).
bool IsSerialBridgeId(std::uint16_t vendorId, std::uint16_t productId);

// Serial bridge ttys present now (libudev), sorted by path so indices stay put.
std::vector<SerialPortInfo> ListBridgeTtys();

}  // namespace device::transport
