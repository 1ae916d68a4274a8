// The main window driven by the keyboard alone: every picture command takes
// focus with Tab, shows it, and starts with Space or Enter; the note gives Tab
// back to the window.
#include "SimulatedRecording.h"
#include "WindowFixture.h"
#include "dialogs/SkinPictureButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

class Keyboard : public WindowFixture {
protected:
    // Presses Tab until `target` has focus; false after a full round without it.
    static bool TabTo(QWidget& window, QWidget* target)
    {
        for (int i = 0; i < 80 && QApplication::focusWidget() != target; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, Qt::Key_Tab);
        return QApplication::focusWidget() == target;
    }
};

TEST_F(Keyboard, PictureCommandsAreReachedShownAndStartedByKeys)
{
    auto w = open();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->DataList->setFocus();

    for (SkinPictureButton* b : {w->Download, w->Settings, w->Printer1, w->About, w->Delete}) {
        ASSERT_TRUE(TabTo(*w, b)) << b->objectName().toStdString();
        EXPECT_FALSE(b->accessibleName().isEmpty()) << b->objectName().toStdString();
        EXPECT_EQ(b->accessibleName(), TextOf(b->toolTipSlot()));
        // The focus mark: the picture with focus differs from the one without.
        const QImage focused = b->grab().toImage();
        w->DataList->setFocus();
        EXPECT_NE(b->grab().toImage(), focused) << b->objectName().toStdString();
        b->setFocus(Qt::TabFocusReason);
    }

    // Space and Enter both start a command: About opens its window each time.
    int opened = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++opened;
            dialog->reject();
        }
    });
    closer.start(20);
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
        w->About->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w->About, key);
    }
    closer.stop();
    EXPECT_EQ(opened, 2);
}

// A Tab stop that is no control (the chart's box, which never has anything to
// scroll) shows no mark: the user's next key goes somewhere they cannot see.
TEST_F(Keyboard, EveryTabStopIsAControl)
{
    auto w = open();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->Memo1->setEnabled(true);
    w->DataList->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 40; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        const bool control = qobject_cast<QAbstractButton*>(focus) || qobject_cast<SkinPictureButton*>(focus) ||
                             focus == w->DataList || focus == w->Memo1;
        EXPECT_TRUE(control) << focus->objectName().toStdString();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
}

TEST_F(Keyboard, TheDataListShowsTheFocusWhenTabReachesIt)
{
    auto w = open();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->Download->setFocus(Qt::TabFocusReason);
    const QImage without = w->DataList->grab().toImage();
    ASSERT_TRUE(TabTo(*w, w->DataList));
    EXPECT_NE(w->DataList->grab().toImage(), without);
    EXPECT_NE(w->DataList->currentItem(), nullptr);
}

TEST_F(Keyboard, TabLeavesTheNoteAndCtrlTabTypesATab)
{
    auto w = open();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QPlainTextEdit* note = w->Memo1;
    note->setEnabled(true);
    note->setFocus(Qt::TabFocusReason);
    QTest::keyClick(note, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(note->toPlainText(), "\t");
    QTest::keyClick(note, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), note);
    EXPECT_EQ(note->toPlainText(), "\t");
}

// The keyboard starts in the data list, not on the window's close button (where the
// first Enter or Space would end the program), and Tab goes through the window as it
// reads: the list and its note, the chart's controls, the command row, and only then
// the window's own minimise and close.
TEST_F(Keyboard, TheKeyboardStartsInTheDataListAndTabFollowsTheWindow)
{
    StoreSimulatedRecording(state.paths.dataFolder);
    auto w = open();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    EXPECT_EQ(QApplication::focusWidget(), w->DataList);
    EXPECT_NE(w->DataList->currentItem(), nullptr) << "the list has the keyboard but shows no mark";

    ASSERT_TRUE(ClickFirstRecording(*w->DataList));
    ASSERT_TRUE(WaitUntil([&] { return w->ZoomIn->isVisible() && w->Memo1->isEnabled(); }, 3000));
    w->Account->show();  // the service's commands, as demo mode shows them
    w->Upload->show();
    const QList<QWidget*> expected = {w->DataList, w->CtlImg,    w->Memo1,    w->ZoomOut,  w->ZoomIn,
                                      w->Recover,  w->ECGColor,  w->Account,  w->Upload,   w->Download,
                                      w->Settings, w->Printer1,  w->About,    w->Delete,   w->MinBtn,
                                      w->CloseBtn, w->DataList};
    w->DataList->setFocus(Qt::TabFocusReason);
    QList<QWidget*> visited = {QApplication::focusWidget()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget();
    }
    const auto names = [](const QList<QWidget*>& ws) {
        QStringList n;
        for (QWidget* x : ws) n << (x ? x->objectName() : QStringLiteral("(none)"));
        return n.join(' ').toStdString();
    };
    EXPECT_EQ(names(visited), names(expected));
}

}  // namespace
