// The word table beside the slot table: every language's resource complete and
// clean, placeholders kept, and the lookup following the chosen language.
#include "lang/TextResource.h"
#include "lang/TextTable.h"
#include "lang/Words.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <set>

namespace {

std::set<QString> AllKeys()
{
    std::set<QString> keys;
    for (int i = 0; i < int(Word::Count); ++i)
        keys.insert(WordKey(Word(i)));
    return keys;
}

std::multiset<QString> Placeholders(const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    std::multiset<QString> found;
    for (auto it = placeholder.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured());
    return found;
}

TEST(Words, EveryLanguageHasEveryWordWithItsPlaceholders)
{
    EXPECT_EQ(AllKeys().size(), size_t(Word::Count)) << "two words share a key";
    const QList<int> embedded = EmbeddedWordLanguages();
    for (int id : TextTable::kLanguages)
        EXPECT_TRUE(embedded.contains(id)) << id;

    for (int id : embedded) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(TextTable::isSupported(id));
        const WordResource resource = ParseWordResource(*ReadEmbeddedWords(id));
        EXPECT_TRUE(resource.problems.isEmpty()) << resource.problems.join(u'\n').toStdString();
        std::set<QString> listed;
        for (const WordEntry& entry : resource.entries) {
            listed.insert(entry.key);
            EXPECT_FALSE(entry.text.trimmed().isEmpty()) << entry.key.toStdString();
            EXPECT_FALSE(entry.text.contains(QChar::ReplacementCharacter)) << entry.key.toStdString();
        }
        EXPECT_EQ(listed, AllKeys());
        for (int i = 0; i < int(Word::Count); ++i) {
            const Word word = Word(i);
            EXPECT_EQ(Placeholders(WordIn(id, word)), Placeholders(WordIn(TextTable::kEnglish, word)))
                << WordKey(word).toStdString();
        }
    }
}

// A language that copied the English file would pass the rules above.
TEST(Words, TranslatedLanguagesTranslateTheirWords)
{
    for (int id : TextTable::kLanguages) {
        if (id == TextTable::kEnglish)
            continue;
        int translated = 0;
        for (int i = 0; i < int(Word::Count); ++i)
            translated += WordIn(id, Word(i)) != WordIn(TextTable::kEnglish, Word(i));
        // "Data" is the same word in several languages.
        EXPECT_GE(translated, int(Word::Count) - 2) << id;
    }
}

TEST(Words, FollowTheChosenLanguageAndFallBackToEnglish)
{
    TextTable& table = TextTable::current();
    const int before = table.languageId();
    table.SelectLanguage(1031);
    EXPECT_EQ(WordOf(Word::DataListRoot), WordIn(1031, Word::DataListRoot));
    EXPECT_NE(WordOf(Word::DownloadAlreadyStored), QStringLiteral("already on this computer"));
    table.SelectLanguage(1034);  // no texts of its own
    EXPECT_EQ(WordOf(Word::DownloadAlreadyStored), QStringLiteral("already on this computer"));
    table.SelectLanguage(before);
}

struct WordParseCase {
    const char* name;
    const char* resource;
    std::vector<std::pair<const char*, const char*>> entries;
    int problems;
};

TEST(Words, ResourceLinesAreReadLikeTheSlotTable)
{
    const WordParseCase cases[] = {
        {"plain", "a.b \"x y\"\n", {{"a.b", "x y"}}, 0},
        {"escapes and comments", "# note\n\nk-1 \"a\\nb \\\"q\\\"\"\r\n", {{"k-1", "a\nb \"q\""}}, 0},
        {"upper-case key", "Key \"x\"\n", {}, 1},
        {"key starting with a digit", "1a \"x\"\n", {}, 1},
        {"no quote", "key text\n", {}, 1},
        {"repeated key: both kept, named", "k \"1\"\nk \"2\"\n", {{"k", "1"}, {"k", "2"}}, 1},
        {"bad line does not stop the others", "k \"open\nj \"fine\"\n", {{"j", "fine"}}, 1},
    };
    for (const WordParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const WordResource r = ParseWordResource(QByteArray(c.resource));
        ASSERT_EQ(r.entries.size(), c.entries.size());
        for (size_t i = 0; i < c.entries.size(); ++i) {
            EXPECT_EQ(r.entries[i].key, QString::fromUtf8(c.entries[i].first));
            EXPECT_EQ(r.entries[i].text, QString::fromUtf8(c.entries[i].second));
        }
        EXPECT_EQ(r.problems.size(), c.problems) << r.problems.join(u'\n').toStdString();
    }
}

}  // namespace
