#include "lang/Words.h"

#include "lang/TextResource.h"
#include "lang/TextTable.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

namespace {

using WordMap = QHash<QString, QString>;

// Each language's words, read once; the command line and the device's thread
// may ask as well as the windows. Handed out as a copy (shared, not copied,
// by Qt): a reference into the cache could move when another language is added.
WordMap WordsOfLanguage(int languageId)
{
    static QMutex mutex;
    static QHash<int, WordMap> loaded;
    QMutexLocker lock(&mutex);
    const auto found = loaded.constFind(languageId);
    if (found != loaded.constEnd())
        return found.value();
    WordMap words;
    if (const std::optional<QByteArray> data = ReadEmbeddedWords(languageId)) {
        // Malformed lines are skipped; the tests keep the shipped resources free of them.
        for (const WordEntry& entry : ParseWordResource(*data).entries)
            words.insert(entry.key, entry.text);
    }
    return loaded.insert(languageId, words).value();
}

}  // namespace

QString WordKey(Word word)
{
    const std::string_view key = kWordKeys[size_t(word)];
    return QString::fromLatin1(key.data(), qsizetype(key.size()));
}

QString WordIn(int languageId, Word word)
{
    const QString key = WordKey(word);
    const QString own = WordsOfLanguage(languageId).value(key);
    if (!own.isEmpty())
        return own;
    const QString english = WordsOfLanguage(TextTable::kEnglish).value(key);
    return english.isEmpty() ? key : english;
}

QString WordOf(Word word)
{
    return WordIn(TextTable::current().languageId(), word);
}
