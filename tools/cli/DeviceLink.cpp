#include "tools/cli/DeviceLink.h"
#include "device/JobRequest.h"

namespace cli {

bool TakeLinkOption(const QStringList& args, int& i, QString& linkName)
{
    const QString& a = args[i];
    if (a == QLatin1String("--link") && i + 1 < args.size()) {
        linkName = args[++i];
        return true;
    }
    if (a.startsWith(QLatin1String("--link="))) {
        linkName = a.mid(7);
        return true;
    }
    return false;
}

std::unique_ptr<DeviceLink> OpenDeviceLink(const QString& linkName)
{
    auto d = std::make_unique<DeviceLink>();
    device::HidUartApi* hid = nullptr;
    device::XpressApi* xpress = nullptr;
    if (linkName == "demo") {
        d->demo = std::make_unique<sim::DemoRecorder>();
        d->demo->PlugIn();
        hid = &d->noHid;
        xpress = &d->demo->xpress();
    } else {
        d->bridges = device::transport::BridgeSet::Create(linkName == "usb" ? std::string() : linkName.toStdString());
        if (!d->bridges)
            return nullptr;
        hid = &d->bridges->hid();
        xpress = &d->bridges->xpress();
    }
    d->link = std::make_unique<device::Link>(*hid, *xpress);
    d->step = std::make_unique<device::DeviceStep>(*d->link, d->board, d->env);
    d->link->ResetForStartup();
    d->link->state().arrivalStage = 0;
    return d;
}

std::uint8_t DeviceLink::RunJob(std::uint8_t code)
{
    const std::uint32_t ticket = device::PostJob(board, code);
    step->Run();
    const std::optional<device::JobEnd> end = device::EndOf(board, ticket);
    return end ? end->state : board.JobState;
}

}  // namespace cli
