#include "TestApp.h"
#include "dialogs/DataListView.h"
#include "dialogs/MDSelectPath.h"
#include "store/DeviceRecordHeader.h"
#include "store/EdfWriter.h"
#include "store/RecordingLibrary.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// The shared test application is a function-local static: its destructor runs
// among the exit handlers, after Qt's own globals are gone, and crashes while
// deleting the platform's pointing device once a window was shown. Until it
// is torn down in order, the process ends before the static teardown, with
// the tests' verdict as its status.
void UseTestApp()
{
    TestApp();
    static const bool registered = [] {
        std::atexit([] {
            std::fflush(nullptr);
            std::_Exit(::testing::UnitTest::GetInstance()->Passed() ? 0 : 1);
        });
        return true;
    }();
    (void)registered;
}

void writeRecording(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    DEVICE_RECORD_HEADER h;
    h.setU16(DEVICE_RECORD_HEADER::SampleRate, 128);
    h.setU32(DEVICE_RECORD_HEADER::DataByteCount, 256 * 2);
    h.setU8(DEVICE_RECORD_HEADER::DayBcd, 0x07);
    h.setU8(DEVICE_RECORD_HEADER::MonthBcd, 0x05);
    h.setU8(DEVICE_RECORD_HEADER::YearBcd, 0x13);
    ASSERT_TRUE(WriteDownloadedEdf(path, h, QByteArray(512, '\0'), QByteArray(1600, '\0')).ok());
}

QTreeWidgetItem* itemByText(QTreeWidget& tree, const QString& text)
{
    const auto found = tree.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

struct DataListViewTest : ::testing::Test {
    QTemporaryDir tmp;
    int analysed = 0;
    QStringList asked;
    std::unique_ptr<RecordingLibrary> lib;
    std::unique_ptr<QTreeWidget> treeWidget;
    std::unique_ptr<QPlainTextEdit> memoBox;
    std::unique_ptr<DataListView> view;

    void SetUp() override
    {
        UseTestApp();
        writeRecording(tmp.filePath("0000A1F3/201305/07/142530.edf"));
        writeRecording(tmp.filePath("0000A1F3/201305/08/091500.edf"));
        RecordingLibrary::Hooks hooks;
        hooks.analyse = [this](const EDF_RECORD&, int) { ++analysed; return ManagerResults{}; };
        hooks.ask = [this](const QString& text, bool) { asked << text; return 1; };
        lib = std::make_unique<RecordingLibrary>(tmp.path(), hooks);
        lib->RebuildDataList();
        treeWidget = std::make_unique<QTreeWidget>();
        memoBox = std::make_unique<QPlainTextEdit>();
        QTreeWidget& tree = *treeWidget;
        tree.resize(260, 400);
        tree.setHeaderHidden(true);
        view = std::make_unique<DataListView>(&tree, *lib);
        view->bindMemo(memoBox.get());
        view->Fill();
        tree.expandAll();
        tree.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    }

    void click(QTreeWidgetItem* item)
    {
        QTreeWidget& tree = *treeWidget;
        const QRect r = tree.visualItemRect(item);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(r.right() - 10, r.center().y()));
    }
};

TEST_F(DataListViewTest, FillsTheTreeFromTheModel)
{
    QTreeWidget& tree = *treeWidget;
    if (qEnvironmentVariableIsSet("TALMON_SCREENSHOTS"))
        tree.grab().save(qEnvironmentVariable("TALMON_SCREENSHOTS") + "/data-list.png");
    EXPECT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), "Data");
    QStringList all;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it) all << (*it)->text(0);
    EXPECT_EQ(all, (QStringList{"Data", "ID : 0000A1F3", "2013 / 05", "07", "14:25:30", "08", "09:15:00"}));
    EXPECT_EQ(tree.topLevelItem(0)->checkState(0), Qt::Unchecked);
}

TEST_F(DataListViewTest, TickingAFolderTicksItsBranchWithoutOpening)
{
    QTreeWidget& tree = *treeWidget;
    QTreeWidgetItem* month = itemByText(tree, "2013 / 05");
    month->setCheckState(0, Qt::Checked);  // as the user's click on the box does
    for (const char* c : {"07", "14:25:30", "08", "09:15:00"}) {
        EXPECT_EQ(itemByText(tree, c)->checkState(0), Qt::Checked) << c;
        const DataNode* node = view->nodeOf(itemByText(tree, c));
        EXPECT_TRUE(node && node->checked) << c;
    }
    EXPECT_EQ(analysed, 0);
}

TEST_F(DataListViewTest, ClickOpensRecordingAndFolderDisablesTheMemo)
{
    QTreeWidget& tree = *treeWidget;
    QPlainTextEdit& memo = *memoBox;
    click(itemByText(tree, "14:25:30"));
    EXPECT_EQ(analysed, 1);
    EXPECT_EQ(lib->openRecordingPath(), tmp.filePath("0000A1F3/201305/07/142530.edf"));
    EXPECT_TRUE(memo.isEnabled());
    QTest::keyClicks(&memo, "hello");
    EXPECT_TRUE(QFile::exists(tmp.filePath("0000A1F3/201305/07/142530.cmm")));
    QFile note(tmp.filePath("0000A1F3/201305/07/142530.cmm"));
    ASSERT_TRUE(note.open(QIODevice::ReadOnly));
    EXPECT_EQ(note.readAll(), "hello\r\n");

    click(itemByText(tree, "07"));
    EXPECT_FALSE(memo.isEnabled());
    EXPECT_TRUE(memo.toPlainText().isEmpty());

    click(itemByText(tree, "14:25:30"));
    EXPECT_EQ(memo.toPlainText(), "hello\n");
}

