// Start-up below the windows: folders, language, configuration files, the
// data folder chain and the single-instance guard.
#include "TestApp.h"
#include "app/Configuration.h"
#include "app/InstanceGuard.h"
#include "app/LanguageChoice.h"
#include "app/Startup.h"
#include "lang/LanguageLocale.h"
#include "lang/TextTable.h"
#include "store/ProfileFile.h"
#include "tests/store/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(data);
}

int LeftOf(const QList<LeftEdge>& edges, const char* control)
{
    int left = -1;
    for (const LeftEdge& e : edges) {
        if (QLatin1String(e.control) == QLatin1String(control))
            left = e.left;  // a later edge overrides an earlier one
    }
    return left;
}

TEST(LanguageChoiceTest, TextAndIdentifier)
{
    struct Case {
        const char* content;
        const char* text;
        int id;
    };
    const Case cases[] = {
        {" 1028 \n", "1028", 1028}, {"01033", "01033", 1033}, {"1049", "1049", 1049},
        {"abc", "abc", 1033},       {"", "", 1033},           {"10 33", "10 33", 1033},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        const QString path = dir.filePath("setinfo.ini");
        WriteAll(path, c.content);
        EXPECT_EQ(ReadLanguageText(path), QString(c.text)) << c.content;
        EXPECT_EQ(LanguageIdOf(ReadLanguageText(path)), c.id) << c.content;
    }
    EXPECT_EQ(ReadLanguageText(dir.filePath("missing.ini")), "1033");
}

TEST(LanguageChoiceTest, PositionsOfBothStepsByLanguageText)
{
    struct Case {
        const char* text;
        int deviceId, conn, recordDate, hrImage, heartRate, bpm;
    };
    // -1: the step leaves the control where the layout put it.
    const Case cases[] = {
        {"1028", 800, 930, -1, 150, 180, 245},
        {"1033", 758, 883, 120, 150, 180, 245},
        {"1049", 758, 850, 120, 150, 180, 245},  // the second step overrides the first
        {"1026", 758, 850, 120, 150, 180, 245},
        {"3082", 758, 863, 120, 150, 180, 245},
        {"01033", 758, 883, 120, -1, -1, -1},    // compared as text: not a table row
        {"1034", 758, 883, 120, -1, -1, -1},
    };
    for (const Case& c : cases) {
        QList<LeftEdge> all = FirstLanguagePositions(c.text);
        all += SecondLanguagePositions(c.text);
        EXPECT_EQ(LeftOf(all, "DeviceIDLabel"), c.deviceId) << c.text;
        EXPECT_EQ(LeftOf(all, "ConnLabe"), c.conn) << c.text;
        EXPECT_EQ(LeftOf(all, "RecordDate"), c.recordDate) << c.text;
        EXPECT_EQ(LeftOf(all, "HRImage"), c.hrImage) << c.text;
        EXPECT_EQ(LeftOf(all, "HeartRate"), c.heartRate) << c.text;
        EXPECT_EQ(LeftOf(all, "bpmLabel"), c.bpm) << c.text;
    }
    const QList<LeftEdge> slovenian = SecondLanguagePositions("1060");
    EXPECT_EQ(LeftOf(slovenian, "CtlImg"), 205);
    EXPECT_EQ(LeftOf(slovenian, "RecordInfoLabel"), 13);
    EXPECT_EQ(LeftOf(slovenian, "DataListLabel"), 13);
}

TEST(ConfigurationTest, DataFolderFromSetDataPath)
{
    const QString settings = "/home/u/Documents/talmon/";
    EXPECT_EQ(DataFolderFor("/home/u/Documents/talmon/", settings), "/home/u/Documents/talmon/DATA/");
    EXPECT_EQ(DataFolderFor("  /mnt/ecg \r\n", settings), "/mnt/ecg/DATA/");
    EXPECT_EQ(DataFolderFor("", settings), "/home/u/Documents/talmon/DATA/");  // never the file-system root
    EXPECT_EQ(DataFolderFor("rel", settings), "/home/u/Documents/talmon/rel/DATA/");
}

TEST(ConfigurationTest, ColourStoredAtClose)
{
    EXPECT_EQ(ColorAtClose("1"), "1");
    EXPECT_EQ(ColorAtClose("0"), "0");
    EXPECT_EQ(ColorAtClose(""), "0");  // a missing COLOR meant green paper
    EXPECT_EQ(ColorAtClose(" 1"), "0");
}

// Defaults cut off by a full disk would stay cut off: the next start finds
// the file and completes nothing.
TEST(ConfigurationTest, DefaultsAreWrittenWholeOrNotAtAll)
{
    QTemporaryDir dir;
    ProfileFile heartlet(dir.filePath("Heartlet.ini"));
    {
        FileSizeLimit full(60);
        EXPECT_FALSE(WriteHeartletDefaultsIfMissing(heartlet));
    }
    EXPECT_FALSE(heartlet.exists());
    ASSERT_TRUE(WriteHeartletDefaultsIfMissing(heartlet));
    EXPECT_EQ(heartlet.readString("INFO", "UPGRADE_ACCOUNT"), "firmware_server");
}

