#include "StoreFixtures.h"
#include "store/DataListModel.h"
#include "store/RecordingLibrary.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList captions(DataListModel& model)
{
    QStringList out;
    for (DataNode* n : model.nodesInOrder()) {
        int depth = 0;
        for (DataNode* p = n->parent; p; p = p->parent) ++depth;
        out << QString(depth * 2, ' ') + n->caption;
    }
    return out;
}

DataNode* nodeByCaption(DataListModel& model, const QString& caption)
{
    for (DataNode* n : model.nodesInOrder())
        if (n->caption == caption) return n;
    return nullptr;
}

int rateOf(const RecordingLibrary& lib)
{
    const OpenedRecording* o = lib.openRecording();
    return o && !o->record.Channels.empty() ? o->record.Channels.front().SampleRate : -1;
}

void touch(const QString& path)
{
    fixtures::writeBytes(path, "x");
}

struct Library : ::testing::Test {
    QTemporaryDir tmp;
    QString data;
    int analysed = 0;
    int charts = 0;
    QStringList asked;
    int answer = 1;
    RecordingLibrary lib{QString(), {}};

    void SetUp() override
    {
        data = tmp.filePath("DATA");
        QDir().mkpath(data);
        RecordingLibrary::Hooks hooks;
        hooks.ask = [this](const QString& text, bool) { asked << text; return answer; };
        hooks.analyse = [this](const EDF_RECORD&, int) { ++analysed; return ManagerResults{}; };
        hooks.prepareChart = [this](const OpenedRecording&) { ++charts; };
        lib = RecordingLibrary(data, hooks);
    }
    QString rec(const QString& rel) { return data + "/" + rel; }
};

TEST_F(Library, EmptyFolderGivesTheRootAloneAndMissingFolderToo)
{
    lib.RebuildDataList();
    EXPECT_EQ(captions(lib.model()), QStringList{"Data"});
    lib.setDataFolder(tmp.filePath("nowhere"));
    lib.RebuildDataList();
    EXPECT_EQ(captions(lib.model()), QStringList{"Data"});
}

TEST_F(Library, TreeFollowsTheFolderNamingSortedByName)
{
    fixtures::writeDownloaded(rec("0000A1F3/201305/07/142530.edf"), 256);
    fixtures::writeDownloaded(rec("0000A1F3/201305/07/091500.edf"), 256);
    fixtures::writeDownloaded(rec("0000A1F3/201304/30/235959.edf"), 256);
    fixtures::writeDownloaded(rec("00000001/201212/01/000000.edf"), 256);
    touch(rec("0000A1F3/201305/07/142530.cmm"));
    touch(rec("0000A1F3/201305/07/142530.atr"));
    // Wrong name lengths and places: nothing of these shows.
    fixtures::writeDownloaded(rec("0000A1F/201305/07/142530.edf"), 256);
    fixtures::writeDownloaded(rec("0000A1F30/201305/07/142530.edf"), 256);
    fixtures::writeDownloaded(rec("00000002/20130/07/142530.edf"), 256);
    fixtures::writeDownloaded(rec("00000003/201305/7/142530.edf"), 256);
    touch(rec("00000004/201305/07/14253.edf"));
    touch(rec("00000004/201305/07/142530.EDF"));
    touch(rec("00000004/201305/07/1425300.edf"));
    touch(rec("00000004/201305/142530.edf"));
    touch(rec("12345678.edf"));
    QDir().mkpath(rec("00000004/201305/07/sub/x"));
    touch(rec("00000004/201305/07/sub/x/142530.edf"));

    lib.RebuildDataList();
    const QStringList expected = {
        "Data",
        "  ID : 00000001", "    2012 / 12", "      01", "        00:00:00",
        "  ID : 00000002",
        "  ID : 00000003", "    2013 / 05",
        "  ID : 00000004", "    2013 / 05", "      07",
        "  ID : 0000A1F3", "    2013 / 04", "      30", "        23:59:59",
        "    2013 / 05", "      07", "        09:15:00", "        14:25:30",
    };
    EXPECT_EQ(captions(lib.model()), expected) << captions(lib.model()).join("\n").toStdString();
    DataNode* n = nodeByCaption(lib.model(), "14:25:30");
    ASSERT_TRUE(n);
    EXPECT_EQ(n->path, rec("0000A1F3/201305/07/142530.edf"));
    EXPECT_EQ(n->image, 2);
    EXPECT_EQ(n->kind, DataNodeKind::Recording);
}

