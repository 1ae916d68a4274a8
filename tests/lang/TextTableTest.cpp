#include "lang/TextResource.h"
#include "lang/TextTable.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

const std::set<int> kGermanGaps = {3, 52, 83, 84, 85, 86, 92, 93, 94};
const std::set<int> kUnused = {138, 139, 140};

// Slots whose German text is the English one (everything marked English in
// every language but Chinese, plus "OK" and "(bpm)", and the report letters).
const std::set<int> kEnglishInGerman = {
    16, 23, 26, 35, 42, 45, 47, 48, 49, 60, 61, 62, 63, 64, 65, 66, 67, 68, 70, 105, 106, 107,
    110, 112, 113, 114, 124, 131, 133, 135, 136, 142, 143, 144, 149, 150, 155, 158, 160, 166, 167};

// Translated slots whose German word happens to be spelt as the English one
// ("Pause", "Name", " Standard", "Version", "Info", "Name:", "m", "position:").
const std::set<int> kSameWordInGerman = {7, 44, 57, 69, 87, 95, 97, 104};

TextTable selected(int languageId)
{
    TextTable table;
    table.SelectLanguage(languageId);
    return table;
}

bool allEmptyButVersion(const TextTable& table)
{
    for (int slot = 0; slot < TextTable::kSlotCount; ++slot)
        if (slot != TextTable::kVersionSlot && !table.text(slot).isEmpty())
            return false;
    for (int i = 0; i < TextTable::kExtraCount; ++i)
        if (!table.extraText(i).isEmpty())
            return false;
    return true;
}

TEST(TextTable, EmptyBeforeSelectLanguage)
{
    const TextTable table;
    EXPECT_EQ(table.languageId(), 0);
    EXPECT_TRUE(table.text(TextTable::kVersionSlot).isEmpty());
    EXPECT_TRUE(allEmptyButVersion(table));
}

struct SlotCase {
    int languageId;
    int slot;  // -1 - n: extra n
    const char* text;
};

// The lookups the windows depend on, with the texts whose blanks are easy to lose.
const SlotCase kSlotCases[] = {
    {1033, 0, "Data list"},
    {1033, 4, "Heart rate"},
    {1033, 13, "Settings"},
    {1033, 17, "Download"},
    {1033, 25, "Printer"},
    {1033, 27, "Help"},
    {1033, 41, " Delete data once download is complete."},
    {1033, 42, " Delete file(s) after upload  complete."},
    {1033, 43, "Cancel"},
    {1033, 45, "OK"},
    {1033, 46, "  Remember me"},
    {1033, 47, " Lead"},
    {1033, 48, "Lead\u2160"},
    {1033, 49, "Lead \u2161"},
    {1033, 53, " Beep button"},
    {1033, 54, "  Beep with each heartbeat"},
    {1033, 57, " Standard"},
    {1033, 58, " Return to default setting."},
    {1033, 63, "Procedure :"},
    {1033, 87, "Info"},
    {1033, 105, "A"},
    {1033, 114, "cannot show all variations and symptoms of the heart disease, please consult with medical professionals "},
    {1033, 116, "The Talmon ECG Manager is already running!"},
    {1033, 117, "Execution error in Talmon ECG Manager. Error code:"},
    {1033, 123, "Fail to connect to server, please try again later."},
    {1033, 125, "Fail to connect to server, please try again later."},
    {1033, 137, "Do you want to upgrade firmware ?"},
    {1033, 167, "There is a New version of Lumo.ECG Studio available, Upgrade Now?"},
    {1033, 170, "For reading the document, please install Acrobat Reader from Adobe."},
    {1033, -1, "Please visit heartvault to register your account before"},
    {1033, -2, "data upload.  For registered user, please fill in the"},
    {1033, -3, "email and password."},
    {1033, -4, "Register"},
    {1028, 4, "心率"},
    {1028, 43, "取消"},
    {1028, 45, "確認"},
    {1028, 27, "說明"},
    {1028, 106, "B"},
    {1031, 4, "Herzfrequenz"},
    {1031, 24, "Passwort"},
    {1031, 43, "Abbrechen"},
    {1031, 45, "OK"},
    {1031, 23, "E-Mail"},
    {1031, 110, "(bpm)"},
    {1031, 42, " Delete file(s) after upload  complete."},
    {1031, 107, "C"},
};

