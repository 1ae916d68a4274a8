// Measuring a window's texts against the room of their controls.
#include "TestApp.h"
#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SlotText.h"
#include "lang/TextTable.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QStyle>
#include <QLabel>
#include <QPushButton>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

TextFit FitOf(const QList<TextFit>& fits, const QString& control)
{
    for (const TextFit& f : fits)
        if (f.control == control)
            return f;
    ADD_FAILURE() << "no measure of " << control.toStdString();
    return {};
}

TEST(SlotText, RoomEndsAtTheNeighbourOnTheLineOrAtTheOwnWidth)
{
    TestApp();
    TextTable::current().SelectLanguage(1033);
    QWidget window;
    window.resize(300, 100);
    auto* backdrop = new SkinPicture(&window, Qt::gray);  // under the caption: not a neighbour
    backdrop->setGeometry(0, 0, 300, 30);
    auto* caption = new QLabel(&window);
    caption->setObjectName("caption");
    caption->move(10, 5);
    ShowSlotText(caption, 89, TextSizing::FollowsText);
    caption->adjustSize();
    auto* neighbour = new SkinPicture(&window, Qt::red);
    neighbour->setGeometry(120, 2, 20, 20);
    auto* hidden = new SkinPicture(&window, Qt::red);  // hidden: takes no room
    hidden->setGeometry(60, 2, 20, 20);
    hidden->hide();
    auto* below = new SkinPicture(&window, Qt::red);  // another line: takes no room
    below->setGeometry(40, 60, 20, 20);

    auto* fixed = new QLabel(&window);
    fixed->setObjectName("fixed");
    fixed->setGeometry(10, 40, 50, 14);
    ShowSlotText(fixed, 78, TextSizing::Fixed, {}, "....");

    auto* later = new QLabel(&window);  // shows its text later, empty now
    later->setObjectName("later");
    later->move(150, 5);
    NoteSlotText(later, 2, TextSizing::FollowsText);

    auto* button = new QPushButton("&Cancel", &window);
    button->setObjectName("button");
    button->setGeometry(200, 70, 66, 22);

    auto* picture = new SkinPictureButton(&window);
    picture->setObjectName("picture");
    picture->setGeometry(270, 70, 20, 20);
    picture->setToolTipSlot(17);

    const QList<TextFit> fits = MeasureSlotTexts(window);
    EXPECT_EQ(fits.size(), 5);

    const TextFit c = FitOf(fits, "caption");
    EXPECT_EQ(c.slot, 89);
    EXPECT_EQ(c.text, "Connection status:");
    const int advance = QFontMetrics(caption->font()).horizontalAdvance("Connection status:");
    EXPECT_GT(c.width, advance - 3);  // the letters' ink, without the blank after the colon
    EXPECT_LE(c.width, advance);
    EXPECT_EQ(c.room, 110);

    const TextFit f = FitOf(fits, "fixed");
    EXPECT_EQ(f.text, "Initialisation....");
    EXPECT_EQ(f.room, 50);
    EXPECT_FALSE(f.fits());

    const TextFit l = FitOf(fits, "later");
    EXPECT_EQ(l.text, "Recorded on");
    EXPECT_TRUE(later->text().isEmpty());
    EXPECT_EQ(l.room, 150);  // to the window's edge

    const TextFit b = FitOf(fits, "button");
    EXPECT_EQ(b.slot, -1);
    EXPECT_EQ(b.text, "Cancel");
    EXPECT_EQ(b.room, 58);
    EXPECT_TRUE(b.fits());

    const TextFit t = FitOf(fits, "picture tool tip");
    EXPECT_EQ(t.text, "Download");
    EXPECT_EQ(t.room, 300);
    EXPECT_GT(t.width, QFontMetrics(QToolTip::font()).horizontalAdvance("Download") - 3);
    EXPECT_TRUE(t.fits());
}

// A check box's caption starts after its indicator; a group title is drawn
// bold, inset from both edges of its frame.
TEST(SlotText, CheckBoxLeavesRoomForItsIndicatorAndGroupTitlesAreBold)
{
    TestApp();
    TextTable::current().SelectLanguage(1033);
    QWidget window;
    window.resize(300, 100);
    auto* check = new QCheckBox(&window);
    check->setObjectName("check");
    check->setGeometry(10, 5, 120, 20);
    ShowSlotText(check, 41, TextSizing::Fixed);
    auto* group = new QGroupBox(&window);
    group->setObjectName("group");
    group->setGeometry(10, 40, 200, 50);
    ShowSlotText(group, 53, TextSizing::Fixed);

    const QList<TextFit> fits = MeasureSlotTexts(window);
    const TextFit c = FitOf(fits, "check");
    EXPECT_EQ(check->text(), c.text);
    const int indicator = check->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check) +
                          check->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, check);
    EXPECT_GT(indicator, 0);
    EXPECT_EQ(c.room, 120 - indicator);

    const TextFit g = FitOf(fits, "group");
    EXPECT_EQ(group->title(), g.text);
    EXPECT_EQ(g.room, 200 - 26);
    QFont bold = group->font();
    bold.setBold(true);
    EXPECT_GT(g.width, QFontMetrics(group->font()).horizontalAdvance(g.text));
    EXPECT_LE(g.width, QFontMetrics(bold).horizontalAdvance(g.text));
}

}  // namespace