TEST_F(DataListViewTest, DeleteKeyDeletesTickedRecordingsAndTheTreeFollows)
{
    QTreeWidget& tree = *treeWidget;
    itemByText(tree, "07")->setCheckState(0, Qt::Checked);
    tree.setFocus();
    tree.setCurrentItem(itemByText(tree, "09:15:00"));
    QTest::keyClick(&tree, Qt::Key_Delete);
    EXPECT_EQ(asked, QStringList{"Are you sure you want to delete the selected files?"});
    EXPECT_FALSE(QFile::exists(tmp.filePath("0000A1F3/201305/07/142530.edf")));
    EXPECT_EQ(itemByText(tree, "07"), nullptr);
    EXPECT_EQ(itemByText(tree, "14:25:30"), nullptr);
    EXPECT_NE(itemByText(tree, "09:15:00"), nullptr);
}

// A large list makes the items of a folder only when it is expanded; the
// keyboard walks into folders and opens a recording all the same.
TEST_F(DataListViewTest, LargeListGrowsItemsAsTheKeyboardExpandsFolders)
{
    QTreeWidget& tree = *treeWidget;
    view->setWholeFillLimit(0);
    lib->RebuildDataList();  // folded again
    view->Fill();
    EXPECT_EQ(itemByText(tree, "2013 / 05"), nullptr);
    QTreeWidgetItem* device = itemByText(tree, "ID : 0000A1F3");
    ASSERT_TRUE(device);
    EXPECT_EQ(device->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    device->setCheckState(0, Qt::Checked);  // before its items exist

    tree.setFocus();
    tree.setCurrentItem(device);
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down})
        QTest::keyClick(&tree, key);
    ASSERT_TRUE(tree.currentItem());
    EXPECT_EQ(tree.currentItem()->text(0), "14:25:30");
    EXPECT_EQ(tree.currentItem()->checkState(0), Qt::Checked);
    EXPECT_EQ(analysed, 1);
    EXPECT_EQ(lib->openRecordingPath(), tmp.filePath("0000A1F3/201305/07/142530.edf"));
}

// After a download the new recording is selected, shown expanded and opened,
// and a later rebuild keeps it selected and in sight: for small and large lists.
TEST_F(DataListViewTest, NewRecordingIsShownAndARebuildKeepsTheSelection)
{
    QTreeWidget& tree = *treeWidget;
    const struct {
        int limit;
        const char* time;
        const char* caption;
    } cases[] = {{DataListView::kWholeFillLimit, "080000", "08:00:00"}, {0, "080100", "08:01:00"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        view->setWholeFillLimit(c.limit);
        lib->RebuildDataList();
        view->Fill();
        tree.collapseAll();
        const QString added = tmp.filePath(QStringLiteral("0000A1F3/201306/02/%1.edf").arg(c.time));
        writeRecording(added);
        lib->RebuildDataList();
        ASSERT_TRUE(lib->SelectNewRecording("0000A1F3", "201306", "02", c.time));
        view->DataListClick();
        auto shown = [&] {
            QTreeWidgetItem* current = tree.currentItem();
            if (!current || current->text(0) != c.caption) return false;
            for (QTreeWidgetItem* p = current->parent(); p; p = p->parent())
                if (!p->isExpanded()) return false;
            return view->nodeOf(current) == lib->model().selected();
        };
        EXPECT_TRUE(shown());
        EXPECT_EQ(lib->openRecordingPath(), added);

        const QString another = tmp.filePath("0000A1F3/201306/02/070000.edf");
        writeRecording(another);
        lib->RebuildDataList();
        view->Sync();
        EXPECT_TRUE(shown());
        EXPECT_NE(itemByText(tree, "07:00:00"), nullptr);
        QFile::remove(another);
    }
}

TEST(SelectPath, OkStoresTheShownFolderCancelNothing)
{
    UseTestApp();
    QTemporaryDir tmp;
    QDir().mkpath(tmp.filePath("a/b"));
    TSelectPath dialog(nullptr, tmp.filePath("a/b"));
    EXPECT_EQ(dialog.size(), QSize(416, 500));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    if (qEnvironmentVariableIsSet("TALMON_SCREENSHOTS"))
        dialog.grab().save(qEnvironmentVariable("TALMON_SCREENSHOTS") + "/select-path.png");
    EXPECT_EQ(dialog.shownFolder(), tmp.filePath("a/b"));
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    EXPECT_EQ(dialog.chosenFolder(), tmp.filePath("a/b"));

    TSelectPath other(nullptr, tmp.path());
    other.show();
    QTest::mouseClick(other.CancelBtn, Qt::LeftButton);
    EXPECT_TRUE(other.chosenFolder().isEmpty());
    EXPECT_EQ(other.result(), QDialog::Rejected);
}

}  // namespace
