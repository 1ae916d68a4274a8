#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The per-language text resources: one UTF-8 file per language identifier,
// embedded as ":/lang/<identifier>.txt". lang/README.md describes the format.

// One assignment read from a resource.
struct TextEntry {
    bool extra = false;  // false: slot 0..170; true: extra 0..3
    int index = 0;       // slot or extra number
    QString text;        // exact text, escapes resolved
    int line = 0;        // 1-based line number in the resource
};

struct TextResource {
    std::vector<TextEntry> entries;  // usable assignments, in file order
    QStringList problems;            // one line per skipped or repeated entry ("line 12: ...")
};

// One assignment of a word resource (the texts beside the slot table, named by
// key: `download.already-stored "already on this computer"`).
struct WordEntry {
    QString key;
    QString text;
    int line = 0;
};

struct WordResource {
    std::vector<WordEntry> entries;
    QStringList problems;
};

// Reads a resource. Never throws: a malformed line is skipped and named in
// `problems`; the other lines still count. A slot assigned twice keeps both
// entries (the later wins when applied) and is also named in `problems`.
TextResource ParseTextResource(QByteArrayView utf8);

// Reads a word resource: the same lines, quoting and escapes, with a word key
// (a-z, 0-9, '.' and '-', starting with a letter) instead of a slot number.
WordResource ParseWordResource(QByteArrayView utf8);

// The embedded resource of a language; nullopt when the program carries none.
std::optional<QByteArray> ReadEmbeddedTexts(int languageId);
// The embedded word resource of a language (":/lang/words/<identifier>.txt").
std::optional<QByteArray> ReadEmbeddedWords(int languageId);

// Identifiers of every embedded resource, ascending (file names that are not a
// plain decimal identifier are left out).
QList<int> EmbeddedTextLanguages();
QList<int> EmbeddedWordLanguages();

// Writes `text` the way a resource spells it: inside double quotes, with
// backslash, quote, line feed, carriage return and tab escaped (\\ \" \n \r \t)
// and any other control character as \uXXXX. ParseTextResource reads it back unchanged.
QString QuoteResourceText(const QString& text);
