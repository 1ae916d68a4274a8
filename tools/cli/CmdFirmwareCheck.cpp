#include "tools/cli/Commands.h"
#include "tools/cli/FirmwareFile.h"
#include <QJsonDocument>
#include <QJsonObject>

// ecg-cli firmware check: the image check the upgrade runs before flashing.

namespace cli {

namespace {

const char* const kCheckUsage =
    "Usage: ecg-cli firmware check [--json] IMAGE\n"
    "\n"
    "Checks a firmware image file as the upgrade does before flashing it: the 55 AA header, the\n"
    "body length (the file must be exactly 128 bytes plus that length) and the checksum.\n"
    "Prints the body length and checksum; exit status 0 only for a valid image.\n";

QString Hex32(std::uint32_t v)
{
    return QStringLiteral("0x%1").arg(v, 8, 16, QChar('0')).toUpper().replace("0X", "0x");
}

}  // namespace

int RunFirmwareCheck(const QStringList& args, QTextStream& out, QTextStream& err)
{
    bool json = false;
    QString path;
    for (const QString& a : args) {
        if (a == "--json") {
            json = true;
        } else if (a == "--help" || a == "-h") {
            out << kCheckUsage;
            return 0;
        } else if (path.isEmpty() && !a.startsWith("--")) {
            path = a;
        } else {
            err << "Unknown option \"" << a << "\".\n\n" << kCheckUsage;
            return 2;
        }
    }
    if (path.isEmpty()) {
        err << kCheckUsage;
        return 2;
    }
    const device::FirmwareImageFile file = device::ReadFirmwareImageFile(path);
    const std::uint32_t checksum =
        file.ok() ? device::protocol::FirmwareChecksum(file.image.header.data(), file.image.body.data(), file.image.length)
                  : 0;
    if (json) {
        QJsonObject o{{"file", path}, {"valid", file.ok()}, {"reason", FirmwareFileFaultName(file)}};
        if (file.ok()) {
            o["length"] = file.image.length;
            o["checksum"] = Hex32(checksum);
        } else {
            o["message"] = FirmwareFileProblem(file);
        }
        out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
    } else if (file.ok()) {
        out << path << ": firmware image, body " << file.image.length << " bytes, checksum " << Hex32(checksum)
            << "\n";
    } else {
        err << path << ": " << FirmwareFileProblem(file) << "\n";
    }
    return file.ok() ? 0 : 1;
}

}  // namespace cli
