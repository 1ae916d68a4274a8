#pragma once
#include "device/FirmwareImageFile.h"
#include <QString>

// Words for a firmware image file that the command line's firmware commands refuse.

namespace cli {

// The message for a file that is not a usable image: the text table's own words and the reason.
QString FirmwareFileProblem(const device::FirmwareImageFile& file);

// Why an image was refused, as a JSON key ("badMagic", ...), "cannotOpen", or "none".
QString FirmwareFileFaultName(const device::FirmwareImageFile& file);

}  // namespace cli
