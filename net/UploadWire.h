#pragma once
#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <cstdint>
#include <optional>

// The web service's framing: every request and every reply is one 1024-byte
// block. A request holds a type byte, four zero bytes and up to three fields;
// texts fill their field without a terminator of their own (the zero fill
// ends them). File content travels unframed after an accepted file header.
namespace upload {

inline constexpr quint16 kPort = 1600;
inline constexpr int kBlockSize = 1024;
inline constexpr int kField1 = 5, kField1Size = 195;    // account, wire name
inline constexpr int kField2 = 200, kField2Size = 100;  // password text, or file size (u32 LE)
inline constexpr int kField3 = 300, kField3Size = 724;  // device ID
inline constexpr int kPieceSize = 12000;                 // largest content piece of one send
inline constexpr int kWireNameLength = 29;               // characters of the path the service gets
inline constexpr int kDeviceIdOffset = 480;              // in a recording: the recorder's ID, 8 hex digits

enum class RequestType : std::uint8_t {
    ServerQuery = 0x6D,
    CredentialCheck = 0x73,
    CheckDone = 0x02,
    UploadLogin = 0x61,
    FileHeader = 0x60,
    TransferEnd = 0x07,
    ImageQuery = 0x6E,    // the update server: is an image offered, and how large?
    BlockRequest = 0x6F,  // the update server: the next 12,000 bytes of the image
};

// Reply codes in byte 0 of a reply to a check, a login or a file header.
enum ReplyCode : std::uint8_t {
    Accepted = 1,
    InvalidCredentials = 2,
    InvalidData = 3,
    AccountExpired = 4,
    DiskFull = 5,
    FileLocked = 6,
    DeviceNotRegistered = 17,
};

// A request block. Fields longer than their place are refused (nullopt), never cut.
std::optional<QByteArray> BuildRequest(RequestType type, const QByteArray& field1 = {},
                                       const QByteArray& field2 = {}, const QByteArray& field3 = {});
std::optional<QByteArray> BuildFileHeader(const QByteArray& wireName, std::uint32_t size, const QByteArray& deviceId);

// A request as the service reads it (for the stand-in service and tests).
struct RequestBlock {
    std::uint8_t type = 0;
    bool reservedZero = true;  // bytes 1-4 are zero as the framing demands
    QByteArray field1;         // up to its first zero byte
    QByteArray field2;         // as text, up to its first zero byte
    std::uint32_t field2Number = 0;  // bytes 200-203 little-endian
    QByteArray field3;
    bool zeroFilled = true;  // no byte outside the fields its type carries is set
    bool framed() const { return reservedZero && zeroFilled; }
};
// nullopt unless `block` is exactly one block.
std::optional<RequestBlock> ParseRequest(const QByteArray& block);

// The reply code of a whole reply block; nullopt unless the block is complete.
std::optional<std::uint8_t> ReplyCodeOf(const QByteArray& reply);

// What the directory answered to a server query.
struct DirectoryAnswer {
    enum class Kind {
        Address,        // a usable account-server address
        UnknownAccount, // empty text: the directory does not know the account
        Malformed,      // no zero byte in the block, not a dotted IPv4 address,
                        // or an address no server can have (0.0.0.0, broadcast, multicast)
    };
    Kind kind = Kind::Malformed;
    QHostAddress address;
    QByteArray text;  // the answer as received, for diagnostics
};
DirectoryAnswer ParseDirectoryAnswer(const QByteArray& reply);

// A strict dotted-quad IPv4 text ("127.0.0.2"): four decimal parts 0-255,
// nothing else. Unlike inet_addr it refuses "0", "1.2.3", hex and octal forms.
std::optional<QHostAddress> ParseDottedIPv4(const QByteArray& text);

// The name the service stores a file under: the last 29 characters of the
// full path written with "\" separators (the whole path when shorter).
QString WireName(const QString& path);

}  // namespace upload
