// The welcome and about windows, and the three looks of a picture button.
#include "TestApp.h"
#include "dialogs/MDAbout.h"
#include "dialogs/MDWelcome.h"
#include "dialogs/SkinPictureButton.h"
#include "lang/TextTable.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(WelcomeTest, FourTicksAddFourDotsAndClose)
{
    TestApp();
    TextTable::current().SelectLanguage(1033);
    TWelcome welcome(nullptr, 1);
    EXPECT_EQ(welcome.size(), QSize(475, 255));
    EXPECT_EQ(welcome.Timer1->interval(), 1);
    EXPECT_EQ(welcome.VerLabel->text(), "1.20.25");
    EXPECT_EQ(welcome.VersionLabel->text(), "Version:");
    EXPECT_EQ(welcome.exec(), QDialog::Accepted);  // closes itself
    EXPECT_EQ(welcome.ticks(), 4);
    EXPECT_EQ(welcome.InitLabel->text(), "Initialisation....");
    EXPECT_FALSE(welcome.Timer1->isActive());
    EXPECT_EQ(TWelcome(nullptr).Timer1->interval(), 500);
}

TEST(AboutTest, LayoutAndClosing)
{
    TestApp();
    TextTable::current().SelectLanguage(1033);
    TAbout about;
    EXPECT_EQ(about.size(), QSize(300, 245));
    EXPECT_EQ(about.TitleLabel->text(), "Info");
    EXPECT_EQ(about.VersionLabel->text(), "Version:");
    EXPECT_EQ(about.VerLabel->geometry(), QRect(238, 92, 36, 14));
    EXPECT_EQ(about.VerLabel->text(), "1.20.25");
    EXPECT_EQ(about.OK->geometry(), QRect(224, 215, 66, 22));
    EXPECT_EQ(about.OK->text(), "OK");
    EXPECT_EQ(about.CloseBtn->geometry(), QRect(277, 5, 19, 17));

    QTimer::singleShot(0, &about, [&about] { about.OK->click(); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
    QTimer::singleShot(0, &about, [&about] { emit about.CloseBtn->clicked(); });
    EXPECT_EQ(about.exec(), QDialog::Rejected);
}

TEST(AboutTest, BackgroundDragMovesTheWindow)
{
    TestApp();
    TAbout about;
    about.show();
    about.move(200, 150);
    const QPoint start = about.pos();
    const QPoint grab = about.mapToGlobal(QPoint(100, 150));
    const auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        QMouseEvent e(type, about.BGImage->mapFromGlobal(QPointF(global)), QPointF(global), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(about.BGImage, &e);
    };
    send(QEvent::MouseButtonPress, grab, Qt::LeftButton);
    send(QEvent::MouseMove, grab + QPoint(-15, 40), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grab + QPoint(-15, 40), Qt::NoButton);
    EXPECT_EQ(about.pos(), start + QPoint(-15, 40));
}

TEST(SkinPictureButtonTest, ThreeLooksAndClickOnlyWhenReleasedInside)
{
    TestApp();
    SkinPictureButton button;
    button.resize(19, 17);
    button.setLooksFrom("image\\UI-ic03.bmp");
    EXPECT_EQ(button.hoveredLook(), "image\\UI-ic03-1.bmp");
    EXPECT_EQ(button.pressedLook(), "image\\UI-ic03-2.bmp");
    int clicks = 0;
    QObject::connect(&button, &SkinPictureButton::clicked, [&] { ++clicks; });
    const auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(at), QPointF(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&button, &e);
    };
    mouse(QEvent::MouseMove, {5, 5}, Qt::NoButton);
    EXPECT_EQ(button.pictureName(), "image\\UI-ic03-1.bmp");
    mouse(QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
    EXPECT_EQ(button.pictureName(), "image\\UI-ic03-2.bmp");
    mouse(QEvent::MouseButtonRelease, {50, 50}, Qt::NoButton);  // dragged off: no click
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(button.pictureName(), "image\\UI-ic03.bmp");
    mouse(QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
    EXPECT_EQ(clicks, 1);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.pictureName(), "image\\UI-ic03.bmp");
}

}  // namespace
