// Values from outside as messages quote them: nothing that steers a terminal
// gets through, and the user still sees which bytes were there.
#include "store/QuotedValue.h"

#include <gtest/gtest.h>

namespace {

TEST(QuotedValue, EscapesWhatIsNotPrintable)
{
    const struct {
        QByteArray raw;
        const char* quoted;
    } bytes[] = {
        {"256", R"("256")"},
        {QByteArray("2\x00" "5", 3), R"("2\x005")"},
        {"\x1b[2J\r\n\t", R"("\x1b[2J\x0d\x0a\x09")"},
        {"say \"hi\" \\", R"("say \"hi\" \\")"},
        {"\x7f\x85\xe9", R"("\x7f\x85\xe9")"},
    };
    for (const auto& b : bytes) EXPECT_EQ(QuotedValue(b.raw), QString::fromUtf8(b.quoted)) << b.quoted;

    const struct {
        QString text;
        const char* quoted;
    } texts[] = {
        {QStringLiteral("Müller 心"), "\"Müller 心\""},
        {QStringLiteral("a\u001b]0;x\u0007b"), R"("a\u001b]0;x\u0007b")"},
        {QStringLiteral("\u0085\u009b"), R"("\u0085\u009b")"},
        {QString(QChar(0)), R"("\u0000")"},
    };
    for (const auto& t : texts) EXPECT_EQ(QuotedValue(t.text), QString::fromUtf8(t.quoted)) << t.quoted;
}

}  // namespace
