// The program's command line: its options, the refusals, and the help text's
// table of language numbers; and the desktop's "open" behind the Help command.
#include "app/CommandLine.h"
#include "app/DesktopOpener.h"
#include "lang/TextTable.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(CommandLine, OptionsAndRefusals)
{
    struct Case {
        QStringList arguments;  // after the program's name
        bool demo, engineering;
        std::optional<int> language;
        bool refused;
    };
    const Case cases[] = {
        {{}, false, false, std::nullopt, false},
        {{"--demo"}, true, false, std::nullopt, false},
        {{"--engineering", "--demo"}, true, true, std::nullopt, false},
        {{"--language", "1031"}, false, false, 1031, false},
        {{"--language=1028", "--engineering"}, false, true, 1028, false},
        {{"--language", "1034"}, false, false, std::nullopt, true},  // not one of the 24
        {{"--language", "German"}, false, false, std::nullopt, true},
        {{"--language"}, false, false, std::nullopt, true},
        {{"--bogus"}, false, false, std::nullopt, true},
        {{"-platform", "offscreen", "--demo"}, true, false, std::nullopt, false},  // Qt's own option
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const ManagerOptions o = ParseManagerOptions(QStringList{"ecg-manager"} + c.arguments);
        EXPECT_EQ(!o.error.isEmpty(), c.refused) << o.error.toStdString();
        if (c.refused)
            continue;
        EXPECT_EQ(o.demo, c.demo);
        EXPECT_EQ(o.engineering, c.engineering);
        EXPECT_EQ(o.language, c.language);
        EXPECT_FALSE(o.help);
    }
    EXPECT_TRUE(ParseManagerOptions({"ecg-manager", "-h"}).help);
    EXPECT_TRUE(ParseManagerOptions({"ecg-manager", "--help"}).help);
    EXPECT_TRUE(ParseManagerOptions({"ecg-manager", "--version"}).version);
}

TEST(CommandLine, HelpNamesEveryOptionAndEveryLanguageNumber)
{
    const QString help = ManagerHelpText();
    for (const char* option : {"--demo", "--engineering", "--language", "--version", "--help"})
        EXPECT_TRUE(help.contains(QLatin1String(option))) << option;
    for (int id : TextTable::kLanguages)
        EXPECT_TRUE(help.contains(QString::number(id))) << id;
    EXPECT_TRUE(help.contains("Chinese (Traditional)"));
    EXPECT_TRUE(help.startsWith("Usage: ecg-manager ")) << help.toStdString();
}

TEST(DesktopOpener, OpensAFileOnlyWhenAProgramIsSetUpForIt)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath("Help_en.pdf");
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("%PDF-1.4\n");
    file.close();

    struct Case {
        const char* name;
        QUrl url;
        std::optional<QString> program;  // what the desktop says is set up for the type
        bool opens;
    };
    const Case cases[] = {
        {"a viewer is set up", QUrl::fromLocalFile(pdf), QString("org.example.Viewer.desktop"), true},
        {"no viewer is set up", QUrl::fromLocalFile(pdf), QString(), false},
        {"the desktop cannot tell", QUrl::fromLocalFile(pdf), std::nullopt, true},
        {"the document is missing", QUrl::fromLocalFile(dir.filePath("Help_tc.pdf")), QString("viewer"), false},
        {"a web page", QUrl("https://www.example.org/"), QString(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList askedFor;
        QList<QUrl> opened;
        DesktopOpener desktop;
        desktop.applicationFor = [&](const QString& mime) {
            askedFor << mime;
            return c.program;
        };
        desktop.open = [&](const QUrl& url) {
            opened << url;
            return true;
        };
        EXPECT_EQ(OpenWithDesktop(c.url, desktop), c.opens);
        EXPECT_EQ(opened, c.opens ? QList<QUrl>{c.url} : QList<QUrl>{});
        if (c.url.isLocalFile() && QFile::exists(c.url.toLocalFile()))
            EXPECT_EQ(askedFor, QStringList{"application/pdf"});
    }
}

}  // namespace
