// The upload and account dialogs, with uploads against the in-process
// stand-in service on loopback.
#include "TestApp.h"
#include "dialogs/MDIdpwd.h"
#include "dialogs/MDUpload.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPictureButton.h"
#include "lang/TextTable.h"
#include "sim/web/WebService.h"
#include "store/FhrBlock.h"
#include "store/AccountSettings.h"
#include "store/ProfileFile.h"
#include "tests/store/FileSizeLimit.h"
#include "tests/store/StoreFixtures.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class UploadDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        TextTable::current().SelectLanguage(1033);
        ini = dir.filePath("Heartlet.ini");
        service.addAccount("demo", "pw");
        ASSERT_TRUE(service.listen(0, nullptr));
        TMessageBoxForm::setModalRunner([this](TMessageBoxForm& box) {
            messages << box.Msg->text();
            box.clickButton(answerCancel ? MsgButton::Cancel : MsgButton::OK);
        });
    }
    void TearDown() override { TMessageBoxForm::setModalRunner({}); }

    // A recording that was opened once (signed analysis block): `seconds` of samples.
    QString recording(const QString& time, int seconds = 31)
    {
        const QString path = dir.filePath("DATA/0000A1F3/201305/07/" + time + ".edf");
        fixtures::writeDownloaded(path, 256 * seconds);
        FHR_BLOCK block;
        ReadTrailingBlock(path, block);
        if (!UpdateFhrBlock(path, block, true, ManagerResults{}).ok()) ADD_FAILURE() << "cannot sign";
        return path;
    }

    UploadDialogSetup setup(const QStringList& files)
    {
        ProfileFile(ini).writeString("INFO", "ACCOUNT", "demo");
        ProfileFile(ini).writeString("INFO", "PASSWORD", "pw");
        UploadDialogSetup s;
        s.recordings = files;
        s.heartletIni = ini;
        s.directoryHost = "127.0.0.1";
        s.port = service.port();
        s.timings = upload::Timings::Fast();
        s.askAccount = [this]() -> std::optional<std::pair<QString, QString>> {
            ++accountAsked;
            return std::nullopt;
        };
        return s;
    }

    // Presses Upload and waits until the dialog closes or the buttons come back.
    int press(TUpload& dialog)
    {
        dialog.show();
        dialog.OK->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible() || dialog.Cancel->isEnabled(); }, 20000));
        return dialog.result();
    }

    QTemporaryDir dir;
    QString ini;
    sim::WebService service;
    QStringList messages;
    bool answerCancel = false;
    int accountAsked = 0;
};

TEST_F(UploadDialogs, ListsTheRecordingsWithTheirNumberAndTotalSize)
{
    QStringList files;
    for (const char* name : {"a.edf", "b.edf", "c.edf"}) {
        files << dir.filePath(QStringLiteral("0000A1F3/201305/07/1425") + name);
        fixtures::writeBytes(files.last(), QByteArray(30000, 'x'));
    }
    TUpload dialog(setup(files));
    EXPECT_EQ(dialog.size(), QSize(416, 330));
    EXPECT_EQ(dialog.TotalFileLabel->text(), "Number of files : 3");
    EXPECT_EQ(dialog.TotalSizeLabel->text(), "Total size : 90000 Byte(s)");
    ASSERT_EQ(dialog.DataList->topLevelItemCount(), 4);
    EXPECT_EQ(dialog.DataList->topLevelItem(0)->text(0), "");
    EXPECT_EQ(dialog.DataList->topLevelItem(2)->text(0), "FileName: " + files[1].right(20));
    EXPECT_TRUE(dialog.AutoDel->isChecked());
    EXPECT_TRUE(dialog.OK->isEnabled());
    EXPECT_FALSE(TUpload(setup({})).OK->isEnabled());
}

