#include "tools/cli/DeviceSession.h"
#include "device/JobRequest.h"
#include "lang/ProgramTexts.h"

namespace cli {

std::unique_ptr<DeviceSession> OpenDeviceSession(const QString& linkName)
{
    auto s = std::make_unique<DeviceSession>();
    device::HidUartApi* hid = nullptr;
    device::XpressApi* xpress = nullptr;
    if (linkName == "demo") {
        s->demo = std::make_unique<sim::DemoRecorder>();
        s->demo->PlugIn();
        hid = &s->noHid;
        xpress = &s->demo->xpress();
    } else {
        s->bridges = device::transport::BridgeSet::Create(linkName == "usb" ? std::string() : linkName.toStdString());
        if (!s->bridges)
            return nullptr;
        hid = &s->bridges->hid();
        xpress = &s->bridges->xpress();
    }
    s->link = std::make_unique<device::Link>(*hid, *xpress);
    s->step = std::make_unique<device::DeviceStep>(*s->link, s->board, s->env);
    s->link->ResetForStartup();
    // Only the requested jobs: no arrival read, so no automatic repair writes to the recorder.
    s->link->state().arrivalStage = 0;
    return s;
}

std::uint8_t DeviceSession::RunJob(std::uint8_t code)
{
    device::PostJob(board, code);
    step->Run();
    return board.JobState;
}

QString InfoReadFailureText(device::JobFailure failure)
{
    if (failure == device::JobFailure::NoPermission)
        return DeviceAccessDeniedText();
    return QStringLiteral("Check that the ECG device is connected.");
}

}  // namespace cli
