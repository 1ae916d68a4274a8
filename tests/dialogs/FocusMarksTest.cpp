// A window opened from the keyboard shows at once which control has the keyboard.
#include "TestApp.h"
#include "dialogs/FocusMarks.h"
#include "dialogs/MDAbout.h"
#include "lang/TextTable.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(FocusMarks, AWindowShowsItsFocusedControlFromTheStart)
{
    TestApp();
    TextTable::current().SelectLanguage(1033);
    ShowFocusMarksFromTheStart();
    TAbout about;
    about.show();
    about.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    ASSERT_EQ(QApplication::focusWidget(), about.OK);
    const QImage atOpen = about.OK->grab().toImage();
    // As a user who pressed Tab and came back sees it, with the mark.
    QTest::keyClick(about.OK, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), about.OK);
    EXPECT_EQ(about.OK->grab().toImage(), atOpen) << "the focus mark shows only after a Tab";
}
