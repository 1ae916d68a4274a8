// The real program, started as a user would, with a fresh home folder.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <QDateTime>
#include <gtest/gtest.h>

namespace {

const QString kProgram = QStringLiteral(TALMON_BIN_DIR "/ecg-manager");

class ProgramRunTest : public ::testing::Test {
protected:
    QProcessEnvironment environment(int exitAfterMs) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.filePath(".config"));  // no user-dirs.dirs: Documents is ~/Documents
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LC_ALL", "C.UTF-8");  // an English desktop: the first start's language is 1033
        env.insert("TALMON_EXIT_AFTER_MS", QString::number(exitAfterMs));
        return env;
    }
    QString settings() const { return home.filePath("Documents/talmon/"); }
    QByteArray read(const QString& name) const
    {
        QFile f(settings() + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir home;
};

TEST_F(ProgramRunTest, FirstStartThenSecondInstanceIsRefusedAndWritesNothing)
{
    QProcess first;
    first.setProcessEnvironment(environment(60000));
    first.start(kProgram, {});
    ASSERT_TRUE(first.waitForStarted());
    // The first instance is past its file set-up once its start-up toggle has stored CTL=2.
    for (int i = 0; i < 1200 && !read("Heartlet.ini").startsWith("[INFO]\nCTL=2\n"); ++i)
        QThread::msleep(50);
    const QByteArray heartlet = read("Heartlet.ini");
    ASSERT_TRUE(heartlet.startsWith("[INFO]\nCTL=2\n")) << heartlet.constData();
    EXPECT_TRUE(QFileInfo(settings() + "DATA").isDir());
    EXPECT_TRUE(heartlet.endsWith("NOISE=0\nCOLOR=1\nUPGRADE_ACCOUNT=firmware_server\n"));
    EXPECT_EQ(heartlet.count('\n'), 12);
    EXPECT_EQ(read("SetDataPath.ini"), settings().toUtf8());
    const QDateTime modified = QFileInfo(settings() + "Heartlet.ini").lastModified();

    QProcess second;
    second.setProcessEnvironment(environment(0));
    QFile::remove(settings() + "SetDataPath.ini");  // a second instance must not recreate it
    second.start(kProgram, {});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().contains("The Talmon ECG Manager is already running!"));
    EXPECT_EQ(read("Heartlet.ini"), heartlet);
    EXPECT_EQ(QFileInfo(settings() + "Heartlet.ini").lastModified(), modified);
    EXPECT_FALSE(QFileInfo::exists(settings() + "SetDataPath.ini"));

    first.terminate();  // ends it; its lock goes with the process
    ASSERT_TRUE(first.waitForFinished(20000));
}

TEST_F(ProgramRunTest, RunsAndClosesNormallyStoringCtl)
{
    QProcess run;
    run.setProcessEnvironment(environment(100));
    run.start(kProgram, {});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().constData();
    EXPECT_TRUE(read("Heartlet.ini").startsWith("[INFO]\nCTL=1\n"));  // short layout on screen at close
}

TEST_F(ProgramRunTest, SettingsFolderThatCannotBeCreatedStopsWithAMessage)
{
    QFile blocker(home.filePath("Documents"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
    blocker.close();
    QProcess run;
    run.setProcessEnvironment(environment(0));
    run.start(kProgram, {});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_NE(run.exitCode(), 0);
    EXPECT_TRUE(run.readAllStandardError().contains("settings folder"));
}

}  // namespace
