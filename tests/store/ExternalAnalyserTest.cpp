// Starting the rhythm analyser: where it is looked for, which files are
// refused, one run per recording, and only for recordings that opened.
#include "StoreFixtures.h"
#include "store/AnnotationFile.h"
#include "store/ExternalAnalyser.h"
#include "store/RecordingLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct Launch {
    QString program;
    QStringList arguments;
};

void WriteProgram(const QString& path, mode_t mode)
{
    fixtures::writeBytes(path, "#!/bin/sh\nexit 0\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

struct Analyser : ::testing::Test {
    QTemporaryDir tmp;
    QString own, recording;
    std::vector<Launch> launches;
    qint64 nextPid = 100;
    bool stillRunning = true;

    void SetUp() override
    {
        own = tmp.filePath("bin");
        QDir().mkpath(own);
        // Whatever the umask: a folder only its owner may write.
        ASSERT_EQ(::chmod(QFile::encodeName(own).constData(), 0755), 0);
        recording = tmp.filePath("DATA/0000A1F3/201305/07/142530.edf");
        fixtures::writeDownloaded(recording, 256);
    }
    ExternalAnalyser Make(QStringList folders)
    {
        return ExternalAnalyser(
            std::move(folders),
            [this](const QString& program, const QStringList& arguments) {
                launches.push_back({program, arguments});
                return nextPid++;
            },
            [this](qint64) { return stillRunning; });
    }
};

TEST_F(Analyser, StartsTheProgramOfItsOwnFolderWithTheAbsoluteRecordingPath)
{
    WriteProgram(own + "/rhyscan", 0755);
    ExternalAnalyser analyser = Make({own});
    // A relative spelling of the recording still reaches the program absolute.
    const QString relative = QDir::current().relativeFilePath(recording);
    const ExternalAnalyser::Result r = analyser.Start(relative);
    EXPECT_EQ(r.outcome, ExternalAnalyser::Outcome::Started);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].program, QDir::cleanPath(own + "/rhyscan"));
    EXPECT_EQ(launches[0].arguments, QStringList{recording});
    EXPECT_EQ(r.annotationPath, tmp.filePath("DATA/0000A1F3/201305/07/142530.atr"));
}

TEST_F(Analyser, RefusesProgramsOthersCouldHaveChangedAndNeverLooksInTheCurrentFolder)
{
    enum Shape { File, Folder, Link };
    struct Case {
        const char* what;
        mode_t mode;
        Shape shape;
        mode_t folderMode;
        ExternalAnalyser::Outcome outcome;
    };
    using O = ExternalAnalyser::Outcome;
    for (const Case c : {Case{"writable by others", 0757, File, 0755, O::Unsafe},
                         Case{"writable by the group", 0775, File, 0755, O::Unsafe},
                         Case{"not executable", 0644, File, 0755, O::Unsafe},
                         Case{"a folder of that name", 0755, Folder, 0755, O::Unsafe},
                         Case{"a symbolic link to a sound program", 0755, Link, 0755, O::Unsafe},
                         Case{"in a folder the group may write", 0755, File, 0775, O::Unsafe},
                         Case{"in a folder anyone may write, sticky", 0755, File, 01777, O::Unsafe},
                         Case{"user-only executable", 0700, File, 0700, O::Started}}) {
        SCOPED_TRACE(c.what);
        QDir(own).removeRecursively();
        QDir().mkpath(own);
        const QString elsewhere = tmp.filePath("elsewhere");
        QDir().mkpath(elsewhere);
        ASSERT_EQ(::chmod(QFile::encodeName(elsewhere).constData(), 0755), 0);
        if (c.shape == Folder) {
            QDir().mkpath(own + "/rhyscan");
        } else if (c.shape == Link) {
            WriteProgram(elsewhere + "/rhyscan", c.mode);
            ASSERT_TRUE(QFile::link(elsewhere + "/rhyscan", own + "/rhyscan"));
        } else {
            WriteProgram(own + "/rhyscan", c.mode);
        }
        ASSERT_EQ(::chmod(QFile::encodeName(own).constData(), c.folderMode), 0);
        launches.clear();
        ExternalAnalyser analyser = Make({own});
        EXPECT_EQ(int(analyser.Start(recording).outcome), int(c.outcome));
        EXPECT_EQ(launches.size(), c.outcome == O::Started ? 1u : 0u);
        ASSERT_EQ(::chmod(QFile::encodeName(own).constData(), 0755), 0);
    }

    // A program in the current folder, reached by a relative folder, is never taken.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(own));
    launches.clear();
    ExternalAnalyser analyser = Make({".", ""});
    const ExternalAnalyser::Result r = analyser.Start(recording);
    QDir::setCurrent(previous);
    EXPECT_EQ(r.outcome, ExternalAnalyser::Outcome::NotInstalled);
    EXPECT_TRUE(r.annotationPath.isEmpty());
    EXPECT_TRUE(launches.empty());
}

