// Fuzz target: the check of a firmware image file (from the update service or the command line).
#include "device/protocol/FirmwareImage.h"
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace device::protocol;
    FirmwareImage image;
    const ImageFault fault = CheckFirmwareImage(data, size, &image);
    if (fault == ImageFault::None) {
        // An accepted image is exactly header + length and its checksum holds.
        if (size != FirmwareHeaderSize + image.length || image.length == 0 ||
            image.body.size() != FirmwareBodyCapacity)
            std::abort();
        if (BuildFirmwareImageFile({image.body.begin(), image.body.begin() + image.length}).size() != size)
            std::abort();
    }
    return 0;
}
