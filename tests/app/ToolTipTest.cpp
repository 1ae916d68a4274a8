// Tool tips appear when the mouse rests on a command or a finding picture, even
// while another window of the desktop is the active one (no window manager
// gives the window focus, or the user works elsewhere).
#include "SimulatedRecording.h"
#include "WindowFixture.h"
#include "dialogs/SkinPictureButton.h"

#include <QTest>
#include <QToolTip>

namespace {

class ToolTips : public WindowFixture {
protected:
    // Rests the mouse on `target`; the tip that shows, or "" when none does.
    static std::string TipAfterResting(QWidget* target)
    {
        QToolTip::hideText();
        WaitUntil([] { return !QToolTip::isVisible(); }, 2000);
        QTest::mouseMove(target, QPoint(target->width() / 2, target->height() / 2));
        QTest::mouseMove(target, QPoint(target->width() / 2 + 1, target->height() / 2));
        WaitUntil([] { return QToolTip::isVisible(); }, 3000);
        return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
    }
};

TEST_F(ToolTips, ShowOnCommandsAndFindingsOfAnInactiveWindow)
{
    StoreSimulatedRecording(state.paths.dataFolder);
    auto w = open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    ASSERT_TRUE(ClickFirstRecording(*w->DataList));
    ASSERT_FALSE(w->Slow->toolTip().isEmpty());

    // Another window takes the focus.
    QWidget elsewhere;
    elsewhere.setGeometry(1100, 0, 100, 100);
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    ASSERT_FALSE(w->isActiveWindow());

    EXPECT_EQ(TipAfterResting(w->Download), TextOf(17).toStdString());
    EXPECT_EQ(TipAfterResting(w->ZoomIn), TextOf(28).toStdString());
    EXPECT_EQ(TipAfterResting(w->Slow), w->Slow->toolTip().toStdString());
    QToolTip::hideText();
}

}  // namespace
