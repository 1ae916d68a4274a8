// Every one of the 24 languages against the rules of the text table: which
// slots it fills, its own name for the heart rate, and the slots that keep the
// English words.
#include "lang/TextTable.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

constexpr int kChinese = 1028;
constexpr int kGerman = 1031;
const std::set<int> kGermanGaps = {3, 52, 83, 84, 85, 86, 92, 93, 94};
const std::set<int> kUnused = {138, 139, 140};

// Slot 4 in every language.
const std::map<int, const char*> kHeartRate = {
    {1026, "Пулс"},          {1028, "心率"},        {1050, "Frekv. srca"},        {1029, "Srdeční frekvence"},
    {1030, "Hjertefrek."},   {1043, "Hartfreq."},   {1033, "Heart rate"},         {1035, "Syke"},
    {1036, "Fréquence cardiaque"}, {1031, "Herzfrequenz"}, {1032, "Καρδ. συχν."}, {1038, "Szívfrekvencia"},
    {1040, "Freq. card."},   {1044, "Hj.frekvens"}, {1045, "Cz.b.serca"},         {1046, "Freq. card."},
    {1048, "Frecvenţă cardiacă"}, {1049, "ЧСС"},   {2074, "Frekv. srca"},        {1051, "Srd. frekv."},
    {3082, "Frecuencia cardiaca"}, {1053, "Hjärtfrekv"}, {1055, "Kalp frek."},   {1060, "Srčna frekvenca"},
};

// Slots that keep the English text in every language but Chinese, with the
// further languages that translate them. Extra slots are numbered -1 - n. The
// account note is one sentence over the four extra slots: German has all four
// in German, never a sentence that turns English halfway.
const std::map<int, std::set<int>> kEnglishUnless = {
    {3, {}}, {16, {}}, {23, {}}, {24, {1031}}, {26, {}}, {35, {}}, {42, {}}, {45, {1055, 1060}},
    {46, {1031}}, {47, {}}, {48, {}}, {49, {}}, {52, {}}, {60, {}}, {61, {}}, {62, {}}, {63, {}},
    {64, {}}, {65, {}}, {66, {}}, {67, {}}, {68, {}}, {70, {}}, {81, {1031}}, {83, {}}, {84, {}},
    {85, {}}, {86, {}}, {92, {}}, {93, {}}, {94, {}}, {110, {1032, 1050, 2074}}, {111, {1031, 1053}},
    {112, {}}, {113, {}}, {114, {}}, {115, {1031}}, {123, {1031}}, {124, {}}, {125, {1031}},
    {126, {1031}}, {127, {1031}}, {128, {1031}}, {129, {1031}}, {131, {}}, {132, {1031}}, {133, {}},
    {135, {}}, {136, {}}, {137, {1031}}, {141, {1031}}, {142, {}}, {143, {}}, {144, {}},
    {145, {1031}}, {146, {1031}}, {147, {1031}}, {148, {1031}}, {149, {}}, {150, {}}, {154, {1031}},
    {155, {}}, {156, {1031}}, {158, {}}, {160, {}}, {163, {1031}}, {166, {}}, {167, {}},
    {169, {1031}}, {170, {1031}}, {-1, {1031}}, {-2, {1031}}, {-3, {1031}}, {-4, {1031}},
};
// The report's position letters are the same in every language, Chinese included.
const std::set<int> kSameEverywhere = {105, 106, 107};

QString TextOfSlot(const TextTable& table, int slot)
{
    return slot >= 0 ? table.text(slot) : table.extraText(-1 - slot);
}

TextTable Selected(int languageId)
{
    TextTable table;
    table.SelectLanguage(languageId);
    return table;
}

TEST(Languages, EveryLanguageHasItsOwnTextsInEveryRequiredSlot)
{
    for (int id : TextTable::kLanguages) {
        const TextTable table = Selected(id);
        EXPECT_EQ(table.textSource(), TextTable::TextSource::Own) << id;
        for (int slot = 0; slot < TextTable::kSlotCount; ++slot) {
            const bool gap = kUnused.count(slot) || (id == kGerman && kGermanGaps.count(slot));
            EXPECT_EQ(table.text(slot).isEmpty(), gap) << "language " << id << ", slot " << slot;
        }
        for (int i = 0; i < TextTable::kExtraCount; ++i)
            EXPECT_FALSE(table.extraText(i).isEmpty()) << "language " << id << ", extra " << i;
        EXPECT_EQ(table.text(4), QString::fromUtf8(kHeartRate.at(id))) << id;
    }
}

TEST(Languages, SlotsThatStayEnglishAreEnglish)
{
    const TextTable english = Selected(TextTable::kEnglish);
    for (int id : TextTable::kLanguages) {
        if (id == TextTable::kEnglish)
            continue;
        const TextTable table = Selected(id);
        for (const auto& [slot, translatedIn] : kEnglishUnless) {
            if (id == kGerman && kGermanGaps.count(slot))
                continue;
            const bool staysEnglish = id != kChinese && !translatedIn.count(id);
            if (staysEnglish) {
                EXPECT_EQ(TextOfSlot(table, slot), TextOfSlot(english, slot)) << "language " << id << ", slot " << slot;
            }
        }
        for (int slot : kSameEverywhere)
            EXPECT_EQ(table.text(slot), english.text(slot)) << "language " << id << ", slot " << slot;
    }
}

// A language that left most of its slots in English would pass the rules above;
// its texts must really be its own.
TEST(Languages, TranslatedLanguagesTranslateTheirWords)
{
    const TextTable english = Selected(TextTable::kEnglish);
    for (int id : TextTable::kLanguages) {
        if (id == TextTable::kEnglish)
            continue;
        const TextTable table = Selected(id);
        int translated = 0, candidates = 0;
        for (int slot = 0; slot < TextTable::kSlotCount; ++slot) {
            if (kUnused.count(slot) || slot == TextTable::kVersionSlot || kSameEverywhere.count(slot))
                continue;
            const auto rule = kEnglishUnless.find(slot);
            if (rule != kEnglishUnless.end() && id != kChinese && !rule->second.count(id))
                continue;
            ++candidates;
            translated += table.text(slot) != english.text(slot);
        }
        // A few words are spelt alike in English ("Pause", "Name", "Info", "Version").
        EXPECT_GE(translated, candidates * 9 / 10) << "language " << id << ": " << translated << " of " << candidates;
    }
}

}  // namespace