// The small settings files are written whole or not at all: a file cut short
// by a full disk would be read at the next start as a wrong language or data
// folder, and never written again because it exists.
TEST(ConfigurationTest, SmallSettingsFilesAreWrittenWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const QString setinfo = dir.filePath("setinfo.ini"), setDataPath = dir.filePath("SetDataPath.ini");
    {
        FileSizeLimit full(2);
        EXPECT_FALSE(WriteLanguageFile(setinfo, 1028));
        EXPECT_FALSE(WriteDataRootIfMissing(setDataPath, "/home/user/ECG"));
    }
    EXPECT_FALSE(QFileInfo::exists(setinfo));
    EXPECT_FALSE(QFileInfo::exists(setDataPath));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

class StartupTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    QString documents = home.filePath("Documents");
    QString settings = documents + "/talmon/";
    TextTable texts{[](int id) -> std::optional<QByteArray> {
        if (id == 1033)
            return QByteArray("116 \"The Talmon ECG Manager is already running!\"\n");
        if (id == 1028)
            return QByteArray("116 \"already running (zh)\"\n");
        return std::nullopt;
    }};
};

TEST_F(StartupTest, FirstStartCreatesEverythingWithDefaultsInOrder)
{
    InstanceGuard guard;
    const StartupResult r = RunStartup(documents, texts, guard);
    ASSERT_EQ(r.outcome, StartupOutcome::Ready);
    EXPECT_EQ(r.state.languageText, "1033");
    EXPECT_EQ(texts.languageId(), 1033);
    EXPECT_EQ(r.state.paths.settingsFolder, settings);
    EXPECT_EQ(ReadAll(settings + "Heartlet.ini"),
              "[INFO]\nCTL=1\nHOST_NAME=directory.talmon-ecg.example\nHOST_IP=\nACCOUNT=\nPASSWORD=\nREM=2\n"
              "UAUTODEL=0\nDAUTODEL=0\nNOISE=0\nCOLOR=1\nUPGRADE_ACCOUNT=firmware_server\n");
    EXPECT_EQ(QFileInfo(settings + "Heartlet.ini").permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    EXPECT_EQ(ReadAll(settings + "SetDataPath.ini"), settings.toUtf8());
    EXPECT_EQ(r.state.paths.dataFolder, settings + "DATA/");
    EXPECT_TRUE(QFileInfo(settings + "DATA").isDir());
    EXPECT_EQ(r.state.chartColour, "1");
}

TEST_F(StartupTest, ExistingFilesAreReadNotCompleted)
{
    QDir().mkpath(settings);
    const QByteArray junk = "\x01\x02 junk\n[INFO]\nnot a key\nCOLOR\n=1\nCtl=2\n";
    WriteAll(settings + "Heartlet.ini", junk);
    WriteAll(settings + "setinfo.ini", " 1028 ");
    const QString root = home.filePath("elsewhere/deep/root");
    WriteAll(settings + "SetDataPath.ini", root.toUtf8() + "\n");

    InstanceGuard guard;
    const StartupResult r = RunStartup(documents, texts, guard);
    ASSERT_EQ(r.outcome, StartupOutcome::Ready);
    EXPECT_EQ(r.state.languageId, 1028);
    EXPECT_EQ(texts.text(116), "already running (zh)");
    EXPECT_EQ(r.state.chartColour, "");  // no COLOR key: green paper
    EXPECT_EQ(ReadAll(settings + "Heartlet.ini"), junk);
    EXPECT_EQ(r.state.paths.dataFolder, root + "/DATA/");
    EXPECT_TRUE(QFileInfo(root + "/DATA").isDir());  // the whole missing chain
}

TEST_F(StartupTest, SecondInstanceWritesNothing)
{
    InstanceGuard first;
    ASSERT_EQ(RunStartup(documents, texts, first).outcome, StartupOutcome::Ready);
    QFile::remove(settings + "SetDataPath.ini");
    const QByteArray before = ReadAll(settings + "Heartlet.ini");

    InstanceGuard second;
    const StartupResult r = RunStartup(documents, texts, second);
    EXPECT_EQ(r.outcome, StartupOutcome::AlreadyRunning);
    EXPECT_EQ(r.message, "The Talmon ECG Manager is already running!");
    EXPECT_FALSE(second.held());
    EXPECT_EQ(ReadAll(settings + "Heartlet.ini"), before);
    EXPECT_FALSE(QFileInfo::exists(settings + "SetDataPath.ini"));

    first.release();  // the first instance ends: a new one may start
    EXPECT_EQ(RunStartup(documents, texts, second).outcome, StartupOutcome::Ready);
}

TEST_F(StartupTest, AlreadyRunningMessageFallsBackToEnglishForAnUnknownLanguage)
{
    InstanceGuard first;
    ASSERT_EQ(RunStartup(documents, texts, first).outcome, StartupOutcome::Ready);
    WriteAll(settings + "setinfo.ini", "1034");
    InstanceGuard second;
    const StartupResult r = RunStartup(documents, texts, second);
    EXPECT_EQ(r.outcome, StartupOutcome::AlreadyRunning);
    EXPECT_EQ(r.message, "The Talmon ECG Manager is already running!");
}

TEST_F(StartupTest, SettingsFolderThatCannotBeCreatedIsRefused)
{
    WriteAll(documents, "a file where the documents folder should be");
    InstanceGuard guard;
    const StartupResult r = RunStartup(documents, texts, guard);
    EXPECT_EQ(r.outcome, StartupOutcome::NoSettingsFolder);
    EXPECT_TRUE(r.message.contains("talmon")) << r.message.toStdString();
    EXPECT_FALSE(guard.held());
}

// The desktop's locale as its name says it (LANG=de_AT.UTF-8 gives "de_AT").
TEST(LanguageChoiceTest, DesktopLocaleGivesTheNearestLanguage)
{
    const std::pair<const char*, int> cases[] = {
        {"de_DE", 1031}, {"de_AT", 1031}, {"de_CH", 1031},  {"en_GB", 1033}, {"en_US", 1033},
        {"fr_CA", 1036}, {"es_MX", 3082}, {"pt_PT", 1046},  {"pt_BR", 1046}, {"zh_TW", 1028},
        {"zh_HK", 1028}, {"zh_CN", 1028}, {"sr_RS", 2074},  {"sr_Latn_RS", 2074}, {"nb_NO", 1044},
        {"nn_NO", 1044}, {"bs_BA", 1050}, {"el_GR", 1032},  {"tr_TR", 1055}, {"sl_SI", 1060},
        {"sv_FI", 1053}, {"ja_JP", 1033}, {"ar_EG", 1033},  {"C", 1033},
    };
    for (const auto& [name, id] : cases)
        EXPECT_EQ(LanguageNearestTo(QLocale(QString::fromLatin1(name))), id) << name;
    // Every one of the 24 finds itself again through its own locale.
    for (int id : TextTable::kLanguages)
        EXPECT_EQ(LanguageNearestTo(LocaleOfLanguage(id)), id) << id;
}

// Qt's own windows follow the language where Qt has a translation (the print dialog's title here).
TEST(LanguageChoiceTest, QtTranslationsOfTheChosenLanguage)
{
    TestApp();
    QCoreApplication& app = *QCoreApplication::instance();
    const std::pair<int, bool> cases[] = {{1031, true}, {1028, true}, {1046, true}, {1032, false}, {1033, false}};
    for (const auto& [id, translated] : cases) {
        QTranslator* translator = InstallQtTranslations(id, app);
        EXPECT_EQ(translator != nullptr, translated) << id;
        EXPECT_EQ(QCoreApplication::translate("QPrintDialog", "Print") != "Print", translated) << id;
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
}

TEST_F(StartupTest, FirstStartTakesTheDesktopsLanguageAndKeepsIt)
{
    LanguageRequest request;
    request.desktop = QLocale(QStringLiteral("de_AT"));
    InstanceGuard guard;
    const StartupResult r = RunStartup(documents, texts, guard, request);
    ASSERT_EQ(r.outcome, StartupOutcome::Ready);
    EXPECT_EQ(r.state.languageId, 1031);
    EXPECT_EQ(r.state.languageText, "1031");
    EXPECT_EQ(ReadAll(settings + "setinfo.ini"), "1031");

    // The next start reads the file, whatever the desktop says then.
    guard.release();
    request.desktop = QLocale(QStringLiteral("fr_FR"));
    EXPECT_EQ(RunStartup(documents, texts, guard, request).state.languageId, 1031);
}

TEST_F(StartupTest, ChosenLanguageIsUsedAndKeptButNotBySecondInstance)
{
    QDir().mkpath(settings);
    WriteAll(settings + "setinfo.ini", " 1033 ");
    LanguageRequest request;
    request.chosen = 1028;
    InstanceGuard first;
    const StartupResult r = RunStartup(documents, texts, first, request);
    ASSERT_EQ(r.outcome, StartupOutcome::Ready);
    EXPECT_EQ(r.state.languageText, "1028");  // the positions of Chinese follow
    EXPECT_EQ(texts.text(116), "already running (zh)");
    EXPECT_EQ(ReadAll(settings + "setinfo.ini"), "1028");

    request.chosen = 1031;
    InstanceGuard second;
    const StartupResult refused = RunStartup(documents, texts, second, request);
    EXPECT_EQ(refused.outcome, StartupOutcome::AlreadyRunning);
    EXPECT_EQ(ReadAll(settings + "setinfo.ini"), "1028");
}

}  // namespace
