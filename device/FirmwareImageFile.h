#pragma once
#include "device/protocol/FirmwareImage.h"
#include <QString>

// A firmware image file read from disk and checked, for the upgrade window and
// the command line alike: Ok with the image for the firmware job, Refused with
// the check's fault, or OpenFailed when the file cannot be opened or read.

namespace device {

struct FirmwareImageFile {
    enum class Result { Ok, OpenFailed, Refused } result = Result::OpenFailed;
    protocol::ImageFault fault = protocol::ImageFault::None;
    protocol::FirmwareImage image;  // filled only when ok()
    bool ok() const { return result == Result::Ok; }
};

// Reads at most one byte more than the largest valid image, so a longer file is
// refused as such without being read whole.
FirmwareImageFile ReadFirmwareImageFile(const QString& path);

}  // namespace device
