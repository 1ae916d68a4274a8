#include "store/LegacyCodePage.h"

#include <gtest/gtest.h>

namespace {

struct CodePageCase {
    int languageId;
    const char* utf8;
    QByteArray expected;
};

// One text per code page, each with characters outside ASCII that sit at
// different places in the code pages (a wrong table gives wrong bytes).
TEST(LegacyCodePage, EncodesEachLanguageInItsCodePageAndDecodesBack)
{
    const CodePageCase cases[] = {
        {1033, "Caf\u00e9 \u20ac5", QByteArray("Caf\xE9 \x80" "5")},
        {1031, "Gr\u00fc\u00dfe", QByteArray("Gr\xFC\xDF" "e")},
        {1045, "\u0141\u00f3d\u017a", QByteArray("\xA3\xF3" "d\x9F")},
        {1049, "\u041f\u0440\u0438\u0432\u0435\u0442", QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2")},
        {1026, "\u0416", QByteArray("\xC6")},
        {1032, "\u0391\u03c9", QByteArray("\xC1\xF9")},
        {1055, "\u011f\u0131\u015f", QByteArray("\xF0\xFD\xFE")},
        {1028, "\u5fc3\u96fb\u5716", QByteArray("\xA4\xDF\xB9\x71\xB9\xCF")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.languageId);
        const auto encoded = LegacyCodePage::encode(QString::fromUtf8(c.utf8), c.languageId);
        EXPECT_TRUE(encoded.lossless);
        EXPECT_EQ(encoded.bytes.toHex(' '), c.expected.toHex(' '));
        EXPECT_EQ(LegacyCodePage::decode(c.expected, c.languageId), QString::fromUtf8(c.utf8));
    }
}

TEST(LegacyCodePage, CharactersWithoutPlaceBecomeOneQuestionMarkEach)
{
    // Cyrillic and an emoji in the western code page; Greek in Big5's neighbour 1250.
    auto e = LegacyCodePage::encode(QString::fromUtf8("a\u0416b\U0001F600c"), 1033);
    EXPECT_FALSE(e.lossless);
    EXPECT_EQ(e.bytes, QByteArray("a?b?c"));
    e = LegacyCodePage::encode(QString::fromUtf8("\u00e9\u03a9"), 1029);
    EXPECT_FALSE(e.lossless);
    EXPECT_EQ(e.bytes, QByteArray("\xE9?"));
    EXPECT_TRUE(LegacyCodePage::encode(QString(), 1033).lossless);
}

TEST(LegacyCodePage, UndefinedBytesDecodeToReplacementWithoutLosingTheRest)
{
    // 0x81 has no character in 1252; a Big5 lead byte at the very end is cut off.
    EXPECT_EQ(LegacyCodePage::decode(QByteArray("a\x81" "b"), 1033), QString::fromUtf8("a\uFFFDb"));
    EXPECT_EQ(LegacyCodePage::decode(QByteArray("x\xA4"), 1028), QString::fromUtf8("x\uFFFD"));
    // Unknown languages use the western code page.
    EXPECT_STREQ(LegacyCodePage::nameFor(9999), "CP1252");
}

}  // namespace
