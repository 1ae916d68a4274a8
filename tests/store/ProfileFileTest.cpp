#include "FileSizeLimit.h"
#include "store/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

class ProfileFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("Heartlet.ini");
};

TEST_F(ProfileFileTest, MissingFileReadsDefaultAndFirstWriteCreatesOwnerOnlyFile)
{
    ProfileFile ini(path);
    EXPECT_FALSE(ini.exists());
    EXPECT_EQ(ini.readString("INFO", "CTL", "dflt"), "dflt");
    EXPECT_TRUE(ini.readString("INFO", "CTL").isEmpty());

    ASSERT_TRUE(ini.writeString("INFO", "CTL", "1"));
    ASSERT_TRUE(ini.writeString("INFO", "HOST_NAME", "h.example"));
    EXPECT_EQ(ReadAll(path), "[INFO]\nCTL=1\nHOST_NAME=h.example\n");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ini.readString("info", "ctl"), "1");
}

TEST_F(ProfileFileTest, EveryWriteLeavesAnExistingFileOwnerOnly)
{
    // The file may hold the account password: one that an editor or a copy
    // left readable by others is closed again by the next write.
    WriteAll(path, "[INFO]\nCTL=1\n");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                    QFileDevice::ReadOther);
    ASSERT_TRUE(ProfileFile(path).writeString("INFO", "PASSWORD", "secret"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(ProfileFileTest, NamesIgnoreCaseAndOtherLinesStayInPlace)
{
    WriteAll(path,
             "; written by hand\r\n"
             "[Other]\r\n"
             "CTL=9\r\n"
             "\r\n"
             "[ info ]\r\n"
             "  Ctl = 2  \r\n"
             "garbage line without equals\r\n"
             "Color=\"0\"\r\n"
             "\r\n"
             "[Tail]\r\n"
             "x=y\r\n");
    ProfileFile ini(path);
    EXPECT_EQ(ini.readString("INFO", "CTL"), "2");
    EXPECT_EQ(ini.readString("INFO", "COLOR"), "0");  // one pair of quotes removed
    EXPECT_EQ(ini.readString("Other", "ctl"), "9");
    EXPECT_EQ(ini.readString("INFO", "x", "none"), "none");

    ASSERT_TRUE(ini.writeString("INFO", "CTL", "1"));
    ASSERT_TRUE(ini.writeString("INFO", "NEW", "v"));
    ASSERT_TRUE(ini.writeString("Added", "k", "w"));
    EXPECT_EQ(ReadAll(path),
              "; written by hand\r\n"
              "[Other]\r\n"
              "CTL=9\r\n"
              "\r\n"
              "[ info ]\r\n"
              "CTL=1\r\n"
              "garbage line without equals\r\n"
              "Color=\"0\"\r\n"
              "NEW=v\r\n"
              "\r\n"
              "[Tail]\r\n"
              "x=y\r\n"
              "[Added]\r\n"
              "k=w\r\n");
}

TEST_F(ProfileFileTest, JunkAndBinaryLinesSurviveAWriteByteForByte)
{
    static const char raw[] = "\xff\xfe\x00garbage\n=novalue\n[INFO\nCOLOR=1\n[INFO]\nNOISE\nCOLOR=0";
    const QByteArray junk(raw, sizeof raw - 1);
    WriteAll(path, junk);
    ProfileFile ini(path);
    EXPECT_EQ(ini.readString("INFO", "COLOR"), "0");
    EXPECT_EQ(ini.readString("INFO", "NOISE", "d"), "d");
    ASSERT_TRUE(ini.writeString("INFO", "CTL", "2"));
    EXPECT_EQ(ReadAll(path), junk + "\nCTL=2");
}

TEST_F(ProfileFileTest, ByteOrderMarkOfAnEditorIsNotPartOfTheSection)
{
    WriteAll(path, "\xEF\xBB\xBF[INFO]\r\nCOLOR=0\r\n");
    ProfileFile ini(path);
    EXPECT_EQ(ini.readString("INFO", "COLOR"), "0");
    ASSERT_TRUE(ini.writeString("INFO", "CTL", "2"));
    EXPECT_EQ(ReadAll(path), "\xEF\xBB\xBF[INFO]\r\nCOLOR=0\r\nCTL=2\r\n");
}

TEST_F(ProfileFileTest, LineBreaksInValuesCannotForgeEntries)
{
    ProfileFile ini(path);
    ASSERT_TRUE(ini.writeString("INFO", "ACCOUNT", "a@b.example\n[INFO]\nCTL=7"));
    EXPECT_EQ(ini.readString("INFO", "CTL", "none"), "none");
    EXPECT_EQ(ini.readString("INFO", "ACCOUNT"), "a@b.example [INFO] CTL=7");
}

TEST_F(ProfileFileTest, SeveralKeysLandInOneSectionInTheirOrder)
{
    ProfileFile ini(path);
    ASSERT_TRUE(ini.writeStrings("INFO", {{"ACCOUNT", "a"}, {"PASSWORD", "p"}, {"REM", "2"}}));
    EXPECT_EQ(ReadAll(path), "[INFO]\nACCOUNT=a\nPASSWORD=p\nREM=2\n");
    ASSERT_TRUE(ini.writeStrings("INFO", {{"PASSWORD", "q"}, {"HOST_IP", "127.0.0.1"}}));
    EXPECT_EQ(ReadAll(path), "[INFO]\nACCOUNT=a\nPASSWORD=q\nREM=2\nHOST_IP=127.0.0.1\n");
}

// A disk that fills up during the save: false, and the old file as it was,
// never the part of the new one that fitted.
TEST_F(ProfileFileTest, AWriteThatDoesNotFitLeavesTheOldFile)
{
    const QByteArray old = "[INFO]\nCTL=1\n";
    WriteAll(path, old);
    {
        FileSizeLimit full(rlim_t(old.size()));
        EXPECT_FALSE(ProfileFile(path).writeString("INFO", "HOST_NAME", "h.example"));
    }
    EXPECT_EQ(ReadAll(path), old);
}

// Storing what the file already holds changes nothing and needs no room: it
// succeeds on a full disk (a caller would otherwise report a failed save of
// nothing), while a real change still fails there. A file readable by others
// is still closed again.
TEST_F(ProfileFileTest, AWriteThatChangesNothingNeedsNoRoom)
{
    const QByteArray old = "[INFO]\r\nACCOUNT=a\r\nREM=1\r\n";
    WriteAll(path, old);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    {
        FileSizeLimit full(0);
        EXPECT_TRUE(ProfileFile(path).writeStrings("info", {{"ACCOUNT", "a"}, {"REM", "1"}}));
        EXPECT_FALSE(ProfileFile(path).writeStrings("INFO", {{"ACCOUNT", "a"}, {"REM", "2"}}));
        EXPECT_FALSE(ProfileFile(path).writeString("INFO", "PASSWORD", ""));
    }
    EXPECT_EQ(ReadAll(path), old);

    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    ASSERT_TRUE(ProfileFile(path).writeString("INFO", "ACCOUNT", "a"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadAll(path), old);
}

TEST_F(ProfileFileTest, UnwritableFolderReportsFailure)
{
    ProfileFile ini(dir.filePath("missing/Heartlet.ini"));
    EXPECT_FALSE(ini.writeString("INFO", "CTL", "1"));
    EXPECT_FALSE(ini.exists());
}

}  // namespace
