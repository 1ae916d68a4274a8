#include "tools/cli/FirmwareFile.h"
#include "tools/cli/EnglishText.h"

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

QString FirmwareFileProblem(const device::FirmwareImageFile& file)
{
    if (file.result == device::FirmwareImageFile::Result::OpenFailed)
        return EnglishText(SlotCannotOpen);
    return EnglishText(SlotFormatError) + " (" + FaultReason(file.fault) + ")";
}

QString FirmwareFileFaultName(const device::FirmwareImageFile& file)
{
    if (file.result == device::FirmwareImageFile::Result::OpenFailed)
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