TEST_F(UploadDialogs, UploadShowsProgressMarksAndAsksBeforeTheNextOverwrite)
{
    const QStringList files{recording("142500"), recording("142600"), recording("142700")};
    QList<QPair<int, QString>> progress;
    {
        TUpload dialog(setup(files));
        dialog.AutoDel->setChecked(false);
        QObject::connect(dialog.CGauge1, &QProgressBar::valueChanged, [&](int v) {
            progress << qMakePair(v, dialog.FileLabel->text());
        });
        EXPECT_EQ(press(dialog), QDialog::Accepted);
        EXPECT_TRUE(dialog.uploadAttempted());
        EXPECT_FALSE(dialog.removeEntries());
    }
    EXPECT_EQ(messages, QStringList{"Upload completed!"});
    // During the second recording the bar shows the first one done.
    bool sawSecond = false;
    for (const auto& [value, label] : progress)
        if (value == 33) sawSecond = sawSecond || label.startsWith("File2 / 3     Size: ");
    EXPECT_TRUE(sawSecond);
    for (const QString& f : files) {
        FHR_BLOCK block;
        ASSERT_TRUE(ReadFhrBlock(f, block));
        EXPECT_EQ(block.uploadedMarker(), 1);
    }
    EXPECT_EQ(ProfileFile(ini).readString("INFO", "HOST_IP"), "127.0.0.2");

    // The next upload of them asks first; Cancel keeps the dialog open and sends nothing.
    messages.clear();
    answerCancel = true;
    const int connections = static_cast<int>(service.log().size());
    TUpload again(setup(files));
    EXPECT_NE(press(again), QDialog::Accepted);
    EXPECT_TRUE(again.isVisible());
    EXPECT_EQ(messages, QStringList{"This file has been uploaded before. Do you want to overwrite?"});
    QTest::qWait(100);
    for (qsizetype i = connections; i < service.log().size(); ++i)
        for (const QJsonValue& r : service.log()[i]["requests"].toArray())
            EXPECT_NE(r.toObject()["type"].toString(), "UploadLogin");
}

TEST_F(UploadDialogs, DeleteAfterUploadRemovesOnlyDeliveredRecordings)
{
    const QStringList files{recording("142500"), recording("142600")};
    service.faults().headerCode = 2;  // the second recording is refused
    service.faults().headerCodeAt = 2;
    TUpload dialog(setup(files));
    EXPECT_EQ(press(dialog), QDialog::Accepted);
    EXPECT_TRUE(dialog.removeEntries());
    EXPECT_FALSE(QFile::exists(files[0]));
    EXPECT_TRUE(QFile::exists(files[1]));
    // Not everything arrived: no deletion message.
    EXPECT_EQ(messages, QStringList{"Upload failed!"});
}

TEST_F(UploadDialogs, RetryAfterABrokenTransferSkipsTheRecordingAlreadyDeliveredAndDeleted)
{
    const QStringList files{recording("142500"), recording("142600"), recording("142700")};
    // The second header's reply proves the first recording; the third's is cut off.
    service.faults().shortReply = sim::WebStage{sim::WebStage::Header, 3};
    TUpload dialog(setup(files));
    press(dialog);
    ASSERT_TRUE(dialog.isVisible());
    EXPECT_EQ(messages, QStringList{"Connection closed!"});
    EXPECT_FALSE(QFile::exists(files[0]));
    EXPECT_TRUE(QFile::exists(files[1]));

    // Second try without deleting: the rest arrives, and the first recording's
    // entry still leaves the list because its file is gone.
    messages.clear();
    service.faults().shortReply = sim::WebStage{};
    dialog.AutoDel->setChecked(false);
    EXPECT_EQ(press(dialog), QDialog::Accepted);
    EXPECT_EQ(messages, QStringList{"Upload completed!"});
    EXPECT_TRUE(dialog.removeEntries());
    for (const QString& f : {files[1], files[2]}) {
        FHR_BLOCK block;
        ASSERT_TRUE(ReadFhrBlock(f, block));
        EXPECT_EQ(block.uploadedMarker(), 1);
    }
}

TEST_F(UploadDialogs, RefusedAccountShowsTheMessageThenTheAccountDialogAndStaysOpen)
{
    service.faults().checkCode = 2;
    TUpload dialog(setup({recording("142500")}));
    press(dialog);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(messages, QStringList{"Invalid ID or password!"});
    EXPECT_EQ(accountAsked, 1);
    EXPECT_TRUE(dialog.OK->isEnabled());
    EXPECT_TRUE(dialog.AutoDel->isEnabled());
    dialog.Cancel->click();
    EXPECT_FALSE(dialog.uploadAttempted());
}