TEST_F(Library, EmptyFoldersGoOneLevelPerRebuild)
{
    QDir().mkpath(rec("0000A1F3/201305/07"));
    lib.RebuildDataList();
    EXPECT_TRUE(QDir(rec("0000A1F3/201305")).exists());
    EXPECT_FALSE(QDir(rec("0000A1F3/201305/07")).exists());
    lib.RebuildDataList();
    lib.RebuildDataList();
    EXPECT_FALSE(QDir(rec("0000A1F3")).exists());
    EXPECT_EQ(captions(lib.model()), QStringList{"Data"});

    // A folder that holds anything, even only a link, is not empty and stays.
    QDir().mkpath(rec("0000A1F4/201305/07"));
    ASSERT_TRUE(QFile::link(rec("elsewhere"), rec("0000A1F4/201305/07/link")));
    lib.RebuildDataList();
    EXPECT_TRUE(QDir(rec("0000A1F4/201305/07")).exists());
}

TEST_F(Library, RebuildOverAChangedLibraryListsWhatAFreshOneDoes)
{
    for (const char* r : {"0000A1F3/201305/07/142530.edf", "0000A1F3/201305/07/150000.edf",
                          "0000A1F3/201305/08/091500.edf", "00000001/201212/01/000000.edf"})
        touch(rec(r));
    lib.RebuildDataList();
    const uint64_t keptId = nodeByCaption(lib.model(), "09:15:00")->id;
    lib.DataListCheckChanged(&lib.model().root(), true);
    for (DataNode* n : lib.model().nodesInOrder()) n->expanded = true;

    // Meanwhile recordings, folders and a device came and went, some in front of kept ones.
    ASSERT_TRUE(QFile::remove(rec("0000A1F3/201305/07/142530.edf")));
    ASSERT_TRUE(QDir(rec("00000001")).removeRecursively());
    touch(rec("0000A1F3/201305/07/120000.edf"));
    touch(rec("0000A1F3/201304/30/235959.edf"));
    touch(rec("00000002/201301/01/010101.edf"));
    lib.RebuildDataList();

    RecordingLibrary fresh(data, {});
    fresh.RebuildDataList();
    auto listing = [](DataListModel& model) {
        QStringList out = captions(model);
        for (DataNode* n : model.nodesInOrder()) out << n->path;
        return out;
    };
    EXPECT_EQ(listing(lib.model()), listing(fresh.model())) << listing(lib.model()).join("\n").toStdString();
    EXPECT_EQ(lib.model().nodeCount(), fresh.model().nodeCount());
    // What stayed on disk keeps its node; below the root the list starts unticked and folded again.
    EXPECT_EQ(nodeByCaption(lib.model(), "09:15:00")->id, keptId);
    for (DataNode* n : lib.model().nodesInOrder()) {
        if (n == &lib.model().root()) continue;
        EXPECT_FALSE(n->checked) << n->caption.toStdString();
        EXPECT_FALSE(n->expanded) << n->caption.toStdString();
    }
}

TEST_F(Library, TickingPropagatesAndDrivesTheMenu)
{
    fixtures::writeDownloaded(rec("0000A1F3/201305/07/142530.edf"), 256);
    fixtures::writeDownloaded(rec("0000A1F3/201305/08/091500.edf"), 256);
    lib.RebuildDataList();
    DataNode* month = nodeByCaption(lib.model(), "2013 / 05");
    lib.DataListCheckChanged(month, true);
    for (const char* c : {"07", "08", "14:25:30", "09:15:00"}) EXPECT_TRUE(nodeByCaption(lib.model(), c)->checked) << c;
    EXPECT_FALSE(nodeByCaption(lib.model(), "ID : 0000A1F3")->checked);
    lib.PopupMenu1Change();
    EXPECT_TRUE(lib.menuDeleteEnabled());
    lib.DataListCheckChanged(month, false);
    for (const char* c : {"07", "08", "14:25:30", "09:15:00"}) EXPECT_FALSE(nodeByCaption(lib.model(), c)->checked) << c;
    // The right press only enables; the menu's change disables.
    lib.DataListRightPress();
    EXPECT_TRUE(lib.menuDeleteEnabled());
    lib.PopupMenu1Change();
    EXPECT_FALSE(lib.menuDeleteEnabled());
    lib.DataListCheckChanged(nodeByCaption(lib.model(), "09:15:00"), true);
    lib.DataListRightPress();
    EXPECT_TRUE(lib.menuDeleteEnabled());
}

