#include "lang/TextResource.h"
#include "lang/TextTable.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using SlotSet = std::set<std::pair<bool, int>>;  // (extra, index)

SlotSet expectedSlots(int languageId)
{
    const std::set<int> unused = {TextTable::kVersionSlot, 138, 139, 140};
    const std::set<int> germanGaps = {3, 52, 83, 84, 85, 86, 92, 93, 94};
    SlotSet keys;
    for (int slot = 0; slot < TextTable::kSlotCount; ++slot)
        if (!unused.count(slot) && !(languageId == 1031 && germanGaps.count(slot)))
            keys.insert({false, slot});
    for (int i = 0; i < TextTable::kExtraCount; ++i)
        keys.insert({true, i});
    return keys;
}

TEST(TextResource, ThreeLanguagesAreEmbedded)
{
    const QList<int> ids = EmbeddedTextLanguages();
    for (int id : {1028, 1031, 1033})
        EXPECT_TRUE(ids.contains(id)) << id;
}

// Runs over whatever resources the program carries, so a language added later is checked too.
TEST(TextResource, EveryEmbeddedResourceIsCleanAndComplete)
{
    for (int id : EmbeddedTextLanguages()) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(TextTable::isSupported(id));
        const std::optional<QByteArray> data = ReadEmbeddedTexts(id);
        ASSERT_TRUE(data.has_value());
        const TextResource resource = ParseTextResource(*data);
        EXPECT_TRUE(resource.problems.isEmpty()) << resource.problems.join(u'\n').toStdString();
        SlotSet listed;
        for (const TextEntry& entry : resource.entries) {
            listed.insert({entry.extra, entry.index});
            // A blank-only or empty text in a resource is a slip, not a translation.
            EXPECT_FALSE(entry.text.trimmed().isEmpty()) << "line " << entry.line;
            EXPECT_FALSE(entry.text.contains(QChar::ReplacementCharacter)) << "line " << entry.line;
        }
        EXPECT_EQ(listed, expectedSlots(id));
    }
}

TEST(TextResource, NoResourceForAnIdentifierWithoutOne)
{
    EXPECT_FALSE(ReadEmbeddedTexts(1034).has_value());
    EXPECT_FALSE(ReadEmbeddedTexts(-1).has_value());
}

struct ParseCase {
    const char* name;
    QByteArray input;
    bool extra;
    int index;
    const char* text;  // UTF-8
};

TEST(TextResource, ReadsTextsExactly)
{
    const ParseCase cases[] = {
        {"plain", "4 \"Heart rate\"", false, 4, "Heart rate"},
        {"leading and doubled blanks", "42 \" Delete file(s) after upload  complete.\"", false, 42,
         " Delete file(s) after upload  complete."},
        {"trailing blank", "114 \"professionals \"", false, 114, "professionals "},
        {"empty text", "0 \"\"", false, 0, ""},
        {"blanks around the entry", "  \t7   \"Pause\"  \t", false, 7, "Pause"},
        {"windows line end", "8 \"Rhythm\"\r", false, 8, "Rhythm"},
        {"escapes", "9 \"a\\\\b\\\"c\\nd\\re\\tf\\u0001g\\u00E9\"", false, 9, "a\\b\"c\nd\re\tf\x01g\xc3\xa9"},
        {"hash inside the text", "10 \"# not a comment\"", false, 10, "# not a comment"},
        {"non-Latin scripts as they are", "48 \"Lead\xe2\x85\xa0 \xe5\xbf\x83\xe7\x8e\x87 \xd0\xa7\xd0\xa1\xd0\xa1\"", false, 48,
         "Lead\xe2\x85\xa0 \xe5\xbf\x83\xe7\x8e\x87 \xd0\xa7\xd0\xa1\xd0\xa1"},
        {"extra slot", "extra3 \"Register\"", true, 3, "Register"},
        {"highest slot", "170 \"x\"", false, 170, "x"},
        {"byte order mark", "\xef\xbb\xbf" "1 \"y\"", false, 1, "y"},
    };
    for (const ParseCase& c : cases) {
        const TextResource r = ParseTextResource(c.input);
        EXPECT_TRUE(r.problems.isEmpty()) << c.name << ": " << r.problems.join(u';').toStdString();
        ASSERT_EQ(r.entries.size(), 1u) << c.name;
        EXPECT_EQ(r.entries[0].extra, c.extra) << c.name;
        EXPECT_EQ(r.entries[0].index, c.index) << c.name;
        EXPECT_EQ(r.entries[0].text, QString::fromUtf8(c.text)) << c.name;
    }
}

TEST(TextResource, SkipsMalformedLinesAndNamesThem)
{
    const QByteArray bad[] = {
        "79 \"1.20.25\"",         // the version is the program's
        "171 \"x\"",              // past the last slot
        "-1 \"x\"",
        "extra4 \"x\"",
        "extra \"x\"",
        "0x10 \"x\"",
        "4 5 \"x\"",
        "4",                      // no text
        "\"no key\"",
        "4 Heart rate",           // unquoted
        "4 \"Heart rate",         // unterminated
        "4 \"Heart\" rate\"",     // text after the closing quote
        "4 \"x\" # comment",
        "4 \"bad \\q escape\"",
        "4 \"short \\u12\"",
        "4 \"lone backslash\\",
        "4 \"raw\ttab\"",
    };
    for (const QByteArray& line : bad) {
        const TextResource r = ParseTextResource("# header\n\n" + line + "\n5 \"Bradycardia\"\n");
        ASSERT_EQ(r.entries.size(), 1u) << line.constData();
        EXPECT_EQ(r.entries[0].index, 5) << line.constData();
        ASSERT_EQ(r.problems.size(), 1) << line.constData();
        EXPECT_TRUE(r.problems[0].startsWith(QStringLiteral("line 3:"))) << r.problems[0].toStdString();
    }
}

TEST(TextResource, RepeatedSlotLaterWinsAndIsReported)
{
    const TextResource r = ParseTextResource("25 \"Printer\"\n27 \"Help\"\n25 \"Drucker\"\n");
    ASSERT_EQ(r.entries.size(), 3u);
    ASSERT_EQ(r.problems.size(), 1);
    EXPECT_TRUE(r.problems[0].startsWith(QStringLiteral("line 3:")));
    TextTable table([](int) -> std::optional<QByteArray> { return QByteArray("25 \"Printer\"\n25 \"Drucker\"\n"); });
    table.SelectLanguage(1031);
    EXPECT_EQ(table.text(25), QStringLiteral("Drucker"));
}

TEST(TextResource, InvalidUtf8IsReported)
{
    const TextResource r = ParseTextResource("4 \"Herzfrequenz \xff\"\n");
    EXPECT_EQ(r.problems.size(), 1);
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_TRUE(r.entries[0].text.contains(QChar::ReplacementCharacter));
}

TEST(TextResource, QuotedTextsReadBackUnchanged)
{
    const QString texts[] = {
        QString(),
        QStringLiteral("  Remember me"),
        QStringLiteral("professionals "),
        QStringLiteral("a \"quoted\" \\ path\nsecond line\r\tend"),
        QString::fromUtf8("全部為 '否'"),
        QString(QChar(0x01)) + QChar(0x7f) + QChar(0x1f),
    };
    for (const QString& text : texts) {
        const QString line = QStringLiteral("12 ") + QuoteResourceText(text);
        EXPECT_FALSE(line.contains(u'\n'));
        const TextResource r = ParseTextResource(line.toUtf8());
        ASSERT_EQ(r.entries.size(), 1u) << line.toStdString();
        EXPECT_EQ(r.entries[0].text, text);
    }
}

}  // namespace
