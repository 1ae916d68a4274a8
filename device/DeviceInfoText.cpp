#include "device/DeviceInfoText.h"
#include "device/protocol/SettingsPacket.h"
#include <QStringList>

namespace device {

QString FirmwareVersionText(std::uint16_t version)
{
    const QString digits = QString::number(version).rightJustified(5, QLatin1Char('0'));
    return digits.left(1) + QLatin1Char('.') + digits.mid(1, 2) + QLatin1Char('.') + digits.mid(3, 2);
}

QString SensitivityText(std::uint8_t sensitivity)
{
    if (sensitivity == 0)
        return QStringLiteral("High");
    if (sensitivity == 1)
        return QStringLiteral("Medium");
    return QStringLiteral("Low");
}

std::vector<std::pair<QString, QString>> DeviceInfoFields(const protocol::DEVICE_INFO_BLOCK& b)
{
    auto onOff = [](std::uint8_t v) { return v ? QStringLiteral("On") : QStringLiteral("Off"); };
    return {
        {QStringLiteral("Device ID"), QString::fromStdString(protocol::DeviceIdText(b.deviceId))},
        {QStringLiteral("Firmware Version"), FirmwareVersionText(b.firmwareVersion)},
        {QStringLiteral("Total size"), QString::number(b.bytesStored) + QStringLiteral(" Byte(s)")},
        {QStringLiteral("Number of files"), QString::number(protocol::RecordCount(b))},
        {QStringLiteral("Tachycardia"), QString::number(b.tachycardia) + QStringLiteral(" bpm")},
        {QStringLiteral("Bradycardia"), QString::number(b.bradycardia) + QStringLiteral(" bpm")},
        {QStringLiteral("Pause"), QString::number(b.pause) + QStringLiteral(" s")},
        {QStringLiteral("Rhythm sensitivity"), SensitivityText(b.sensitivity)},
        {QStringLiteral("Beep button"), onOff(b.keyBeep)},
        {QStringLiteral("Beep with each heartbeat"), onOff(b.heartbeatBeep)},
        {QStringLiteral("DC offset"), QString::number(b.dcOffset)},
        {QStringLiteral("MID"), QString::fromStdString(protocol::DeviceIdText(b.mid))},
    };
}

QString DeviceInfoText(const protocol::DEVICE_INFO_BLOCK& block)
{
    QStringList lines;
    for (const auto& [label, value] : DeviceInfoFields(block))
        lines << label + QStringLiteral(" : ") + value;
    return lines.join(QLatin1Char('\n'));
}

}  // namespace device
