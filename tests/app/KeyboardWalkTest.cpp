// A user without a mouse goes through the whole window: opens a recording,
// changes the gain, ticks it, and opens and closes every dialog with keys alone
// (Tab to the command, Enter to start it, Escape to leave the dialog).
#include "SimulatedRecording.h"
#include "WindowFixture.h"
#include "app/DeviceServices.h"
#include "app/UploadController.h"
#include "dialogs/SkinPictureButton.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

// Presses Tab on whatever has the focus until `target` has it; false after a full round without it.
// As a user looks before the next key, it first lets the window of `target` become active.
bool TabTo(QWidget* target)
{
    WaitUntil([target] { return QApplication::activeWindow() == target->window(); }, 1000);
    for (int i = 0; i < 80 && QApplication::focusWidget() != target; ++i)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : target->window(), Qt::Key_Tab);
    return QApplication::focusWidget() == target;
}

void Press(Qt::Key key)
{
    QTest::keyClick(QApplication::focusWidget(), key);
}

// Leaves every window that opens over the main window with Escape, noting what it met:
// the window, the control that had the focus when it opened, and a window Escape did not close.
class EscapeEveryDialog {
public:
    EscapeEveryDialog()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start(30);
    }
    QStringList opened, firstFocus, stuck;

private:
    void look()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        // Keys reach a window once it is active; one that never becomes active is stuck.
        if (QApplication::activeWindow() != modal && ++waits_ < 40) return;
        waits_ = 0;
        if (modal != current_) {
            current_ = modal;
            tries_ = 0;
            opened << modal->metaObject()->className();
            QWidget* focus = QApplication::focusWidget();
            firstFocus << (focus && focus->window() == modal ? focus->objectName() : QStringLiteral("(none)"));
        }
        if (++tries_ > 3) {  // Escape did not close it: note it and close it otherwise
            stuck << modal->metaObject()->className();
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
            return;
        }
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus && focus->window() == modal ? focus : modal, Qt::Key_Escape);
    }

    QTimer timer_;
    QWidget* current_ = nullptr;
    int tries_ = 0;
    int waits_ = 0;
};

class KeyboardWalk : public WindowFixture {};

TEST_F(KeyboardWalk, EveryDialogOpensAndClosesFromTheKeyboard)
{
    TMessageBoxForm::setModalRunner({});  // the boxes show and wait for keys like the dialogs
    const QString recording = StoreSimulatedRecording(state.paths.dataFolder);
    DeviceServices device(true);
    device.ResetForStartup();
    auto w = open(&device);
    ASSERT_TRUE(w->uploadController()->startDemoService());
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.board().infoBlock.deviceId != 0; }, 8000));
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));

    // Open the recording: into the list, then Right through the folders down to it.
    ASSERT_TRUE(TabTo(w->DataList));
    Press(Qt::Key_Home);
    for (int i = 0; i < 12 && w->DataList->currentItem() && w->DataList->currentItem()->childCount() > 0; ++i)
        Press(Qt::Key_Right);
    ASSERT_TRUE(WaitUntil([&] { return w->ZoomIn->isVisible(); }, 3000)) << "no recording opened";
    // Gain up once: 100 % becomes 150 %.
    ASSERT_TRUE(TabTo(w->ZoomIn));
    Press(Qt::Key_Space);
    EXPECT_EQ(w->ECGChart4->accessibleName().toStdString(), "150 %");

    EscapeEveryDialog escape;
    const auto start = [](SkinPictureButton* command) {
        ASSERT_TRUE(TabTo(command)) << command->objectName().toStdString();
        Press(Qt::Key_Return);  // returns when its dialog has closed
    };
    for (SkinPictureButton* command : {w->Download, w->Settings, w->About, w->Account}) start(command);
    // Tick the recording for print, delete and upload.
    ASSERT_TRUE(TabTo(w->DataList));
    Press(Qt::Key_Space);
    ASSERT_EQ(w->DataList->currentItem()->checkState(0), Qt::Checked);
    for (SkinPictureButton* command : {w->Printer1, w->Delete, w->Upload}) start(command);
    // The engineering tool window (started with --engineering): F6 goes over to it, then Upgrade.
    w->ShowEngineeringControls();
    auto* upgrade = w->findChild<QPushButton*>("UpgradeBtn");
    ASSERT_TRUE(TabTo(w->DataList));
    Press(Qt::Key_F6);
    ASSERT_TRUE(TabTo(upgrade));
    Press(Qt::Key_F6);  // and back
    ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == w->DataList; }, 1000));
    Press(Qt::Key_F6);
    ASSERT_TRUE(TabTo(upgrade));
    Press(Qt::Key_Space);

    EXPECT_EQ(escape.opened.join(' ').toStdString(),
              "TDownload TSetting TAbout TIdPwd QPrintDialog TMessageBoxForm TUpload TUpgrade");
    // A dialog starts at a control of its own, never at its close cross (Enter would close it).
    for (const QString& focus : escape.firstFocus) {
        EXPECT_NE(focus.toStdString(), "(none)");
        EXPECT_NE(focus.toStdString(), "CloseBtn");
        EXPECT_NE(focus.toStdString(), "CloseImg");
    }
    EXPECT_EQ(escape.stuck.join(' ').toStdString(), "");
    EXPECT_TRUE(QFile::exists(recording)) << "Escape on the delete question kept the recording";
    w->close();
}

}  // namespace
