#include "net/FirmwareWire.h"

#include "net/UploadWire.h"

#include <algorithm>

namespace firmware {

std::optional<ImageOffer> ParseImageOffer(const QByteArray& reply)
{
    if (reply.size() != upload::kBlockSize) return std::nullopt;
    ImageOffer offer;
    offer.offered = static_cast<quint8>(reply[0]) == 1;
    if (offer.offered)
        for (int i = 4; i >= 1; --i) offer.size = (offer.size << 8) | static_cast<quint8>(reply[i]);
    return offer;
}

bool SaneImageSize(quint32 size)
{
    static_assert(kLargestImage <= quint32(kBlockBytes) * kMostBlocks);
    return size > 0 && size <= kLargestImage;
}

int BytesTaken(quint32 size, qint64 downloaded)
{
    const qint64 remaining = std::max<qint64>(0, qint64(size) - downloaded);
    return static_cast<int>(std::min<qint64>(remaining, kBlockBytes));
}

}  // namespace firmware