TEST_F(Analyser, OneRunPerRecordingAtATime)
{
    WriteProgram(own + "/rhyscan", 0755);
    ExternalAnalyser analyser = Make({tmp.filePath("libexec"), own});  // the first folder has none
    EXPECT_EQ(analyser.Start(recording).outcome, ExternalAnalyser::Outcome::Started);
    const ExternalAnalyser::Result again = analyser.Start(recording);
    EXPECT_EQ(again.outcome, ExternalAnalyser::Outcome::AlreadyRunning);
    EXPECT_EQ(again.annotationPath, AnnotationPath(recording));  // the chart still waits for its file
    const QString other = tmp.filePath("DATA/0000A1F3/201305/07/150000.edf");
    EXPECT_EQ(analyser.Start(other).outcome, ExternalAnalyser::Outcome::Started);
    EXPECT_EQ(launches.size(), 2u);
    stillRunning = false;  // the first run ended: a reload may start it again
    EXPECT_EQ(analyser.Start(recording).outcome, ExternalAnalyser::Outcome::Started);
    EXPECT_EQ(launches.size(), 3u);
}

TEST_F(Analyser, TheRealProgramRunsDetached)
{
    // A stand-in analyser that writes the annotation file as the real one does.
    const QString program = own + "/rhyscan";
    fixtures::writeBytes(program, "#!/bin/sh\nprintf '\\005\\004\\000\\000' > \"${1%.edf}.atr\"\n");
    ASSERT_EQ(::chmod(QFile::encodeName(program).constData(), 0755), 0);
    ExternalAnalyser analyser({own});
    const ExternalAnalyser::Result r = analyser.Start(recording);
    ASSERT_EQ(r.outcome, ExternalAnalyser::Outcome::Started);
    std::optional<ecg::MitAnnotationRead> read;
    for (int i = 0; i < 500 && !((read = ReadMitAnnotationFile(r.annotationPath)) && read->complete); ++i)
        QThread::msleep(10);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->annotations.size(), 1u);
    EXPECT_EQ(read->annotations[0].sample, 5);
}

TEST(AnalyserFromTheLibrary, StartedOnlyForARecordingThatOpened)
{
    QTemporaryDir tmp;
    const QString data = tmp.filePath("DATA");
    const QString good = data + "/0000A1F3/201305/07/142530.edf";
    const QString damaged = data + "/0000A1F3/201305/07/150000.edf";
    fixtures::writeDownloaded(good, 256);
    fixtures::writeBytes(damaged, "not a recording");
    QStringList started;
    RecordingLibrary::Hooks hooks;
    hooks.startExternalAnalyser = [&](const QString& path) {
        started << path;
        return AnnotationPath(path);
    };
    RecordingLibrary lib(data, hooks);
    lib.RebuildDataList();
    auto open = [&](const QString& caption) {
        for (DataNode* n : lib.model().nodesInOrder())
            if (n->caption == caption) lib.model().select(n);
        lib.DataListClick();
    };
    open("15:00:00");
    EXPECT_TRUE(started.isEmpty());
    EXPECT_TRUE(lib.annotationPath().isEmpty());
    open("14:25:30");
    EXPECT_EQ(started, QStringList{good});
    EXPECT_EQ(lib.annotationPath(), AnnotationPath(good));
    open("14:25:30");  // the same recording again: not started again, the panel stays
    EXPECT_EQ(started.size(), 1);
    EXPECT_EQ(lib.annotationPath(), AnnotationPath(good));
    EXPECT_FALSE(lib.recordDate().isEmpty());
}

}  // namespace