// Deleting the open recording moves the selection as the tree does (next
// sibling, else the parent), and the click that follows opens that node: the
// deleted recording is no longer shown and its note is not written again.
TEST_F(Library, DeletingTheOpenRecordingOpensWhatIsLeft)
{
    const QString first = rec("0000A1F3/201305/07/091500.edf");
    const QString second = rec("0000A1F3/201305/07/142530.edf");
    const QString lone = rec("0000A1F3/201305/08/101010.edf");
    fixtures::writeDownloaded(first, 256);
    fixtures::writeDownloaded(second, 256);
    fixtures::writeDownloaded(lone, 256);
    lib.RebuildDataList();

    lib.model().select(nodeByCaption(lib.model(), "09:15:00"));
    lib.DataListClick();
    ASSERT_EQ(lib.openRecordingPath(), first);
    nodeByCaption(lib.model(), "09:15:00")->checked = true;
    lib.DeleteClick();
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_EQ(lib.openRecordingPath(), second);
    EXPECT_EQ(lib.model().selected(), nodeByCaption(lib.model(), "14:25:30"));

    // The last recording of a day: its day folder is opened, then pruned.
    lib.model().select(nodeByCaption(lib.model(), "10:10:10"));
    lib.DataListClick();
    ASSERT_EQ(lib.openRecordingPath(), lone);
    EXPECT_TRUE(lib.memo().enabled);
    nodeByCaption(lib.model(), "10:10:10")->checked = true;
    lib.DeleteClick();
    EXPECT_FALSE(QFile::exists(lone));
    EXPECT_NE(lib.openRecordingPath(), lone);
    EXPECT_FALSE(lib.memo().enabled);
    EXPECT_EQ(lib.recordDate(), "");
    EXPECT_EQ(nodeByCaption(lib.model(), "08"), nullptr);
    lib.Memo1Change("typed after the delete");
    EXPECT_FALSE(QFile::exists(rec("0000A1F3/201305/08/101010.cmm")));
}

TEST_F(Library, DeleteRemovesRecordingAndNoteKeepsOtherSideFilesAndPrunes)
{
    fixtures::writeDownloaded(rec("0000A1F3/201305/07/142530.edf"), 256);
    touch(rec("0000A1F3/201305/07/142530.cmm"));
    fixtures::writeDownloaded(rec("0000A1F3/201306/01/101010.edf"), 256);
    touch(rec("0000A1F3/201306/01/101010.cmm"));
    touch(rec("0000A1F3/201306/01/101010.par"));
    touch(rec("0000A1F3/201306/01/101010.atr"));
    fixtures::writeDownloaded(rec("00000001/201212/01/000000.edf"), 256);
    lib.RebuildDataList();

    lib.DataListCheckChanged(nodeByCaption(lib.model(), "ID : 0000A1F3"), true);
    lib.PopupMenu1Change();
    EXPECT_TRUE(lib.menuDeleteEnabled());
    answer = 2;  // Cancel keeps everything
    lib.DeleteClick();
    EXPECT_EQ(asked, QStringList{"Are you sure you want to delete the selected files?"});
    EXPECT_TRUE(QFile::exists(rec("0000A1F3/201305/07/142530.edf")));
    EXPECT_FALSE(lib.menuDeleteEnabled());

    answer = 1;
    lib.DeleteClick();
    EXPECT_FALSE(QFile::exists(rec("0000A1F3/201305/07/142530.edf")));
    EXPECT_FALSE(QFile::exists(rec("0000A1F3/201305/07/142530.cmm")));
    EXPECT_FALSE(QFile::exists(rec("0000A1F3/201306/01/101010.edf")));
    EXPECT_FALSE(QFile::exists(rec("0000A1F3/201306/01/101010.cmm")));
    EXPECT_TRUE(QFile::exists(rec("0000A1F3/201306/01/101010.par")));
    EXPECT_FALSE(QFile::exists(rec("0000A1F3/201306/01/101010.atr")));
    // The emptied branch is gone from disk; the one with side files stays on
    // disk, and both leave the list.
    EXPECT_FALSE(QDir(rec("0000A1F3/201305")).exists());
    EXPECT_TRUE(QDir(rec("0000A1F3/201306/01")).exists());
    const QStringList expected = {"Data", "  ID : 00000001", "    2012 / 12", "      01", "        00:00:00"};
    EXPECT_EQ(captions(lib.model()), expected) << captions(lib.model()).join("\n").toStdString();
}

