#include "store/RecordingLocation.h"

namespace {

QString bcdText(uint8_t bcd)
{
    return QString::number(bcd, 16).rightJustified(2, QLatin1Char('0'));
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

}  // namespace

QString RecordingLocation::folderPath(const QString& dataFolder) const
{
    return joined(joined(joined(dataFolder, deviceId), month), day);
}

QString RecordingLocation::filePath(const QString& dataFolder) const
{
    return joined(folderPath(dataFolder), time + QStringLiteral(".edf"));
}

QString DeviceIdText(uint32_t deviceNumber)
{
    return QString::number(deviceNumber, 16).toUpper().rightJustified(8, QLatin1Char('0'));
}

RecordingLocation LocationOf(const DEVICE_RECORD_HEADER& h)
{
    RecordingLocation loc;
    loc.deviceId = DeviceIdText(h.deviceNumber());
    loc.month = QStringLiteral("20") + bcdText(h.u8(DEVICE_RECORD_HEADER::YearBcd)) +
                bcdText(h.u8(DEVICE_RECORD_HEADER::MonthBcd));
    loc.day = bcdText(h.u8(DEVICE_RECORD_HEADER::DayBcd));
    loc.time = bcdText(h.u8(DEVICE_RECORD_HEADER::HourBcd)) + bcdText(h.u8(DEVICE_RECORD_HEADER::MinuteBcd)) +
               bcdText(h.u8(DEVICE_RECORD_HEADER::SecondBcd));
    return loc;
}
