#include "app/TerminationClose.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <csignal>

namespace {

// Log-out while a box is open over the window: the box and the window close,
// so the program ends instead of waiting for someone to answer the box.
TEST(TerminationClose, ClosesTheOpenDialogsAndThenTheWindow)
{
    QWidget window;
    window.show();
    CloseOnTermination(window);
    int dialogResult = -1;
    bool windowVisibleWhenDialogEnded = false;
    QTimer::singleShot(0, &window, [&] {
        QDialog outer(&window);
        QTimer::singleShot(50, &outer, [&] {
            QDialog inner(&outer);
            QTimer::singleShot(50, &inner, [] { std::raise(SIGTERM); });
            inner.exec();
        });
        dialogResult = outer.exec();
        windowVisibleWhenDialogEnded = window.isVisible();
    });
    // Without the dialogs closed for it the nested loops would wait for ever:
    // answer them after a while so that the test ends and fails.
    QTimer::singleShot(3000, &window, [] {
        while (QWidget* open = QApplication::activeModalWidget()) open->close();
    });
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(5000);
    while (guard.isActive() && (dialogResult == -1 || window.isVisible()))
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    EXPECT_EQ(dialogResult, QDialog::Rejected);
    EXPECT_TRUE(windowVisibleWhenDialogEnded) << "the window closed before the dialogs over it";
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