TEST_F(Library, DeleteWithNothingOrOnlyAFolderTicked)
{
    fixtures::writeDownloaded(rec("0000A1F3/201305/07/142530.edf"), 256);
    lib.RebuildDataList();
    lib.DeleteClick();
    EXPECT_EQ(asked, QStringList{"Select the files to be deleted."});

    // Only the device node ticked: its caption holds ":", so the question
    // comes, and nothing is deleted.
    asked.clear();
    nodeByCaption(lib.model(), "ID : 0000A1F3")->checked = true;
    lib.DeleteClick();
    EXPECT_EQ(asked, QStringList{"Are you sure you want to delete the selected files?"});
    EXPECT_TRUE(QFile::exists(rec("0000A1F3/201305/07/142530.edf")));
    EXPECT_NE(nodeByCaption(lib.model(), "14:25:30"), nullptr);
}

TEST_F(Library, OpeningAClickedRecordingAndItsFolder)
{
    const QString path = rec("0000A1F3/201305/07/142530.edf");
    fixtures::writeDownloaded(path, 7680);
    lib.RebuildDataList();

    lib.model().select(nodeByCaption(lib.model(), "14:25:30"));
    lib.DataListClick();
    EXPECT_EQ(analysed, 1);
    EXPECT_EQ(charts, 1);
    EXPECT_EQ(lib.openRecordingPath(), path);
    EXPECT_EQ(lib.recordDate(), "05/07/2013  14:25:30");
    EXPECT_EQ(lib.recordDataLabel(), "Recorded on");
    EXPECT_EQ(lib.dataSetInfo().heartRate, "72");
    EXPECT_TRUE(lib.memo().enabled);
    EXPECT_TRUE(QFile::exists(rec("0000A1F3/201305/07/142530.cmm")));
    ASSERT_TRUE(lib.openRecording());
    EXPECT_EQ(rateOf(lib), 256);

    // The same recording again: not reread, and its date stays shown; after a
    // display switch it is reread.
    lib.DataListClick();
    EXPECT_EQ(analysed, 1);
    EXPECT_EQ(charts, 1);
    EXPECT_EQ(lib.recordDate(), "05/07/2013  14:25:30");
    EXPECT_EQ(lib.recordDataLabel(), "Recorded on");
    lib.setKeep256(false);
    lib.setReloadFlag();
    lib.DataListClick();
    EXPECT_EQ(analysed, 2);
    EXPECT_EQ(rateOf(lib), 128);

    // A folder node empties and disables the memo; the recording stays in memory.
    lib.model().select(nodeByCaption(lib.model(), "07"));
    lib.DataListClick();
    EXPECT_FALSE(lib.memo().enabled);
    EXPECT_TRUE(lib.memo().text.isEmpty());
    EXPECT_EQ(lib.recordDate(), "");
    EXPECT_EQ(lib.dataSetInfo().heartRate, "");
    EXPECT_NE(lib.openRecording(), nullptr);
}

// The root clears the chart and the findings; the recording that was open
// comes back with the next click on it instead of leaving an empty chart.
TEST_F(Library, OpenRecordingClickedAgainAfterTheRootIsShownAgain)
{
    const QString path = rec("0000A1F3/201305/07/142530.edf");
    fixtures::writeDownloaded(path, 7680);
    int cleared = 0;
    lib.hooks().clearCharts = [&] { ++cleared; };
    lib.RebuildDataList();
    lib.model().select(nodeByCaption(lib.model(), "14:25:30"));
    lib.DataListClick();
    ASSERT_EQ(charts, 1);

    lib.model().select(nodeByCaption(lib.model(), "Data"));
    lib.DataListClick();
    EXPECT_EQ(lib.dataSetInfo().heartRate, "");
    const int clearedByRoot = cleared;
    EXPECT_GE(clearedByRoot, 2);

    lib.model().select(nodeByCaption(lib.model(), "14:25:30"));
    lib.DataListClick();
    EXPECT_EQ(charts, 2);
    EXPECT_EQ(lib.dataSetInfo().heartRate, "72");
    EXPECT_EQ(lib.recordDate(), "05/07/2013  14:25:30");

    // Clicked once more it is left as it is.
    lib.DataListClick();
    EXPECT_EQ(charts, 2);
    EXPECT_EQ(cleared, clearedByRoot + 1);
}

