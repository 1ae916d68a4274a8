#include "tools/cli/Commands.h"
#include "lang/ProgramTexts.h"
#include "tools/cli/DeviceInfoPrint.h"
#include "tools/cli/DeviceLink.h"
#include "tools/cli/EnglishText.h"
#include "tools/cli/FirmwareFile.h"
#include "device/protocol/DeviceInfoBlock.h"
#include <QJsonDocument>
#include <QJsonObject>

// ecg-cli device flash: checks the image file as the upgrade does, then runs
// the firmware job on the recorder and says how it ended.

namespace cli {

namespace {

const char* const kFlashUsage =
    "Usage: ecg-cli device flash [--link LINK] [--json] IMAGE\n"
    "\n"
    "Checks the firmware image file and writes its body into the recorder through the recorder's\n"
    "boot loader, then has it verified and restarts the recorder. Progress goes to standard error.\n"
    "  --link LINK  usb (default), hid, serial, serial:PATH or demo (see device --help)\n"
    "  --json       print the result as one JSON object\n"
    "Exit status 0 only when the recorder verified the image and answered after its restart;\n"
    "1 when the image is refused (nothing is sent) or the flash failed or was aborted.\n";

constexpr int SlotCompleted = 155;
constexpr int SlotFailed = 156;

const char* ResultKey(std::uint8_t state)
{
    switch (state) {
    case device::JobSucceeded: return "succeeded";
    case device::JobFailed: return "failed";
    case device::JobAborted: return "aborted";
    default: return "ended";
    }
}

// What the step that stopped the job means for the recorder.
QString FailureText(device::JobFailure f)
{
    using F = device::JobFailure;
    switch (f) {
    case F::BootRefused: return "The recorder did not start its boot loader; nothing was written.";
    case F::PageRefused:
    case F::BlockRefused:
        return "The recorder refused part of the image; it stays in its boot loader. Flash it again.";
    case F::VerifyFailed:
        return "The recorder did not verify the image; it stays in its boot loader. Flash it again.";
    case F::NoAnswerAfterReset: return "The image was verified, but the recorder did not answer after its restart.";
    case F::StillInBootLoader:
        return "The image was verified, but after the restart only the boot loader answers: the new firmware is not running.";
    case F::NoImage: return "No valid image to write.";
    case F::Streaming: return DeviceStreamingText();
    default: return InfoReadFailureText(f);
    }
}

}  // namespace

int RunDeviceFlash(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QString linkName = "usb";
    bool json = false;
    QString path;
    for (int i = 0; i < args.size(); ++i) {
        if (TakeLinkOption(args, i, linkName))
            continue;
        const QString& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--help" || a == "-h") {
            out << kFlashUsage;
            return 0;
        } else if (path.isEmpty() && !a.startsWith("--")) {
            path = a;
        } else {
            err << "Unknown option \"" << a << "\".\n\n" << kFlashUsage;
            return 2;
        }
    }
    if (path.isEmpty()) {
        err << kFlashUsage;
        return 2;
    }
    device::FirmwareImageFile file = device::ReadFirmwareImageFile(path);
    if (!file.ok()) {
        const QString message = FirmwareFileProblem(file);
        if (json)
            out << QJsonDocument(QJsonObject{{"result", "refused"},
                                             {"reason", FirmwareFileFaultName(file)},
                                             {"message", message}})
                       .toJson(QJsonDocument::Compact)
                << "\n";
        else
            err << path << ": " << message << "\n";
        return 1;
    }
    const std::unique_ptr<DeviceLink> session = OpenDeviceLink(linkName);
    if (!session) {
        err << "Unknown link \"" << linkName << "\".\n\n" << kFlashUsage;
        return 2;
    }
    device::DeviceJobBoard& board = session->board;
    const double length = file.image.length;
    board.firmwareImage = std::move(file.image);
    int shownPercent = -1;
    board.flashProgress = [&] {
        if (!board.flash.writing || board.flash.bytesTotal <= 0)
            return;
        const int percent = static_cast<int>(board.flash.bytesDone / board.flash.bytesTotal * 100.0);
        if (percent == shownPercent)
            return;
        shownPercent = percent;
        err << "Writing firmware: " << percent << " % (" << board.flash.bytesDone << " / " << board.flash.bytesTotal
            << " bytes)\n";
        err.flush();
    };
    err << "Starting the recorder's boot loader...\n";
    err.flush();
    const std::uint8_t state = session->RunJob(device::FlashJobCode);
    const bool succeeded = state == device::JobSucceeded;
    QString message = EnglishText(succeeded ? SlotCompleted : SlotFailed);
    const QString version = QString::fromStdString(device::protocol::FirmwareVersionText(board.infoBlock.firmwareVersion));
    if (!succeeded)
        message += " " + FailureText(board.failure);
    else
        message += " The recorder now runs firmware " + version + ".";
    if (json) {
        out << QJsonDocument(QJsonObject{{"result", ResultKey(state)},
                                         {"reason", JobFailureName(board.failure)},
                                         {"message", message},
                                         {"length", length},
                                         {"bytesWritten", board.flash.bytesDone},
                                         {"firmwareVersion", succeeded ? QJsonValue(version) : QJsonValue()}})
                   .toJson(QJsonDocument::Compact)
            << "\n";
    } else {
        (succeeded ? out : err) << message << "\n";
    }
    return succeeded ? 0 : 1;
}

}  // namespace cli
