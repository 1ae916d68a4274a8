#include "lang/TextResource.h"

#include "lang/TextTable.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <set>
#include <utility>

namespace {

constexpr char kResourceFolder[] = ":/lang";
constexpr char kWordFolder[] = ":/lang/words";

struct Key {
    bool extra = false;
    int index = 0;
};

// "<slot>" or "extra<n>" in plain decimal digits; nullopt when it is neither
// or out of range. The version slot is the program's, not a language's.
std::optional<Key> parseKey(QStringView word, QString* why)
{
    Key key;
    QStringView digits = word;
    if (word.startsWith(u"extra")) {
        key.extra = true;
        digits = word.mid(5);
    }
    if (digits.isEmpty() || digits.size() > 4
        || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        *why = QStringLiteral("\"%1\" is neither a slot number nor extra0..extra3").arg(word);
        return std::nullopt;
    }
    key.index = digits.toInt();
    const int limit = key.extra ? TextTable::kExtraCount : TextTable::kSlotCount;
    if (key.index >= limit) {
        *why = QStringLiteral("%1 is out of range").arg(word);
        return std::nullopt;
    }
    if (!key.extra && key.index == TextTable::kVersionSlot) {
        *why = QStringLiteral("slot 79 holds the software version and is the same in every language");
        return std::nullopt;
    }
    return key;
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The quoted text starting at `rest` (which begins with '"'); the closing quote
// must be followed by blanks only.
std::optional<QString> parseQuoted(QStringView rest, QString* why)
{
    QString text;
    qsizetype i = 1;
    for (;; ++i) {
        if (i >= rest.size()) {
            *why = QStringLiteral("the text has no closing quote");
            return std::nullopt;
        }
        const QChar c = rest[i];
        if (c == u'"')
            break;
        if (c == u'\\') {
            if (++i >= rest.size()) {
                *why = QStringLiteral("the text ends in a lone backslash");
                return std::nullopt;
            }
            switch (rest[i].unicode()) {
            case u'\\': text += u'\\'; break;
            case u'"': text += u'"'; break;
            case u'n': text += u'\n'; break;
            case u'r': text += u'\r'; break;
            case u't': text += u'\t'; break;
            case u'u': {
                const QStringView hex = rest.mid(i + 1, 4);
                if (hex.size() != 4 || !std::all_of(hex.begin(), hex.end(), isHexDigit)) {
                    *why = QStringLiteral("\\u needs four hexadecimal digits");
                    return std::nullopt;
                }
                text += QChar(hex.toUShort(nullptr, 16));
                i += 4;
                break;
            }
            default:
                *why = QStringLiteral("unknown escape \\%1").arg(rest[i]);
                return std::nullopt;
            }
            continue;
        }
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            // Raw control characters (a tab) would be invisible in the file.
            *why = QStringLiteral("raw control character U+%1 inside the text; write it as an escape")
                       .arg(c.unicode(), 4, 16, QLatin1Char('0'));
            return std::nullopt;
        }
        text += c;
    }
    const QStringView after = rest.mid(i + 1);
    if (!after.trimmed().isEmpty()) {
        *why = QStringLiteral("unexpected characters after the closing quote");
        return std::nullopt;
    }
    return text;
}

}  // namespace

namespace {

// Walks the assignments of a resource: decodes it, skips blank and comment
// lines, splits each line into its key word and its quoted text and hands both
// to `take`, which checks the key. A line that is malformed, or whose key
// `take` refuses, is named in `problems`.
template <typename Take>
void ReadAssignments(QByteArrayView utf8, QStringList& problems, const char* keyName, Take take)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString all = decoder.decode(utf8);
    if (decoder.hasError())
        problems << QStringLiteral("the resource is not valid UTF-8; invalid bytes read as U+FFFD");

    const QList<QStringView> lines = QStringView(all).split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const int lineNo = int(n) + 1;
        QStringView line = lines[n];
        if (line.endsWith(u'\r'))
            line.chop(1);  // files edited on Windows
        const QStringView body = line.trimmed();
        if (body.isEmpty() || body.startsWith(u'#'))
            continue;

