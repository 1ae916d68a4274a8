#pragma once
#include <QByteArray>
#include <QString>

// The 8-bit code page that the recorder's older tools and the web service use
// for the texts of a user-interface language (Windows language identifier):
// 1252 for the western languages, 1250 central European, 1251 Cyrillic, 1253
// Greek, 1254 Turkish and Big5 for Chinese (Traditional). Identifiers outside
// the program's languages use 1252.
namespace LegacyCodePage {

// The iconv name of the language's code page, for example "CP1252" or "BIG5".
const char* nameFor(int languageId);

struct Encoded {
    QByteArray bytes;
    bool lossless = true;  // false when a character had no place in the code page
};

// `text` in the language's code page. A character the code page cannot hold
// becomes "?" (one per character, so the reader sees where something is
// missing) and `lossless` is false.
Encoded encode(const QString& text, int languageId);

// Bytes in the language's code page as text. A byte sequence the code page
// does not define becomes U+FFFD; nothing else is dropped.
QString decode(const QByteArray& bytes, int languageId);

}  // namespace LegacyCodePage
