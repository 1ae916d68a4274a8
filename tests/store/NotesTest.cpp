#include "StoreFixtures.h"
#include "store/SideFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Notes : ::testing::Test {
    QTemporaryDir tmp;
    QString edf;
    void SetUp() override
    {
        edf = tmp.filePath("142530.edf");
        fixtures::writeDownloaded(edf, 256);
    }
    QByteArray note() { return fixtures::readBytes(tmp.filePath("142530.cmm")); }
};

TEST_F(Notes, PathsOfTheSideFiles)
{
    EXPECT_EQ(NotePath("/d/0000A1F3/201305/07/142530.edf"), "/d/0000A1F3/201305/07/142530.cmm");
    EXPECT_EQ(NotePath("/d/x.EDF"), "/d/x.cmm");
    EXPECT_EQ(NotePath("/d/a.edf.dir/142530.Edf"), "/d/a.cmm.dir/142530.cmm");  // every ".edf" goes
    EXPECT_EQ(ParPath("/d/142530.edf"), "/d/142530.par");
}

TEST_F(Notes, FirstOpeningCreatesAnEmptyNoteAndAnEnabledMemo)
{
    const NoteView v = LoadNote(edf);
    EXPECT_TRUE(v.enabled);
    EXPECT_TRUE(v.text.isEmpty());
    EXPECT_TRUE(QFile::exists(tmp.filePath("142530.cmm")));
    EXPECT_TRUE(note().isEmpty());

    const NoteView folder = LoadNote(tmp.path());
    EXPECT_FALSE(folder.enabled);
}

TEST_F(Notes, TypingAndDeletingKeepsTheLastNonEmptyText)
{
    for (const char* memo : {"a", "ab", "abc", "ab", "a", ""}) EXPECT_TRUE(Memo1Change(edf, memo));
    EXPECT_EQ(note(), "a\r\n");
    // A folder is not a recording: nothing is written.
    EXPECT_TRUE(Memo1Change(tmp.path(), "x"));
    EXPECT_FALSE(QFile::exists(tmp.filePath("x.cmm")));
}

TEST_F(Notes, LinesAreStoredWithCrLfAndReadBackTheSame)
{
    Memo1Change(edf, "first line\nsecond line\n\n\n  ");
    EXPECT_EQ(note(), "first line\r\nsecond line\r\n");
    const NoteView v = LoadNote(edf);
    EXPECT_EQ(v.text, "first line\r\nsecond line\r\n");
    // The program's own setting of the memo stores the same text again.
    Memo1Change(edf, v.text);
    EXPECT_EQ(note(), "first line\r\nsecond line\r\n");
    Memo1Change(edf, "  Grüße\r\nzweite  ");
    EXPECT_EQ(LoadNote(edf).text, QString("Grüße\r\nzweite\r\n"));
}

TEST_F(Notes, ParFileIsReadWhenPresentAndDeletionKeepsItButNotTheAnnotations)
{
    EXPECT_FALSE(ReadParFile(edf));
    fixtures::writeBytes(tmp.filePath("142530.par"), QByteArray(3000, 'p'));
    fixtures::writeBytes(tmp.filePath("142530.atr"), "atr");
    EXPECT_TRUE(ReadParFile(edf));
    Memo1Change(edf, "note");
    EXPECT_TRUE(DeleteRecordingFiles(edf));
    EXPECT_FALSE(QFile::exists(edf));
    EXPECT_FALSE(QFile::exists(tmp.filePath("142530.cmm")));
    EXPECT_TRUE(QFile::exists(tmp.filePath("142530.par")));
    EXPECT_FALSE(QFile::exists(tmp.filePath("142530.atr")));  // the analyser's, made from the recording
}

TEST(NotesOfTheEarlierProgram, AreReadInTheCodePageOfTheLanguage)
{
    struct Case {
        int languageId;
        QByteArray bytes;  // as the earlier program stored them
        const char* text;  // UTF-8
    };
    const Case cases[] = {
        {1031, "Gr\xfc\xdf" "e", "Grüße"},                           // 1252
        {1036, "\xe9lev\xe9", "élevé"},                              // 1252
        {1045, "B\xf3l w klatce \xb9", "Ból w klatce ą"},            // 1250
        {1049, "\xc1\xee\xeb\xfc", "Боль"},                          // 1251
        {1032, "\xd0\xfc\xed\xef\xf2", "Πόνος"},                     // 1253
        {1055, "A\xf0r\xfd", "Ağrı"},                                // 1254
        {1028, "\xa4\xdf\xc5\xa6", "心臟"},                           // Big5
        {1049, "\xd0\x91\xd0\xbe\xd0\xbb\xd1\x8c", "Боль"},         // UTF-8 stays UTF-8
    };
    QTemporaryDir tmp;
    const QString edf = tmp.filePath("142530.edf");
    fixtures::writeDownloaded(edf, 256);
    for (const Case& c : cases) {
        fixtures::writeBytes(tmp.filePath("142530.cmm"), c.bytes + "\r\n");
        const NoteView v = LoadNote(edf, c.languageId);
        EXPECT_EQ(v.text, QString::fromUtf8(c.text) + "\r\n") << c.languageId << " " << c.text;
        // The memo's first change stores the note in UTF-8 with the right letters.
        EXPECT_TRUE(Memo1Change(edf, v.text));
        EXPECT_EQ(fixtures::readBytes(tmp.filePath("142530.cmm")), QByteArray(c.text) + "\r\n") << c.languageId;
    }
}

}  // namespace