TEST_F(Library, RefusedRecordingIsReportedAndNotTouched)
{
    const QString path = rec("0000A1F3/201305/07/142530.edf");
    fixtures::writeBytes(path, fixtures::foreignEdf(360, 2, fixtures::wave(720, 360)));
    const QByteArray before = fixtures::readBytes(path);
    QString refused;
    lib.hooks().refuse = [&](const EdfProblem& p, const QString&) { refused = p.message(); };
    lib.RebuildDataList();
    lib.model().select(nodeByCaption(lib.model(), "14:25:30"));
    lib.DataListClick();
    EXPECT_TRUE(refused.contains("360")) << refused.toStdString();
    EXPECT_EQ(analysed, 0);
    EXPECT_EQ(fixtures::readBytes(path), before);
    EXPECT_FALSE(lib.memo().enabled);
    EXPECT_FALSE(QFile::exists(rec("0000A1F3/201305/07/142530.cmm")));
}

TEST_F(Library, NewRecordingIsSelectedAndExpanded)
{
    fixtures::writeDownloaded(rec("0000A1F3/201305/07/142530.edf"), 256);
    fixtures::writeDownloaded(rec("0000A1F3/201305/08/142530.edf"), 256);
    lib.RebuildDataList();
    ASSERT_TRUE(lib.SelectNewRecording("0000A1F3", "201305", "08", "142530"));
    DataNode* sel = lib.model().selected();
    ASSERT_TRUE(sel);
    EXPECT_EQ(sel->path, rec("0000A1F3/201305/08/142530.edf"));
    EXPECT_TRUE(sel->parent->expanded);
    EXPECT_FALSE(lib.SelectNewRecording("0000A1F3", "201305", "09", "142530"));
    EXPECT_EQ(lib.model().selected(), sel);
}

TEST_F(Library, UploadRemovesOnlyTheNodesOfRecordingsThatAreGone)
{
    fixtures::writeDownloaded(rec("0000A1F3/201305/07/142530.edf"), 256);
    fixtures::writeDownloaded(rec("0000A1F3/201305/07/150000.edf"), 256);
    lib.RebuildDataList();
    lib.DataListCheckChanged(&lib.model().root(), true);
    lib.GatherCheckedRecordings();
    ASSERT_EQ(lib.gatheredPaths(), (std::vector<QString>{rec("0000A1F3/201305/07/142530.edf"),
                                                          rec("0000A1F3/201305/07/150000.edf")}));
    lib.RemoveCheckedNodes(false);
    EXPECT_NE(nodeByCaption(lib.model(), "14:25:30"), nullptr);
    // The upload deleted the first; the second was kept (not delivered) and stays listed.
    ASSERT_TRUE(QFile::remove(rec("0000A1F3/201305/07/142530.edf")));
    lib.RemoveCheckedNodes(true);
    EXPECT_EQ(nodeByCaption(lib.model(), "14:25:30"), nullptr);
    EXPECT_NE(nodeByCaption(lib.model(), "15:00:00"), nullptr);
    EXPECT_TRUE(QFile::exists(rec("0000A1F3/201305/07/150000.edf")));
}

TEST_F(Library, LongPathsAndTheFlatListing)
{
    QString deep = tmp.filePath("other");
    for (int i = 0; i < 12; ++i) deep += "/folder-with-a-rather-long-name-" + QString::number(i);
    fixtures::writeDownloaded(deep + "/b.edf", 256);
    fixtures::writeDownloaded(deep + "/a.edf", 256);
    ASSERT_GT(deep.size(), 400);
    lib.hooks().choosePath = [&]() -> std::optional<QString> { return tmp.filePath("other"); };
    lib.UKnowClick();
    const QStringList expected = {"Data", "  a.edf", "  b.edf"};
    EXPECT_EQ(captions(lib.model()), expected);
    lib.model().select(nodeByCaption(lib.model(), "b.edf"));
    lib.DataListClick();
    EXPECT_EQ(lib.openRecordingPath(), deep + "/b.edf");
    EXPECT_EQ(analysed, 1);

    // Cancel later keeps the stored folder.
    lib.hooks().choosePath = []() -> std::optional<QString> { return std::nullopt; };
    lib.UKnowClick();
    EXPECT_EQ(captions(lib.model()), expected);
}

TEST(RecordDate, PadsAndPrefixes)
{
    EXPECT_EQ(RecordDateText("13.5.7", "4.5.6"), "05/07/2013  04:05:06");
    EXPECT_EQ(RecordDateText("9.12.31", "23.59.58"), "12/31/2009  23:59:58");
}

}  // namespace
