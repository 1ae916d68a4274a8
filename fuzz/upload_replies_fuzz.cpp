// Fuzz target: what the web service sends back (the directory's answer and
// reply codes, whole or cut short) and the stand-in service's reading of
// request blocks, plus the code-page conversion of notes from older tools.
#include "net/UploadWire.h"
#include "store/LegacyCodePage.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray raw(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // As received (any length) and as a whole block padded with zeros.
    QByteArray block = raw.left(upload::kBlockSize);
    block.append(QByteArray(upload::kBlockSize - block.size(), '\0'));
    for (const QByteArray& reply : {raw, block}) {
        const upload::DirectoryAnswer answer = upload::ParseDirectoryAnswer(reply);
        if (answer.kind == upload::DirectoryAnswer::Kind::Address) {
            const quint32 v = answer.address.toIPv4Address();
            if (v == 0 || v == 0xFFFFFFFFu || (v >> 28) == 0xE) __builtin_trap();
        }
        (void)upload::ReplyCodeOf(reply);
        (void)upload::ParseRequest(reply);
    }
    (void)upload::ParseDottedIPv4(raw.left(32));
    const int language = size > 0 && (data[0] & 1) ? 1028 : 1033;  // Big5 and a single-byte page
    (void)LegacyCodePage::decode(raw, language);
    return 0;
}
