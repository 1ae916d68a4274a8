#include "device/transport/SerialPorts.h"

#include <libudev.h>

#include <algorithm>
#include <cstdlib>

namespace device::transport {

namespace {

std::uint16_t hexAttribute(udev_device* device, const char* name)
{
    const char* text = udev_device_get_sysattr_value(device, name);
    if (text == nullptr)
        return 0;
    return static_cast<std::uint16_t>(std::strtoul(text, nullptr, 16));
}

}  // namespace

bool IsSerialBridgeId(std::uint16_t vendorId, std::uint16_t productId)
{
    return vendorId == 0x10C4 && (productId == 0xEA60 || productId == 0xEA61 || productId == 0xEA70);
}

std::vector<SerialPortInfo> ListBridgeTtys()
{
    std::vector<SerialPortInfo> ports;
    udev* context = udev_new();
    if (context == nullptr)
        return ports;
    udev_enumerate* enumerate = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(enumerate, "tty");
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        udev_device* tty = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (tty == nullptr)
            continue;
        // The parent is owned by the child; it needs no unref of its own.
        udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
        const char* node = udev_device_get_devnode(tty);
        if (usb != nullptr && node != nullptr &&
            IsSerialBridgeId(hexAttribute(usb, "idVendor"), hexAttribute(usb, "idProduct"))) {
            const char* product = udev_device_get_sysattr_value(usb, "product");
            ports.push_back({node, product ? product : ""});
        }
        udev_device_unref(tty);
    }
    udev_enumerate_unref(enumerate);
    udev_unref(context);
    std::sort(ports.begin(), ports.end(),
              [](const SerialPortInfo& a, const SerialPortInfo& b) { return a.path < b.path; });
    return ports;
}

}  // namespace device::transport
