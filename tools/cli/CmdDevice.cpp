#include "tools/cli/Commands.h"
#include "tools/cli/DeviceInfoPrint.h"
#include "tools/cli/DeviceLink.h"
#include <QJsonDocument>

// ecg-cli device: the recorder's commands. `device info` is one information
// read, as the Settings and Download buttons do it, printed as text or JSON.

namespace cli {

namespace {

const char* const kDeviceUsage =
    "Usage: ecg-cli device info [--link LINK] [--json]\n"
    "       ecg-cli device settings [--link LINK] [OPTIONS]   (ecg-cli device settings --help)\n"
    "       ecg-cli device download [--link LINK] --data-folder DIR [--erase] [--json]\n"
    "       ecg-cli device flash [--link LINK] [--json] IMAGE\n"
    "       ecg-cli device stream [--link LINK] --seconds N [--csv OUT]\n"
    "\n"
    "info reads the recorder's information block and prints it; settings writes its clock, beeps\n"
    "and alarm thresholds; download brings its recordings into the data folder; flash writes a\n"
    "firmware image into it; stream receives its live signal for N seconds.\n"
    "  --link usb          both bridge kinds (default)\n"
    "  --link hid          the HID-to-UART bridge only\n"
    "  --link serial       the serial bridges found by udev\n"
    "  --link serial:PATH  the tty or pseudo-terminal at PATH (for example recorder-sim's)\n"
    "  --link demo         the built-in simulated recorder\n";

int RunDeviceInfo(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QString linkName = "usb";
    bool json = false;
    for (int i = 0; i < args.size(); ++i) {
        if (TakeLinkOption(args, i, linkName))
            continue;
        const QString& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--help" || a == "-h") {
            out << kDeviceUsage;
            return 0;
        } else {
            err << "Unknown option \"" << a << "\".\n\n" << kDeviceUsage;
            return 2;
        }
    }
    const std::unique_ptr<DeviceLink> session = OpenDeviceLink(linkName);
    if (!session) {
        err << "Unknown link \"" << linkName << "\".\n\n" << kDeviceUsage;
        return 2;
    }
    if (session->RunJob(device::ReadInfoJobCode) != device::JobSucceeded) {
        err << InfoReadFailureText(session->board.failure) << "\n";
        return 1;
    }
    if (json)
        out << QJsonDocument(DeviceInfoJson(session->board.infoBlock)).toJson(QJsonDocument::Compact) << "\n";
    else
        out << DeviceInfoText(session->board.infoBlock) << "\n";
    return 0;
}

}  // namespace

int RunDevice(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const QString sub = args.value(0);
    if (sub == "info")
        return RunDeviceInfo(args.mid(1), out, err);
    if (sub == "settings")
        return RunDeviceSettings(args.mid(1), out, err);
    if (sub == "download")
        return RunDeviceDownload(args.mid(1), out, err);
    if (sub == "flash")
        return RunDeviceFlash(args.mid(1), out, err);
    if (sub == "stream")
        return RunDeviceStream(args.mid(1), out, err);
    if (sub == "--help" || sub == "-h") {
        out << kDeviceUsage;
        return 0;
    }
    err << kDeviceUsage;
    return 2;
}

}  // namespace cli
