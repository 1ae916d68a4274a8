#pragma once
#include "device/protocol/DeviceInfoBlock.h"
#include <QString>
#include <utility>
#include <vector>

// The information block as the user reads it.

namespace device {

// Version text of a firmware version number: digit 1, ".", digits 2-3, ".", digits 4-5 of its
// five-digit decimal form (12000 gives "1.20.00"); shorter numbers are left-padded with "0".
QString FirmwareVersionText(std::uint16_t version);

// Sensitivity byte as a word: 0 "High", 1 "Medium", any other "Low".
QString SensitivityText(std::uint8_t sensitivity);

// Label / value pairs in display order: device ID, firmware version, stored bytes, recordings,
// thresholds, sensitivity, beeps, DC offset, MID.
std::vector<std::pair<QString, QString>> DeviceInfoFields(const protocol::DEVICE_INFO_BLOCK& block);

// The pairs as "label : value" lines.
QString DeviceInfoText(const protocol::DEVICE_INFO_BLOCK& block);

}  // namespace device
