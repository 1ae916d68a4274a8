#include "device/transport/RawHid.h"

#include <hidapi/hidapi.h>

#include <algorithm>
#include <cwchar>

namespace device::transport {

namespace {

std::string narrow(const wchar_t* text)
{
    std::string out;
    if (text == nullptr)
        return out;
    for (; *text != L'\0'; ++text)
        out.push_back(*text >= 0x20 && *text < 0x7F ? static_cast<char>(*text) : '?');
    return out;
}

class HidapiDevice : public RawHidDevice {
public:
    explicit HidapiDevice(hid_device* device) : device_(device) {}
    ~HidapiDevice() override { hid_close(device_); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    int write(const std::uint8_t* report, std::size_t length) override
    {
        return hid_write(device_, report, length);
    }
    int readTimeout(std::uint8_t* report, std::size_t capacity, int timeoutMs) override
    {
        return hid_read_timeout(device_, report, capacity, timeoutMs);
    }
    int sendFeature(const std::uint8_t* report, std::size_t length) override
    {
        return hid_send_feature_report(device_, report, length);
    }
    int getFeature(std::uint8_t* report, std::size_t length) override
    {
        return hid_get_feature_report(device_, report, length);
    }

private:
    hid_device* device_;
};

}  // namespace

std::vector<RawHidInfo> HidapiRawHid::enumerate(std::uint16_t vendorId, std::uint16_t productId)
{
    std::vector<RawHidInfo> found;
    hid_device_info* list = hid_enumerate(vendorId, productId);
    for (const hid_device_info* info = list; info != nullptr; info = info->next)
        found.push_back({info->path ? info->path : "", narrow(info->product_string), narrow(info->serial_number)});
    hid_free_enumeration(list);
    // The kernel lists devices in no particular order; indices must not shuffle between calls.
    std::sort(found.begin(), found.end(), [](const RawHidInfo& a, const RawHidInfo& b) { return a.path < b.path; });
    return found;
}

std::unique_ptr<RawHidDevice> HidapiRawHid::open(const std::string& path)
{
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr)
        return nullptr;
    return std::make_unique<HidapiDevice>(device);
}

}  // namespace device::transport
