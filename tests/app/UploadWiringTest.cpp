// The main window's Upload and Account commands with the demo's in-process
// stand-in service.
#include "WindowFixture.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/UploadController.h"
#include "dialogs/MDIdpwd.h"
#include "dialogs/MDUpload.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPictureButton.h"
#include "lang/TextTable.h"
#include "store/ProfileFile.h"
#include "store/RecordingLibrary.h"
#include "tests/store/FileSizeLimit.h"
#include "tests/store/StoreFixtures.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class UploadWiring : public WindowFixture {};

TEST_F(UploadWiring, DemoUploadDeletesDeliveredRecordingsAndTheirEntries)
{
    const QString kept = state.paths.dataFolder + "0000A1F3/201305/07/142530.edf";
    const QString sent = state.paths.dataFolder + "0000A1F3/201305/08/090000.edf";
    fixtures::writeDownloaded(kept, 256 * 31);
    fixtures::writeDownloaded(sent, 256 * 31);
    MainWindowOptions options;
    options.showWelcome = false;
    TECGMain w(state, options);
    w.FormCreate();
    w.show();

    // Nothing ticked: the window says so and no dialog opens.
    w.UploadClick();
    EXPECT_EQ(shown, QStringList{"Please select the file(s) to upload."});

    ASSERT_TRUE(w.uploadController()->startDemoService());
    EXPECT_TRUE(w.Upload->isVisible());
    EXPECT_TRUE(w.Account->isVisible());
    EXPECT_EQ(ProfileFile(state.paths.heartletIni).readString("INFO", "ACCOUNT"), "demo");
    // TALMON_SCREENSHOT_DIR=dir: the demo window with both commands, to look at.
    if (const QString out = qEnvironmentVariable("TALMON_SCREENSHOT_DIR"); !out.isEmpty()) {
        EXPECT_TRUE(w.grab().save(out + "/main-window-demo-upload.png"));
    }
    w.uploadController()->adjustSetup = [](UploadDialogSetup& s) { s.timings = upload::Timings::Fast(); };

    // Tick the recording of the 8th and press Upload in the dialog (delete after upload is on).
    QTreeWidgetItem* day8 = nullptr;
    for (QTreeWidgetItemIterator it(w.DataList); *it; ++it)
        if ((*it)->text(0).contains("09:00:00")) day8 = *it;
    ASSERT_NE(day8, nullptr);
    day8->setCheckState(0, Qt::Checked);
    QTimer::singleShot(50, [] {
        if (auto* dialog = qobject_cast<TUpload*>(QApplication::activeModalWidget())) dialog->OK->click();
    });
    w.UploadClick();
    EXPECT_EQ(shown.last(), "All ECG data shall be deleted from the software.");
    EXPECT_FALSE(QFile::exists(sent));
    EXPECT_TRUE(QFile::exists(kept));
    bool listed = false, keptListed = false;
    for (QTreeWidgetItemIterator it(w.DataList); *it; ++it) {
        listed = listed || (*it)->text(0).contains("09:00:00");
        keptListed = keptListed || (*it)->text(0).contains("14:25:30");
    }
    EXPECT_FALSE(listed);
    EXPECT_TRUE(keptListed);

    // Account opens the account dialog with the stored account.
    QString account;
    QTimer::singleShot(50, [&account] {
        if (auto* dialog = qobject_cast<TIdPwd*>(QApplication::activeModalWidget())) {
            account = dialog->ID->text();
            dialog->Cancel->click();
        }
    });
    w.AccountClick();
    EXPECT_EQ(account, "demo");
    w.close();
}

// The upload closes the open recording: the list and the note box must not go
// on showing it, or a note typed afterwards would look kept and go nowhere.
TEST_F(UploadWiring, AfterTheUploadNothingShowsAsOpen)
{
    const QString opened = state.paths.dataFolder + "0000A1F3/201305/07/142530.edf";
    const QString sent = state.paths.dataFolder + "0000A1F3/201305/08/090000.edf";
    fixtures::writeDownloaded(opened, 256 * 31);
    fixtures::writeDownloaded(sent, 256 * 31);
    fixtures::writeBytes(opened.left(opened.size() - 4) + ".cmm", "Palpitations after the stairs.\r\n");
    MainWindowOptions options;
    options.showWelcome = false;
    TECGMain w(state, options);
    w.FormCreate();
    w.show();
    ASSERT_TRUE(w.uploadController()->startDemoService());
    w.uploadController()->adjustSetup = [](UploadDialogSetup& s) { s.timings = upload::Timings::Fast(); };

    auto item = [&w](const char* caption) -> QTreeWidgetItem* {
        for (QTreeWidgetItemIterator it(w.DataList); *it; ++it)
            if ((*it)->text(0).contains(caption)) return *it;
        return nullptr;
    };
    for (DataNode* n : w.library()->model().nodesInOrder())
        if (n->caption == "14:25:30") w.library()->model().select(n);
    w.DataListClick();
    ASSERT_FALSE(w.DataList->selectedItems().isEmpty());
    ASSERT_TRUE(w.Memo1->isEnabled());
    ASSERT_TRUE(w.Memo1->toPlainText().startsWith("Palpitations"));

    QTreeWidgetItem* toSend = item("09:00:00");
    ASSERT_NE(toSend, nullptr);
    toSend->setCheckState(0, Qt::Checked);
    QTimer::singleShot(50, [] {
        if (auto* dialog = qobject_cast<TUpload*>(QApplication::activeModalWidget())) dialog->OK->click();
    });
    w.UploadClick();
    ASSERT_FALSE(QFile::exists(sent));

    EXPECT_TRUE(w.DataList->selectedItems().isEmpty());
    EXPECT_TRUE(w.Memo1->toPlainText().isEmpty());
    EXPECT_FALSE(w.Memo1->isEnabled());
    EXPECT_TRUE(QFile::exists(opened));
    w.close();
}

// The demo fills in its own account so that a newcomer can upload at once; when
// that cannot be saved, the user is told instead of meeting a login they cannot know.
TEST_F(UploadWiring, DemoSaysWhenItsAccountCannotBeSaved)
{
    MainWindowOptions options;
    options.showWelcome = false;
    TECGMain w(state, options);
    w.FormCreate();
    w.show();
    {
        FileSizeLimit full(0);
        ASSERT_TRUE(w.uploadController()->startDemoService());
    }
    EXPECT_EQ(shown, QStringList{"Changes to the settings failed."});
    EXPECT_TRUE(w.Upload->isVisible());
    EXPECT_TRUE(ProfileFile(state.paths.heartletIni).readString("INFO", "ACCOUNT").isEmpty());
    w.close();
}

}  // namespace