        const qsizetype quote = line.indexOf(u'"');
        const QStringView keyWord = (quote < 0 ? line : line.left(quote)).trimmed();
        if (quote < 0 || keyWord.isEmpty() || keyWord.contains(u' ') || keyWord.contains(u'\t')) {
            problems << QStringLiteral("line %1: expected <%2> \"<text>\"").arg(lineNo).arg(QLatin1String(keyName));
            continue;
        }
        QString why;
        if (!take(keyWord, line.mid(quote), lineNo, &why))
            problems << QStringLiteral("line %1: %2").arg(lineNo).arg(why);
    }
}

// A word key: lower-case letters, digits, dots and hyphens, starting with a letter.
bool IsWordKey(QStringView key)
{
    if (key.isEmpty() || key.front() < u'a' || key.front() > u'z')
        return false;
    return std::all_of(key.begin(), key.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-';
    });
}

}  // namespace

TextResource ParseTextResource(QByteArrayView utf8)
{
    TextResource result;
    std::set<std::pair<bool, int>> seen;
    ReadAssignments(utf8, result.problems, "slot", [&](QStringView keyWord, QStringView quoted, int lineNo, QString* why) {
        const std::optional<Key> key = parseKey(keyWord, why);
        std::optional<QString> text;
        if (key)
            text = parseQuoted(quoted, why);
        if (!key || !text)
            return false;
        if (!seen.insert({key->extra, key->index}).second)
            result.problems << QStringLiteral("line %1: %2 is assigned again; the later text wins")
                                   .arg(lineNo)
                                   .arg(keyWord);
        result.entries.push_back(TextEntry{key->extra, key->index, *text, lineNo});
        return true;
    });
    return result;
}

WordResource ParseWordResource(QByteArrayView utf8)
{
    WordResource result;
    std::set<QString> seen;
    ReadAssignments(utf8, result.problems, "word", [&](QStringView keyWord, QStringView quoted, int lineNo, QString* why) {
        if (!IsWordKey(keyWord)) {
            *why = QStringLiteral("\"%1\" is not a word key (a-z, 0-9, '.' and '-')").arg(keyWord);
            return false;
        }
        const std::optional<QString> text = parseQuoted(quoted, why);
        if (!text)
            return false;
        if (!seen.insert(keyWord.toString()).second)
            result.problems << QStringLiteral("line %1: %2 is assigned again; the later text wins")
                                   .arg(lineNo)
                                   .arg(keyWord);
        result.entries.push_back(WordEntry{keyWord.toString(), *text, lineNo});
        return true;
    });
    return result;
}

std::optional<QByteArray> ReadEmbeddedTexts(int languageId)
{
    QFile file(QStringLiteral("%1/%2.txt").arg(QLatin1String(kResourceFolder)).arg(languageId));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::optional<QByteArray> ReadEmbeddedWords(int languageId)
{
    QFile file(QStringLiteral("%1/%2.txt").arg(QLatin1String(kWordFolder)).arg(languageId));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

namespace {

QList<int> LanguagesIn(const char* folder)
{
    QList<int> ids;
    const QStringList names = QDir(QLatin1String(folder)).entryList({QStringLiteral("*.txt")}, QDir::Files);
    for (const QString& name : names) {
        const QStringView stem = QStringView(name).chopped(4);
        bool ok = false;
        const int id = stem.toInt(&ok);
        if (ok && !stem.isEmpty() && QString::number(id) == stem)
            ids << id;
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace

QList<int> EmbeddedTextLanguages()
{
    return LanguagesIn(kResourceFolder);
}

QList<int> EmbeddedWordLanguages()
{
    return LanguagesIn(kWordFolder);
}

QString QuoteResourceText(const QString& text)
{
    QString out(u'"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': out += QLatin1String("\\\\"); break;
        case u'"': out += QLatin1String("\\\""); break;
        case u'\n': out += QLatin1String("\\n"); break;
        case u'\r': out += QLatin1String("\\r"); break;
        case u'\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}
