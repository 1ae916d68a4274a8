#include "device/FirmwareImageFile.h"
#include <QFile>

namespace device {

using namespace protocol;

FirmwareImageFile ReadFirmwareImageFile(const QString& path)
{
    FirmwareImageFile f;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return f;
    const QByteArray bytes = file.read(static_cast<qint64>(FirmwareHeaderSize + FirmwareMaxLength + 1));
    // A read that broke off would be judged on the bytes that happened to arrive.
    if (file.error() != QFileDevice::NoError)
        return f;
    f.fault = CheckFirmwareImage(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                 static_cast<std::size_t>(bytes.size()), &f.image);
    f.result = f.fault == ImageFault::None ? FirmwareImageFile::Result::Ok : FirmwareImageFile::Result::Refused;
    return f;
}

}  // namespace device
