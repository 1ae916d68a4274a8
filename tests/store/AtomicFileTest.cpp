// Replacing a file whole: what a write leaves beside the file, which
// leftovers it clears, and that the replaced file keeps its place and rights.
#include "FileSizeLimit.h"
#include "StoreFixtures.h"
#include "store/EdfWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

namespace {

void Age(const QString& path, int seconds)
{
    struct utimbuf t {};
    t.actime = t.modtime = ::time(nullptr) - seconds;
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &t), 0);
}

// Every file of a folder, hidden ones too, by name.
std::string Names(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name).join(' ').toStdString();
}

TEST(AtomicFile, AWriteClearsOnlyItsOwnAbandonedCopies)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out.edf");
    fixtures::writeBytes(out, "old");
    const struct {
        const char* name;
        int age;
        bool stays;
    } files[] = {
        {".out.edf.talmon-tmp-AbC123", 3600, false},         // a write killed before its rename
        {".out.edf.talmon-tmp-AbC124.x9Y8z7", 3600, false},  // ... or inside the save of its copy
        {".out.edf.talmon-tmp-Fresh1", 5, true},             // perhaps still being written
        {"out.edf.a1B2c3", 3600, true},                      // the user's, whatever it looks like
        {".other.edf.talmon-tmp-AbC123", 3600, true},        // another file's
    };
    for (const auto& f : files) {
        fixtures::writeBytes(dir.filePath(f.name), "copy");
        Age(dir.filePath(f.name), f.age);
    }

    ASSERT_TRUE(WriteFileAtomically(out, "new").ok());

    EXPECT_EQ(fixtures::readBytes(out), "new");
    QStringList expected{"out.edf"};
    for (const auto& f : files)
        if (f.stays) expected << f.name;
    expected.sort();
    EXPECT_EQ(Names(dir.path()), expected.join(' ').toStdString());
}

TEST(AtomicFile, TheReplacedFileKeepsItsRightsAndALinkStillPointsAtIt)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("real/out.pdf");
    const QString link = dir.filePath("out.pdf");
    fixtures::writeBytes(target, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(target, link));

    ASSERT_TRUE(WriteFileAtomically(link, "new").ok());

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(fixtures::readBytes(target), "new");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(Names(dir.filePath("real")), "out.pdf");

    // A write that cannot finish leaves the old file and nothing beside it.
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("real")).constData(), 0500), 0);
    if (::geteuid() != 0) {
        EXPECT_FALSE(WriteFileAtomically(link, "newer").ok());
        EXPECT_EQ(fixtures::readBytes(target), "new");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("real")).constData(), 0700), 0);
    EXPECT_EQ(Names(dir.filePath("real")), "out.pdf");
}

// A disk that fills up during the write: a failure, and the old file as it
// was, never the part of the new one that fitted.
TEST(AtomicFile, AWriteThatDoesNotFitLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out.edf");
    fixtures::writeBytes(out, QByteArray(100, 'o'));
    {
        FileSizeLimit full(100);
        EXPECT_FALSE(WriteFileAtomically(out, QByteArray(300, 'n')).ok());
    }
    EXPECT_EQ(fixtures::readBytes(out), QByteArray(100, 'o'));
    EXPECT_EQ(Names(dir.path()), "out.edf");
}

}  // namespace
