#include "store/LegacyCodePage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace LegacyCodePage {
namespace {

// One conversion descriptor for the length of one call.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
int Utf8Length(unsigned char lead)
{
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// Runs `cd` over `in`; at a sequence it cannot convert it appends
// `replacement` and skips `skip(position)` input bytes. Returns false when
// anything was replaced.
template <typename Skip>
bool Convert(iconv_t cd, const QByteArray& in, const QByteArray& replacement, Skip skip, QByteArray& out)
{
    bool clean = true;
    char* inPtr = const_cast<char*>(in.constData());
    size_t inLeft = static_cast<size_t>(in.size());
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ (no such character) or EINVAL (cut-off sequence at the end).
        clean = false;
        out.append(replacement);
        const size_t n = std::min(inLeft, static_cast<size_t>(skip(static_cast<unsigned char>(*inPtr))));
        inPtr += n;
        inLeft -= n;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    }
    return clean;
}

}  // namespace

const char* nameFor(int languageId)
{
    switch (languageId) {
    case 1028: return "BIG5";
    case 1050: case 1029: case 1038: case 1045: case 1048: case 2074: case 1051: case 1060: return "CP1250";
    case 1026: case 1049: return "CP1251";
    case 1032: return "CP1253";
    case 1055: return "CP1254";
    default: return "CP1252";
    }
}

Encoded encode(const QString& text, int languageId)
{
    Encoded result;
    const QByteArray utf8 = text.toUtf8();
    Converter cd(nameFor(languageId), "UTF-8");
    if (!cd.ok()) {
        // Without the converter only plain ASCII can be trusted.
        for (QChar c : text) {
            const bool ascii = c.unicode() < 0x80;
            result.bytes.append(ascii ? static_cast<char>(c.unicode()) : '?');
            result.lossless = result.lossless && ascii;
        }
        return result;
    }
    result.lossless = Convert(cd.get(), utf8, QByteArrayLiteral("?"), Utf8Length, result.bytes);
    return result;
}

QString decode(const QByteArray& bytes, int languageId)
{
    Converter cd("UTF-8", nameFor(languageId));
    if (!cd.ok()) return QString::fromLatin1(bytes);
    QByteArray utf8;
    Convert(cd.get(), bytes, QByteArrayLiteral("\xEF\xBF\xBD"), [](unsigned char) { return 1; }, utf8);
    return QString::fromUtf8(utf8);
}

}  // namespace LegacyCodePage