TEST(TextTable, SlotLookups)
{
    std::map<int, TextTable> tables;
    for (const SlotCase& c : kSlotCases) {
        if (!tables.count(c.languageId))
            tables.emplace(c.languageId, selected(c.languageId));
        const TextTable& table = tables.at(c.languageId);
        const QString got = c.slot >= 0 ? table.text(c.slot) : table.extraText(-1 - c.slot);
        EXPECT_EQ(got, QString::fromUtf8(c.text)) << "language " << c.languageId << ", slot " << c.slot;
    }
}

TEST(TextTable, OutOfRangeSlotsReadEmpty)
{
    const TextTable table = selected(1033);
    for (int slot : {-1, TextTable::kSlotCount, 100000})
        EXPECT_TRUE(table.text(slot).isEmpty()) << slot;
    for (int i : {-1, TextTable::kExtraCount})
        EXPECT_TRUE(table.extraText(i).isEmpty()) << i;
}

TEST(TextTable, VersionSlotAndIdentifierInEveryLanguage)
{
    std::vector<int> ids(TextTable::kLanguages.begin(), TextTable::kLanguages.end());
    ids.insert(ids.end(), {0, -1, 1034, 2052, 99999});
    for (int id : ids) {
        const TextTable table = selected(id);
        EXPECT_EQ(table.text(TextTable::kVersionSlot), QStringLiteral("1.20.25")) << id;
        EXPECT_EQ(table.languageId(), id);
    }
}

TEST(TextTable, EveryShippedLanguageFillsItsSlots)
{
    for (int id : {1033, 1028, 1031}) {
        const TextTable table = selected(id);
        EXPECT_EQ(table.textSource(), TextTable::TextSource::Own) << id;
        for (int slot = 0; slot < TextTable::kSlotCount; ++slot) {
            const bool expectEmpty = kUnused.count(slot) || (id == 1031 && kGermanGaps.count(slot));
            EXPECT_EQ(table.text(slot).isEmpty(), expectEmpty) << "language " << id << ", slot " << slot;
        }
        for (int i = 0; i < TextTable::kExtraCount; ++i)
            EXPECT_FALSE(table.extraText(i).isEmpty()) << "language " << id << ", extra " << i;
    }
}

TEST(TextTable, GermanKeepsEnglishWhereTheLanguageHasNoWordOfItsOwn)
{
    const TextTable english = selected(1033);
    const TextTable german = selected(1031);
    for (int slot = 0; slot < TextTable::kSlotCount; ++slot) {
        if (kUnused.count(slot) || kGermanGaps.count(slot) || slot == TextTable::kVersionSlot)
            continue;
        if (kEnglishInGerman.count(slot)) {
            EXPECT_EQ(german.text(slot), english.text(slot)) << slot;
        } else if (!kSameWordInGerman.count(slot)) {
            EXPECT_NE(german.text(slot), english.text(slot)) << slot;
        }
    }
    // The account note reads as one German sentence, link included.
    for (int i = 0; i < TextTable::kExtraCount; ++i)
        EXPECT_NE(german.extraText(i), english.extraText(i)) << i;
}

TEST(TextTable, ChineseTranslatesEverythingButTheReportLetters)
{
    const TextTable english = selected(1033);
    const TextTable chinese = selected(1028);
    for (int slot = 0; slot < TextTable::kSlotCount; ++slot) {
        if (kUnused.count(slot) || slot == TextTable::kVersionSlot)
            continue;
        if (slot >= 105 && slot <= 107) {
            EXPECT_EQ(chinese.text(slot), english.text(slot)) << slot;
        } else {
            EXPECT_NE(chinese.text(slot), english.text(slot)) << slot;
        }
    }
    for (int i = 0; i < TextTable::kExtraCount; ++i)
        EXPECT_NE(chinese.extraText(i), english.extraText(i)) << i;
}

TEST(TextTable, GermanGapsKeepWhatTheSlotsHeldBefore)
{
    const TextTable fresh = selected(1031);
    const TextTable english = selected(1033);
    const TextTable chinese = selected(1028);

    TextTable afterEnglish = english;
    afterEnglish.SelectLanguage(1031);
    TextTable afterChinese = chinese;
    afterChinese.SelectLanguage(1031);

    for (int slot : kGermanGaps) {
        EXPECT_TRUE(fresh.text(slot).isEmpty()) << slot;
        EXPECT_EQ(afterEnglish.text(slot), english.text(slot)) << slot;
        EXPECT_EQ(afterChinese.text(slot), chinese.text(slot)) << slot;
    }
    EXPECT_EQ(afterEnglish.text(3), QStringLiteral("Recorded"));
    EXPECT_EQ(afterEnglish.text(94), QStringLiteral("I feel chest pain when I take this measurement and my heart beats fast."));
    // Everything else is German whatever came before.
    for (int slot = 0; slot < TextTable::kSlotCount; ++slot) {
        if (kGermanGaps.count(slot))
            continue;
        EXPECT_EQ(afterEnglish.text(slot), fresh.text(slot)) << slot;
        EXPECT_EQ(afterChinese.text(slot), fresh.text(slot)) << slot;
    }
    EXPECT_EQ(afterChinese.languageId(), 1031);
}

