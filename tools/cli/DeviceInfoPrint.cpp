#include "tools/cli/DeviceInfoPrint.h"
#include "device/protocol/SettingsPacket.h"
#include "lang/ProgramTexts.h"
#include <QStringList>

namespace cli {

using device::protocol::DeviceIdText;

QString SensitivityText(std::uint8_t sensitivity)
{
    if (sensitivity == 0)
        return QStringLiteral("High");
    if (sensitivity == 1)
        return QStringLiteral("Medium");
    return QStringLiteral("Low");
}

std::vector<std::pair<QString, QString>> DeviceInfoFields(const device::protocol::DEVICE_INFO_BLOCK& b)
{
    auto onOff = [](std::uint8_t v) { return v ? QStringLiteral("On") : QStringLiteral("Off"); };
    return {
        {QStringLiteral("Device ID"), QString::fromStdString(DeviceIdText(b.deviceId))},
        {QStringLiteral("Firmware Version"), QString::fromStdString(device::protocol::FirmwareVersionText(b.firmwareVersion))},
        {QStringLiteral("Total size"), QString::number(b.bytesStored) + QStringLiteral(" Byte(s)")},
        {QStringLiteral("Number of files"), QString::number(device::protocol::RecordCount(b))},
        {QStringLiteral("Tachycardia"), QString::number(b.tachycardia) + QStringLiteral(" bpm")},
        {QStringLiteral("Bradycardia"), QString::number(b.bradycardia) + QStringLiteral(" bpm")},
        {QStringLiteral("Pause"), QString::number(b.pause) + QStringLiteral(" s")},
        {QStringLiteral("Rhythm sensitivity"), SensitivityText(b.sensitivity)},
        {QStringLiteral("Beep button"), onOff(b.keyBeep)},
        {QStringLiteral("Beep with each heartbeat"), onOff(b.heartbeatBeep)},
        {QStringLiteral("DC offset"), QString::number(b.dcOffset)},
        {QStringLiteral("MID"), QString::fromStdString(DeviceIdText(b.mid))},
    };
}

QString DeviceInfoText(const device::protocol::DEVICE_INFO_BLOCK& block)
{
    QStringList lines;
    for (const auto& [label, value] : DeviceInfoFields(block))
        lines << label + QStringLiteral(" : ") + value;
    return lines.join(QLatin1Char('\n'));
}

QString InfoReadFailureText(device::JobFailure failure)
{
    if (failure == device::JobFailure::NoPermission)
        return DeviceAccessDeniedText();
    if (failure == device::JobFailure::WaitsInBootLoader)
        return DeviceWaitsInBootLoaderText() + QStringLiteral("\nWrite its firmware with: ecg-cli device flash IMAGE");
    return QStringLiteral("Check that the ECG device is connected.");
}

QJsonObject DeviceInfoJson(const device::protocol::DEVICE_INFO_BLOCK& b)
{
    QJsonObject o;
    o["deviceId"] = QString::fromStdString(DeviceIdText(b.deviceId));
    o["firmwareVersion"] = QString::fromStdString(device::protocol::FirmwareVersionText(b.firmwareVersion));
    o["firmwareVersionNumber"] = b.firmwareVersion;
    o["bytesStored"] = static_cast<qint64>(b.bytesStored);
    o["recordings"] = static_cast<qint64>(device::protocol::RecordCount(b));
    o["tachycardiaBpm"] = b.tachycardia;
    o["bradycardiaBpm"] = b.bradycardia;
    o["pauseSeconds"] = b.pause;
    o["sensitivity"] = b.sensitivity;
    o["sensitivityText"] = SensitivityText(b.sensitivity);
    o["keyBeep"] = b.keyBeep != 0;
    o["heartbeatBeep"] = b.heartbeatBeep != 0;
    o["dcOffset"] = b.dcOffset;
    o["mid"] = QString::fromStdString(DeviceIdText(b.mid));
    return o;
}

QString JobFailureName(device::JobFailure f)
{
    using F = device::JobFailure;
    switch (f) {
    case F::None: return "none";
    case F::NotAttached: return "notAttached";
    case F::NoPermission: return "noPermission";
    case F::NoAnswer: return "noAnswer";
    case F::RecorderChanged: return "recorderChanged";
    case F::BadDeviceId: return "badDeviceId";
    case F::UnknownJob: return "unknownJob";
    case F::Streaming: return "streaming";
    case F::StreamNotStopped: return "streamNotStopped";
    case F::NoImage: return "noImage";
    case F::BootRefused: return "bootRefused";
    case F::PageRefused: return "pageRefused";
    case F::BlockRefused: return "blockRefused";
    case F::VerifyFailed: return "verifyFailed";
    case F::NoAnswerAfterReset: return "noAnswerAfterReset";
    case F::StillInBootLoader: return "stillInBootLoader";
    case F::WaitsInBootLoader: return "waitsInBootLoader";
    }
    return "unknown";
}

}  // namespace cli
