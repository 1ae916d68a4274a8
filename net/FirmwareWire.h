#pragma once
#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <optional>

// The update server's replies. Its requests are request blocks of the web
// service's framing (UploadWire): ImageQuery and BlockRequest carry no field.
namespace firmware {

inline constexpr int kBlockBytes = 12000;  // every block reply has this length
inline constexpr int kMostBlocks = 10;     // one download never takes more
// The largest valid image file: the 128-byte header and a body of at most 65,535 bytes.
inline constexpr quint32 kLargestImage = 128 + 65535;

// What the server answered to ImageQuery.
struct ImageOffer {
    bool offered = false;
    quint32 size = 0;  // bytes 1-4, little-endian; meaningful only when offered
};
// nullopt unless `reply` is one whole 1024-byte block.
std::optional<ImageOffer> ParseImageOffer(const QByteArray& reply);

// An offered size that a download can take: more than nothing, no more than
// the largest valid image (which also keeps it within ten blocks).
bool SaneImageSize(quint32 size);

// The bytes of a block that belong to the image: all of it, or of the last
// block only what is still missing.
int BytesTaken(quint32 size, qint64 downloaded);

}  // namespace firmware
