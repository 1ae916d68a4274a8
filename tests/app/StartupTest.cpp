// Start-up below the windows: folders, language, configuration files, the
// data folder chain and the single-instance guard.
#include "app/Configuration.h"
#include "app/InstanceGuard.h"
#include "app/LanguageChoice.h"
#include "app/Startup.h"
#include "lang/TextTable.h"
#include "store/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
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

}  // namespace
