#include "net/UploadWire.h"

#include <QDir>
#include <QFileInfo>

#include <QList>
#include <algorithm>

namespace upload {
namespace {

bool Put(QByteArray& block, int offset, int size, const QByteArray& text)
{
    if (text.size() > size) return false;
    std::copy(text.begin(), text.end(), block.begin() + offset);
    return true;
}

QByteArray TextAt(const QByteArray& block, int offset, int size)
{
    const QByteArray field = block.mid(offset, size);
    const qsizetype zero = field.indexOf('\0');
    return zero < 0 ? field : field.left(zero);
}

// Only zero bytes in [from, to).
bool ZeroFrom(const QByteArray& block, int from, int to)
{
    return std::all_of(block.begin() + from, block.begin() + to, [](char c) { return c == 0; });
}

// A text field: nothing after its end but the zero fill.
bool TextFieldClean(const QByteArray& block, int offset, int size)
{
    return ZeroFrom(block, offset + static_cast<int>(TextAt(block, offset, size).size()), offset + size);
}

bool UnusedBytesZero(const QByteArray& block)
{
    enum Field { Text, Number, Unused };
    Field f1 = Unused, f2 = Unused, f3 = Unused;
    switch (static_cast<RequestType>(block[0])) {
    case RequestType::ServerQuery: f1 = Text; break;
    case RequestType::CredentialCheck: f1 = f2 = Text; break;
    case RequestType::UploadLogin: f1 = f2 = f3 = Text; break;
    case RequestType::FileHeader: f1 = f3 = Text; f2 = Number; break;
    default: break;
    }
    auto clean = [&](Field kind, int offset, int size) {
        if (kind == Text) return TextFieldClean(block, offset, size);
        if (kind == Number) return ZeroFrom(block, offset + 4, offset + size);
        return ZeroFrom(block, offset, offset + size);
    };
    return clean(f1, kField1, kField1Size) && clean(f2, kField2, kField2Size) && clean(f3, kField3, kField3Size);
}

}  // namespace

std::optional<QByteArray> BuildRequest(RequestType type, const QByteArray& field1, const QByteArray& field2,
                                       const QByteArray& field3)
{
    QByteArray block(kBlockSize, '\0');
    block[0] = static_cast<char>(type);
    if (!Put(block, kField1, kField1Size, field1) || !Put(block, kField2, kField2Size, field2) ||
        !Put(block, kField3, kField3Size, field3))
        return std::nullopt;
    return block;
}

std::optional<QByteArray> BuildFileHeader(const QByteArray& wireName, std::uint32_t size, const QByteArray& deviceId)
{
    QByteArray number(4, '\0');
    for (int i = 0; i < 4; ++i) number[i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    return BuildRequest(RequestType::FileHeader, wireName, number, deviceId);
}

std::optional<RequestBlock> ParseRequest(const QByteArray& block)
{
    if (block.size() != kBlockSize) return std::nullopt;
    RequestBlock r;
    r.type = static_cast<std::uint8_t>(block[0]);
    r.reservedZero = block[1] == 0 && block[2] == 0 && block[3] == 0 && block[4] == 0;
    r.field1 = TextAt(block, kField1, kField1Size);
    r.field2 = TextAt(block, kField2, kField2Size);
    for (int i = 3; i >= 0; --i)
        r.field2Number = (r.field2Number << 8) | static_cast<std::uint8_t>(block[kField2 + i]);
    r.field3 = TextAt(block, kField3, kField3Size);
    r.zeroFilled = UnusedBytesZero(block);
    return r;
}

std::optional<std::uint8_t> ReplyCodeOf(const QByteArray& reply)
{
    if (reply.size() != kBlockSize) return std::nullopt;
    return static_cast<std::uint8_t>(reply[0]);
}

std::optional<QHostAddress> ParseDottedIPv4(const QByteArray& text)
{
    const QList<QByteArray> parts = text.split('.');
    if (parts.size() != 4) return std::nullopt;
    quint32 value = 0;
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part.size() > 3) return std::nullopt;
        int n = 0;
        for (char c : part) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (n > 255) return std::nullopt;
        value = (value << 8) | static_cast<quint32>(n);
    }
    return QHostAddress(value);
}

DirectoryAnswer ParseDirectoryAnswer(const QByteArray& reply)
{
    DirectoryAnswer answer;
    const qsizetype zero = reply.size() == kBlockSize ? reply.indexOf('\0') : -1;
    if (zero < 0) {
        answer.text = reply.left(64);
        return answer;  // the text never ends inside the block
    }
    answer.text = reply.left(zero);
    if (answer.text.isEmpty()) {
        answer.kind = DirectoryAnswer::Kind::UnknownAccount;
        return answer;
    }
    const auto address = ParseDottedIPv4(answer.text);
    if (!address) return answer;
    const quint32 v = address->toIPv4Address();
    // "this network" (0.0.0.0/8), broadcast, multicast
    const bool unusable = (v >> 24) == 0 || v == 0xFFFFFFFFu || (v >> 28) == 0xE;
    if (unusable) return answer;
    answer.kind = DirectoryAnswer::Kind::Address;
    answer.address = *address;
    return answer;
}

QString WireName(const QString& path)
{
    // The service files a recording under its device and date folders, which
    // only the full path carries, whatever folder the upload was started from.
    QString name = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    name.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return name.size() <= kWireNameLength ? name : name.right(kWireNameLength);
}

}  // namespace upload
