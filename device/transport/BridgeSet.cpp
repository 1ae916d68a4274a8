#include "device/transport/BridgeSet.h"

#include "device/transport/AbsentBridges.h"
#include "device/transport/HidUartBridge.h"
#include "device/transport/RawHid.h"
#include "device/transport/SerialXpress.h"

#include <string>

namespace device::transport {

namespace {

class RealBridgeSet : public BridgeSet {
public:
    RealBridgeSet(bool withHid, std::unique_ptr<XpressApi> xpress) : xpress_(std::move(xpress))
    {
        if (withHid)
            hid_ = std::make_unique<HidUartBridge>(rawHid_);
        else
            hid_ = std::make_unique<AbsentHidUart>();
        if (!xpress_)
            xpress_ = std::make_unique<AbsentXpress>();
    }
    HidUartApi& hid() override { return *hid_; }
    XpressApi& xpress() override { return *xpress_; }

private:
    HidapiRawHid rawHid_;
    std::unique_ptr<HidUartApi> hid_;
    std::unique_ptr<XpressApi> xpress_;
};

}  // namespace

std::unique_ptr<BridgeSet> BridgeSet::Create(std::string_view linkName)
{
    constexpr std::string_view serialPrefix = "serial:";
    if (linkName.empty() || linkName == "usb")
        return std::make_unique<RealBridgeSet>(true, std::make_unique<SerialXpress>());
    if (linkName == "hid")
        return std::make_unique<RealBridgeSet>(true, nullptr);
    if (linkName == "serial")
        return std::make_unique<RealBridgeSet>(false, std::make_unique<SerialXpress>());
    if (linkName.substr(0, serialPrefix.size()) == serialPrefix && linkName.size() > serialPrefix.size())
        return std::make_unique<RealBridgeSet>(
            false, std::make_unique<SerialXpress>(std::string(linkName.substr(serialPrefix.size()))));
    return nullptr;
}

}  // namespace device::transport
