#pragma once
#include "device/protocol/FirmwareImage.h"
#include <QString>

// A firmware image file read and checked for the command line's firmware commands.

namespace cli {

struct FirmwareFile {
    bool opened = false;
    device::protocol::ImageFault fault = device::protocol::ImageFault::None;
    device::protocol::FirmwareImage image;  // filled when opened and fault is None
    bool ok() const { return opened && fault == device::protocol::ImageFault::None; }
};

// Reads at most the largest valid image plus one byte, so a huge file is refused without being read whole.
FirmwareFile ReadFirmwareFile(const QString& path);

// The message for a file that is not a usable image: the text table's own words and the reason.
QString FirmwareFileProblem(const FirmwareFile& file);

// Why an image was refused, as a JSON key ("badMagic", ...), "cannotOpen", or "none".
QString FirmwareFileFaultName(const FirmwareFile& file);

}  // namespace cli