TEST(TextTable, UnknownIdentifierSetsOnlyTheVersion)
{
    const TextTable fresh = selected(1034);
    EXPECT_EQ(fresh.textSource(), TextTable::TextSource::None);
    EXPECT_TRUE(allEmptyButVersion(fresh));
    EXPECT_EQ(fresh.text(79), QStringLiteral("1.20.25"));

    // Over an earlier language nothing changes but the identifier.
    const TextTable english = selected(1033);
    TextTable table = english;
    table.SelectLanguage(1034);
    EXPECT_EQ(table.languageId(), 1034);
    for (int slot = 0; slot < TextTable::kSlotCount; ++slot)
        EXPECT_EQ(table.text(slot), english.text(slot)) << slot;
    EXPECT_EQ(table.extraText(3), QStringLiteral("Register"));
}

TEST(TextTable, SupportedLanguageWithoutResourceShowsEnglish)
{
    // A program that carries only the English resource.
    const TextTable::ResourceReader onlyEnglish = [](int id) -> std::optional<QByteArray> {
        if (id == TextTable::kEnglish)
            return ReadEmbeddedTexts(id);
        return std::nullopt;
    };
    TextTable table(onlyEnglish);
    table.SelectLanguage(1036);
    EXPECT_EQ(table.languageId(), 1036);
    EXPECT_EQ(table.textSource(), TextTable::TextSource::English);
    EXPECT_EQ(table.text(4), QStringLiteral("Heart rate"));
    EXPECT_EQ(table.text(79), QStringLiteral("1.20.25"));
    EXPECT_EQ(table.extraText(3), QStringLiteral("Register"));

    // Unknown identifiers do not fall back.
    TextTable unknown(onlyEnglish);
    unknown.SelectLanguage(1034);
    EXPECT_TRUE(allEmptyButVersion(unknown));

    // With no resource at all only the version is there.
    TextTable bare([](int) -> std::optional<QByteArray> { return std::nullopt; });
    bare.SelectLanguage(1033);
    EXPECT_EQ(bare.textSource(), TextTable::TextSource::None);
    EXPECT_TRUE(allEmptyButVersion(bare));
    EXPECT_EQ(bare.text(79), QStringLiteral("1.20.25"));
}

TEST(TextTable, ResourceDecidesWhichSlotsChange)
{
    // A partial resource with a malformed line: listed slots change, the rest keep their text.
    TextTable table([](int id) -> std::optional<QByteArray> {
        if (id == 1036)
            return QByteArray("4 \"Fr\xc3\xa9quence cardiaque\"\n5 broken\nextra2 \" a \\\"b\\\"\\n\"\n");
        return ReadEmbeddedTexts(id);
    });
    table.SelectLanguage(1033);
    table.SelectLanguage(1036);
    EXPECT_EQ(table.textSource(), TextTable::TextSource::Own);
    EXPECT_EQ(table.text(4), QStringLiteral("Fréquence cardiaque"));
    EXPECT_EQ(table.text(5), QStringLiteral("Bradycardia"));
    EXPECT_EQ(table.extraText(2), QStringLiteral(" a \"b\"\n"));
}

TEST(TextTable, CurrentTableServesTextOf)
{
    TextTable::current().SelectLanguage(1028);
    EXPECT_EQ(&TextTable::current(), &TextTable::current());
    EXPECT_EQ(TextOf(4), QStringLiteral("心率"));
    EXPECT_EQ(TextTable::current().languageId(), 1028);
}

}  // namespace

TEST(TextTable, TextForEnglishFollowsTheCurrentLanguage)
{
    const QString question = QStringLiteral("Are you sure you want to delete the selected files?");
    TextTable::current().SelectLanguage(1028);
    EXPECT_EQ(TextForEnglish(question), TextOf(164));
    EXPECT_NE(TextForEnglish(question), question);
    // Words no slot holds come back unchanged.
    EXPECT_EQ(TextForEnglish(QStringLiteral("No such entry")), QStringLiteral("No such entry"));
    TextTable::current().SelectLanguage(1033);
    EXPECT_EQ(TextForEnglish(question), question);
}
