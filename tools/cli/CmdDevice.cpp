#include "tools/cli/Commands.h"
#include "device/DeviceEnvironment.h"
#include "device/DeviceInfoText.h"
#include "device/DeviceJobBoard.h"
#include "device/DeviceStep.h"
#include "device/JobRequest.h"
#include "device/Link.h"
#include "device/protocol/SettingsPacket.h"
#include "device/transport/AbsentBridges.h"
#include "device/transport/BridgeSet.h"
#include "sim/DemoRecorder.h"
#include <QJsonDocument>
#include <QJsonObject>
#include <memory>

// ecg-cli device info: one information read, as the Settings and Download
// buttons do it, printed as text or JSON.

namespace cli {

namespace {

const char* const kDeviceUsage =
    "Usage: ecg-cli device info [--link demo|serial:PATH|hid|serial|usb] [--json]\n"
    "       ecg-cli device download [--link ...] --data-folder DIR [--erase] [--json]\n"
    "\n"
    "Reads the recorder's information block and prints it.\n"
    "  --link usb          both bridge kinds (default)\n"
    "  --link hid          the HID-to-UART bridge only\n"
    "  --link serial       the serial bridges found by udev\n"
    "  --link serial:PATH  the tty or pseudo-terminal at PATH (for example recorder-sim's)\n"
    "  --link demo         the built-in simulated recorder\n";

QJsonObject InfoJson(const device::protocol::DEVICE_INFO_BLOCK& b)
{
    using device::protocol::DeviceIdText;
    QJsonObject o;
    o["deviceId"] = QString::fromStdString(DeviceIdText(b.deviceId));
    o["firmwareVersion"] = device::FirmwareVersionText(b.firmwareVersion);
    o["firmwareVersionNumber"] = b.firmwareVersion;
    o["bytesStored"] = static_cast<qint64>(b.bytesStored);
    o["recordings"] = static_cast<qint64>(device::protocol::RecordCount(b));
    o["tachycardiaBpm"] = b.tachycardia;
    o["bradycardiaBpm"] = b.bradycardia;
    o["pauseSeconds"] = b.pause;
    o["sensitivity"] = b.sensitivity;
    o["sensitivityText"] = device::SensitivityText(b.sensitivity);
    o["keyBeep"] = b.keyBeep != 0;
    o["heartbeatBeep"] = b.heartbeatBeep != 0;
    o["dcOffset"] = b.dcOffset;
    o["mid"] = QString::fromStdString(DeviceIdText(b.mid));
    return o;
}

}  // namespace

int RunDevice(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (!args.isEmpty() && args.first() == "download")
        return RunDeviceDownload(args.mid(1), out, err);
    if (args.isEmpty() || args.first() != "info") {
        err << kDeviceUsage;
        return 2;
    }
    QString linkName = "usb";
    bool json = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--link" && i + 1 < args.size()) {
            linkName = args[++i];
        } else if (a.startsWith("--link=")) {
            linkName = a.mid(7);
        } else if (a == "--help" || a == "-h") {
            out << kDeviceUsage;
            return 0;
        } else {
            err << "Unknown option \"" << a << "\".\n\n" << kDeviceUsage;
            return 2;
        }
    }

    std::unique_ptr<device::transport::BridgeSet> bridges;
    std::unique_ptr<sim::DemoRecorder> demo;
    device::transport::AbsentHidUart noHid;
    device::HidUartApi* hid = nullptr;
    device::XpressApi* xpress = nullptr;
    if (linkName == "demo") {
        demo = std::make_unique<sim::DemoRecorder>();
        demo->PlugIn();
        hid = &noHid;
        xpress = &demo->xpress();
    } else {
        bridges = device::transport::BridgeSet::Create(linkName == "usb" ? std::string() : linkName.toStdString());
        if (!bridges) {
            err << "Unknown link \"" << linkName << "\".\n\n" << kDeviceUsage;
            return 2;
        }
        hid = &bridges->hid();
        xpress = &bridges->xpress();
    }

    device::QtDeviceEnvironment env;
    device::Link link(*hid, *xpress);
    device::DeviceJobBoard board;
    device::DeviceStep step(link, board, env);
    link.ResetForStartup();
    // Only the requested read: no arrival read, so no automatic repair writes to the recorder.
    link.state().arrivalStage = 0;
    device::PostJob(board, device::ReadInfoJobCode);
    step.Run();  // start-up probe, then the job

    if (board.JobState != device::JobSucceeded) {
        err << "Check that the ECG device is connected.\n";
        return 1;
    }
    if (json) {
        out << QJsonDocument(InfoJson(board.infoBlock)).toJson(QJsonDocument::Compact) << "\n";
    } else {
        out << device::DeviceInfoText(board.infoBlock) << "\n";
    }
    return 0;
}

}  // namespace cli
