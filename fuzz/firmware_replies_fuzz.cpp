// Fuzz target: what the update server sends back for a firmware fetch (the
// image offer, then blocks of 12,000 bytes) taken as the fetch takes it, and
// the assembled file given to the image check. The download never passes the
// offered size, never takes more than ten blocks, and only a sane size starts it.
#include "device/protocol/FirmwareImage.h"
#include "net/FirmwareWire.h"
#include "net/UploadWire.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray raw(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The offer as received (any length) and padded to a whole block.
    QByteArray offerBlock = raw.left(upload::kBlockSize);
    offerBlock.append(QByteArray(upload::kBlockSize - offerBlock.size(), '\0'));
    (void)firmware::ParseImageOffer(raw);
    const auto offer = firmware::ParseImageOffer(offerBlock);
    if (!offer || !offer->offered || !firmware::SaneImageSize(offer->size)) return 0;
    if (offer->size > firmware::kLargestImage) __builtin_trap();

    // The rest of the input is the stream of blocks; only whole blocks count.
    const QByteArray stream = raw.mid(upload::kBlockSize);
    QByteArray image;
    int blocks = 0;
    for (qsizetype at = 0; image.size() < qsizetype(offer->size); at += firmware::kBlockBytes) {
        if (at + firmware::kBlockBytes > stream.size()) break;  // a short block ends the fetch
        if (++blocks > firmware::kMostBlocks) __builtin_trap();
        const int taken = firmware::BytesTaken(offer->size, image.size());
        if (taken <= 0 || taken > firmware::kBlockBytes) __builtin_trap();
        image.append(stream.constData() + at, taken);
        if (image.size() > qsizetype(offer->size)) __builtin_trap();
    }
    device::protocol::FirmwareImage checked;
    (void)device::protocol::CheckFirmwareImage(reinterpret_cast<const std::uint8_t*>(image.constData()),
                                                static_cast<std::size_t>(image.size()), &checked);
    return 0;
}