TEST_F(UploadDialogs, ClosingDuringTheTransferStopsItAndCloses)
{
    service.faults().silence.kind = sim::WebStage::Login;
    auto* dialog = new TUpload(setup({recording("142500")}));
    dialog->show();
    dialog->OK->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.log().isEmpty(); }, 5000));  // past the directory
    QTest::qWait(200);
    emit dialog->CloseBtn->clicked();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 5000));
    EXPECT_TRUE(messages.isEmpty());
    delete dialog;
    QTest::qWait(50);  // nothing of the session calls into the destroyed dialog
}

TEST_F(UploadDialogs, AccountDialogKeepsCredentialsOnlyWhenRemembering)
{
    ProfileFile(ini).writeString("INFO", "REM", "2");
    ProfileFile(ini).writeString("INFO", "ACCOUNT", "stored@example.org");
    ProfileFile(ini).writeString("INFO", "PASSWORD", "old");
    QList<QUrl> opened;
    {
        TIdPwd remember(ini, [&](const QUrl& u) { opened << u; return true; });
        EXPECT_EQ(remember.size(), QSize(320, 260));
        EXPECT_EQ(remember.ID->text(), "stored@example.org");
        EXPECT_EQ(remember.Password->echoMode(), QLineEdit::Password);
        EXPECT_FALSE(remember.Remember->isVisible());
        QTest::mouseClick(remember.RegisterLabel1, Qt::LeftButton);
        EXPECT_EQ(opened.size(), 1);
        remember.Password->setText("new");
        remember.OK->click();
        EXPECT_EQ(remember.accountDialogResult(), 1);
    }
    EXPECT_EQ(ProfileFile(ini).readString("INFO", "PASSWORD"), "new");

    ProfileFile(ini).writeString("INFO", "REM", "1");
    TIdPwd once(ini);
    // The sample texts are hints, not values.
    EXPECT_EQ(once.ID->text(), "");
    EXPECT_EQ(once.ID->placeholderText(), "ID");
    once.ID->setText("typed@example.org");
    once.Password->setText("typed");
    once.OK->click();
    EXPECT_EQ(once.enteredAccount(), "typed@example.org");
    EXPECT_EQ(ProfileFile(ini).readString("INFO", "ACCOUNT"), "");
    EXPECT_EQ(ProfileFile(ini).readString("INFO", "PASSWORD"), "");

    TIdPwd cancelled(ini);
    cancelled.ID->setText("x");
    cancelled.Cancel->click();
    EXPECT_EQ(cancelled.accountDialogResult(), 2);
    EXPECT_EQ(ProfileFile(ini).readString("INFO", "REM"), "1");
}

// How the service ends the transfer decides what the dialog says and does:
// a service that keeps the connection open still gets its recording deleted;
// one that resets with the content unread never gets the recording deleted.
TEST_F(UploadDialogs, TheEndOfTheTransferDecidesWhatIsDeleted)
{
    const char* const kAllDeleted = "All ECG data shall be deleted from the software.";
    struct Row {
        const char* name;
        std::function<void(sim::WebFaults&)> script;
        const char* message;
        bool kept;
    } rows[] = {
        {"keeps the connection open", [](sim::WebFaults& f) { f.holdAfterEnd = true; }, kAllDeleted, false},
        {"waits for our close", [](sim::WebFaults& f) { f.waitForClose = true; }, kAllDeleted, false},
        {"resets with the content unread", [](sim::WebFaults& f) { f.resetUnreadAtHeader = 1; }, "Upload failed!", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        service.faults() = sim::WebFaults{};
        row.script(service.faults());
        messages.clear();
        const QString file = recording("142500");
        {
            TUpload dialog(setup({file}));
            ASSERT_TRUE(dialog.AutoDel->isChecked());
            press(dialog);
        }
        ASSERT_FALSE(messages.isEmpty());
        EXPECT_EQ(messages.last(), row.message);
        EXPECT_EQ(QFile::exists(file), row.kept);
    }
}

// Without a browser the Register link says so and shows the address to copy;
// a password with blanks or quotes is kept exactly.
// The Register link is a command like the buttons: Tab from the password reaches it,
// it shows that it has the focus, and Space or Enter opens the registration page.
TEST_F(UploadDialogs, AccountDialogRegisterLinkWorksFromTheKeyboard)
{
    int opened = 0;
    TIdPwd dialog(ini, [&](const QUrl&) { ++opened; return true; });
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.Password->setFocus(Qt::TabFocusReason);
    const QImage unfocused = dialog.RegisterLinkLabel->grab().toImage();
    QTest::keyClick(dialog.Password, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog.RegisterLinkLabel);
    EXPECT_NE(dialog.RegisterLinkLabel->grab().toImage(), unfocused);
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(dialog.RegisterLinkLabel, key);
    EXPECT_EQ(opened, 3);
    EXPECT_TRUE(dialog.isVisible());  // Enter on the link is not the dialog's OK
}

TEST_F(UploadDialogs, AccountDialogTellsTheAddressWithoutABrowserAndKeepsThePasswordExactly)
{
    TIdPwd dialog(ini, [](const QUrl&) { return false; });
    QTest::mouseClick(dialog.RegisterLabel1, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QString::fromLatin1(TIdPwd::kRegisterPage))) << messages[0].toStdString();
    dialog.ID->setText("me@example.org");
    dialog.Password->setText(" \"x\" ");
    ProfileFile(ini).writeString("INFO", "REM", "2");
    dialog.Remember->setChecked(true);
    dialog.OK->click();
    EXPECT_EQ(AccountSettings(ini).password(), " \"x\" ");
    TIdPwd again(ini);
    EXPECT_EQ(again.Password->text(), " \"x\" ");
}

