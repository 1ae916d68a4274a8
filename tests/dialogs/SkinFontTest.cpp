// The windows' fonts are installed and draw every script of the program's
// languages, the Roman numerals of the lead names included, from the families
// they name (not from whatever font the system would fall back to).
#include "TestApp.h"
#include "dialogs/SkinStyle.h"
#include "lang/TextTable.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace {

// The families that drew `text`; empty when a glyph is missing.
QStringList DrawingFamilies(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList families;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        for (quint32 glyph : run.glyphIndexes()) {
            if (glyph == 0)
                return {};
        }
        families << run.rawFont().familyName();
    }
    return families;
}

TEST(SkinFont, NamedFamiliesAreInstalled)
{
    TestApp();
    const QStringList families = SkinFontFamilies();
    ASSERT_FALSE(families.isEmpty());
    for (const QString& family : families) {
        if (family == "Tahoma")  // used when a user has it, never required
            continue;
        EXPECT_TRUE(QFontDatabase::hasFamily(family)) << family.toStdString();
    }
}

TEST(SkinFont, DrawsEveryLanguageAndTheLeadNumerals)
{
    TestApp();
    const QFont font = SkinFont(QFont(), 8);
    const QStringList named = SkinFontFamilies();
    for (int id : TextTable::kLanguages) {
        TextTable table;
        table.SelectLanguage(id);
        // The language's own words in several slots, and the lead names with Ⅰ and Ⅱ.
        for (int slot : {4, 17, 48, 49, 89, 164}) {
            const QString text = table.text(slot);
            const QStringList families = DrawingFamilies(text, font);
            ASSERT_FALSE(families.isEmpty()) << "language " << id << ", slot " << slot << ": a glyph is missing";
            for (const QString& family : families)
                EXPECT_TRUE(named.contains(family)) << "language " << id << ", slot " << slot << " drawn with "
                                                    << family.toStdString();
        }
    }
}

}  // namespace
