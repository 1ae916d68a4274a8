#include "store/QuotedValue.h"

#include <QList>

namespace {

void appendEscaped(QString& out, char32_t c, bool byte)
{
    if (c == '"' || c == '\\') {
        out += QLatin1Char('\\');
        out += QChar(c);
    } else if (c < 0x20 || c == 0x7F || (byte && c > 0x7F) || (c >= 0x80 && c <= 0x9F)) {
        out += byte ? QStringLiteral("\\x%1").arg(static_cast<uint>(c), 2, 16, QLatin1Char('0'))
                    : QStringLiteral("\\u%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0'));
    } else {
        out += QString::fromUcs4(&c, 1);
    }
}

}  // namespace

QString QuotedValue(const QByteArray& raw)
{
    QString out = QStringLiteral("\"");
    for (const char b : raw) appendEscaped(out, static_cast<unsigned char>(b), true);
    return out + QLatin1Char('"');
}

QString QuotedValue(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const uint c : text.toUcs4()) appendEscaped(out, c, false);
    return out + QLatin1Char('"');
}
