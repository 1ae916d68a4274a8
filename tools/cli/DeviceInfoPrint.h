#pragma once
#include "device/DeviceJobBoard.h"
#include "device/protocol/DeviceInfoBlock.h"
#include <QJsonObject>
#include <QString>
#include <utility>
#include <vector>

// The recorder's information block as the command line prints it.

namespace cli {

// Sensitivity byte as a word: 0 "High", 1 "Medium", any other "Low".
QString SensitivityText(std::uint8_t sensitivity);

// Label / value pairs in display order: device ID, firmware version, stored bytes, recordings,
// thresholds, sensitivity, beeps, DC offset, MID.
std::vector<std::pair<QString, QString>> DeviceInfoFields(const device::protocol::DEVICE_INFO_BLOCK& block);

// The pairs as "label : value" lines.
QString DeviceInfoText(const device::protocol::DEVICE_INFO_BLOCK& block);

// What to tell the user when the information read failed: the remedy when this user may not open
// the recorder's bridge, else to check the connection.
QString InfoReadFailureText(device::JobFailure failure);

// Why a job failed, as one key for JSON output ("none", "notAttached", "blockRefused", ...).
QString JobFailureName(device::JobFailure failure);

// The same facts as one JSON object.
QJsonObject DeviceInfoJson(const device::protocol::DEVICE_INFO_BLOCK& block);

}  // namespace cli
