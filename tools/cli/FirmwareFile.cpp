#include "tools/cli/FirmwareFile.h"
#include "tools/cli/EnglishText.h"
#include <QFile>

namespace cli {

using device::protocol::ImageFault;

namespace {

constexpr int SlotCannotOpen = 157;
constexpr int SlotFormatError = 158;

const char* FaultReason(ImageFault f)
{
    switch (f) {
    case ImageFault::None: return "";
    case ImageFault::ShortHeader: return "the file is shorter than its 128-byte header";
    case ImageFault::BadMagic: return "the header does not start with 55 AA";
    case ImageFault::EmptyBody: return "the header gives a body length of 0";
    case ImageFault::LengthMismatch: return "the file is not exactly 128 bytes plus the body length long";
    case ImageFault::BadChecksum: return "the checksum does not match";
    }
    return "";
}

}  // namespace

FirmwareFile ReadFirmwareFile(const QString& path)
{
    FirmwareFile f;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return f;
    f.opened = true;
    const QByteArray bytes = file.read(static_cast<qint64>(device::protocol::FirmwareHeaderSize +
                                                           device::protocol::FirmwareMaxLength + 1));
    f.fault = device::protocol::CheckFirmwareImage(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                   static_cast<std::size_t>(bytes.size()), &f.image);
    return f;
}

QString FirmwareFileProblem(const FirmwareFile& file)
{
    if (!file.opened)
        return EnglishText(SlotCannotOpen);
    return EnglishText(SlotFormatError) + " (" + FaultReason(file.fault) + ")";
}

QString FirmwareFileFaultName(const FirmwareFile& file)
{
    if (!file.opened)
        return "cannotOpen";
    switch (file.fault) {
    case ImageFault::None: return "none";
    case ImageFault::ShortHeader: return "shortHeader";
    case ImageFault::BadMagic: return "badMagic";
    case ImageFault::EmptyBody: return "emptyBody";
    case ImageFault::LengthMismatch: return "lengthMismatch";
    case ImageFault::BadChecksum: return "badChecksum";
    }
    return "unknown";
}

}  // namespace cli