// A Heartlet.ini that cannot be written: the user is told the account was not
// kept, and the entered account still serves the upload under way.
TEST_F(UploadDialogs, AccountDialogTellsWhenTheAccountCannotBeSaved)
{
    TIdPwd dialog(dir.filePath("missing/Heartlet.ini"));
    dialog.ID->setText("me@example.org");
    dialog.Password->setText("pw");
    dialog.OK->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "Changes to the settings failed.");
    EXPECT_EQ(dialog.accountDialogResult(), 1);
    EXPECT_EQ(dialog.enteredAccount(), "me@example.org");
}

// OK that stores what Heartlet.ini already holds needs no write, so a file
// that cannot be written then is no failure to tell: the stored account
// confirmed unchanged, or nothing remembered and nothing typed to forget.
TEST_F(UploadDialogs, AccountDialogIsSilentWhenNothingNeededSaving)
{
    struct Case {
        const char* file;
        const char* account;
        const char* password;
    };
    for (const Case& c : {Case{"[INFO]\nACCOUNT=demo\nPASSWORD=pw\nREM=2\n", "demo", "pw"},
                          Case{"[INFO]\nACCOUNT=\nPASSWORD=\nREM=1\n", "me@example.org", "typed"}}) {
        SCOPED_TRACE(c.file);
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.file);
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);  // as the program makes it
        messages.clear();
        TIdPwd dialog(ini);
        dialog.ID->setText(c.account);
        dialog.Password->setText(c.password);
        {
            FileSizeLimit full(0);
            dialog.OK->click();
        }
        EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
        EXPECT_EQ(dialog.accountDialogResult(), 1);
        EXPECT_EQ(dialog.enteredPassword(), c.password);
    }
}

// Renders both dialogs for the documentation:
//   TALMON_SCREENSHOT_DIR=docs build/bin/test_dialogs --gtest_filter='UploadDialogs.Screenshot*'
TEST_F(UploadDialogs, Screenshots)
{
    const QString out = qEnvironmentVariable("TALMON_SCREENSHOT_DIR");
    if (out.isEmpty()) GTEST_SKIP() << "set TALMON_SCREENSHOT_DIR to write the screenshots";
    service.faults().trickleMs = 60;  // slow enough to catch the second recording under way
    TUpload dialog(setup({recording("142500", 60), recording("142600", 60), recording("142700", 60)}));
    dialog.AutoDel->setChecked(false);
    bool saved = false;
    QObject::connect(dialog.CGauge1, &QProgressBar::valueChanged, [&](int v) {
        if (v == 33 && !saved) saved = dialog.grab().save(QDir(out).filePath("upload-dialog.png"));
    });
    press(dialog);
    EXPECT_TRUE(saved);

    ProfileFile(ini).writeString("INFO", "REM", "2");
    ProfileFile(ini).writeString("INFO", "ACCOUNT", "anna.berg@example.org");
    TIdPwd account(ini);
    account.show();
    EXPECT_TRUE(account.grab().save(QDir(out).filePath("account-dialog.png")));
}

}  // namespace
