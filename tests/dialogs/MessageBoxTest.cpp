// The message box: layout arithmetic, captions and result codes, the title
// rule, and the real box driven through its buttons and close picture.
#include "TestApp.h"
#include "dialogs/MDBase.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "lang/TextTable.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(MessageBoxLayoutTest, GeometryFollowsTheLongestLine)
{
    struct Case {
        QString text;
        int longest, width, height;
    };
    const Case cases[] = {
        {"Upload completed!", 17, 340, 175},               // 340 * 2 / 7 = 97, raised to 175
        {QString(60, 'x'), 60, 460, 175},                  // 131, raised
        {QString(100, 'x'), 100, 700, 200},
        {"Fail to connect to server, please try again later. \nerror code:00104.", 51, 406, 175},
        {"short\n" + QString(70, 'y') + "\nshort", 70, 520, 175},
        {"", 0, 340, 175},
    };
    for (const Case& c : cases) {
        const MessageBoxGeometry g = MessageBoxGeometryFor(c.text);
        EXPECT_EQ(g.longestLine, c.longest) << c.text.toStdString();
        EXPECT_EQ(g.width, c.width) << c.text.toStdString();
        EXPECT_EQ(g.height, c.height) << c.text.toStdString();
        EXPECT_EQ(g.panel, QRect(4, 27, c.width - 8, c.height - 69));
        EXPECT_EQ(g.msgWidth, c.width - 66);
    }
    EXPECT_EQ(MessageBoxGeometryFor("Upload completed!").panel.size(), QSize(332, 106));
    EXPECT_EQ(CentredTop(106, 32), 37);
    EXPECT_EQ(CentredTop(107, 15), 46);  // 53 - 7: each half cut toward zero
}

TEST(MessageBoxLayoutTest, ButtonsStandRightAlignedInTableOrder)
{
    const auto one = MessageBoxButtonPlaces(340, 175, {MsgButton::OK});
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0].rect, QRect(264, 143, 66, 22));

    const auto two = MessageBoxButtonPlaces(340, 175, {MsgButton::Cancel, MsgButton::OK});
    ASSERT_EQ(two.size(), 2);
    EXPECT_EQ(two[0].kind, MsgButton::OK);
    EXPECT_EQ(two[0].rect.left(), 192);
    EXPECT_EQ(two[1].kind, MsgButton::Cancel);
    EXPECT_EQ(two[1].rect.left(), 264);

    const auto all = MessageBoxButtonPlaces(
        900, 257, {MsgButton::Help, MsgButton::Yes, MsgButton::No, MsgButton::Retry});
    ASSERT_EQ(all.size(), 4);
    EXPECT_EQ(all[0].kind, MsgButton::Yes);
    EXPECT_EQ(all[3].kind, MsgButton::Help);
    EXPECT_EQ(all[3].rect, QRect(824, 225, 66, 22));
    EXPECT_EQ(all[0].rect.left(), 824 - 3 * 72);
}

TEST(MessageBoxLayoutTest, CaptionsResultCodesAndTitles)
{
    EXPECT_EQ(MsgResultCode(MsgButton::OK), 1);
    EXPECT_EQ(MsgResultCode(MsgButton::Cancel), 2);
    EXPECT_EQ(MsgResultCode(MsgButton::Yes), 6);
    EXPECT_EQ(MsgResultCode(MsgButton::YesToAll), 10);
    EXPECT_EQ(MsgResultCode(MsgButton::Help), 236);

    struct Case {
        int language;
        const char* ok;
        const char* cancel;
    };
    const Case cases[] = {
        {1033, "OK", "Cancel"},   {1034, "OK", "Cancel"},      {1031, "OK", "Abbrechen"},
        {1028, "確認", "取消"},   {1055, "TAMAM", "İptal"},    {1049, "OK", "Отмена"},
        {1026, "OK", "Отказ"},    {1032, "OK", "Άκυρο"},       {2074, "OK", "Otkaži"},
        {1051, "OK", "Zrušiť"},   {1043, "OK", "Annul."},      {3082, "OK", "Cancelar"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MsgButtonCaption(MsgButton::OK, c.language), QString::fromUtf8(c.ok)) << c.language;
        EXPECT_EQ(MsgButtonCaption(MsgButton::Cancel, c.language), QString::fromUtf8(c.cancel)) << c.language;
    }
    EXPECT_EQ(MsgButtonCaption(MsgButton::NoToAll, 1033), "N&o to All");
    EXPECT_EQ(MsgButtonCaption(MsgButton::NoToAll, 1031), "NoToAll");
    EXPECT_EQ(MsgButtonCaption(MsgButton::Yes, 1040), "Yes");
    EXPECT_EQ(MsgButtonCaption(MsgButton::YesToAll, 1028), QString::fromUtf8("全部為 '是'"));
    // Every language with a caption table captions its Cancel button with a word of its own.
    for (int id : {1031, 1026, 1050, 1029, 1030, 1043, 1035, 1036, 1032, 1038, 1040, 1044, 1045, 1046, 1048, 1049,
                   2074, 1051, 3082, 1055, 1053, 1060})
        EXPECT_NE(MsgButtonCaption(MsgButton::Cancel, id), "Cancel") << id;

    EXPECT_EQ(MsgDefaultTitle(MsgKind::Information, 1033), "Information");
    EXPECT_EQ(MsgDefaultTitle(MsgKind::Warning, 1031), "Warning");
    EXPECT_EQ(MsgDefaultTitle(MsgKind::Error, 1028), QString::fromUtf8("錯誤"));
    EXPECT_TRUE(MsgDefaultTitle(MsgKind::Plain, 1033).isEmpty());
}

TEST(BaseFormTest, FitFramePlacesEveryPiece)
{
    const BaseFrameGeometry g = FrameGeometryFor(340, 175);
    EXPECT_EQ(g.closeImg, QRect(316, 5, 18, 18));
    EXPECT_EQ(g.topImg, QRect(4, 0, 333, 4));
    EXPECT_EQ(g.rightImg, QRect(337, 4, 3, 168));
    EXPECT_EQ(g.rightBottomCorner, QRect(337, 172, 3, 3));
    EXPECT_EQ(g.bottomImg, QRect(4, 172, 333, 3));
    EXPECT_EQ(g.titleBg, QRect(1, 4, 338, 23));

    TestApp();
    TBaseForm form;
    EXPECT_TRUE(form.title().isEmpty());
    form.FitFrame(340, 175);
    EXPECT_EQ(form.size(), QSize(340, 175));
    EXPECT_EQ(form.CloseImg->geometry(), g.closeImg);
    EXPECT_EQ(form.LeftBottomCorner->geometry(), QRect(0, 172, 4, 3));
    EXPECT_EQ(form.TitleLic->geometry(), QRect(8, 8, 5, 10));
}

class MessageBoxFormTest : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
    void TearDown() override { TMessageBoxForm::setModalRunner({}); }
};

TEST_F(MessageBoxFormTest, LaysOutCaptionsAndAnswersByButton)
{
    TMessageBoxForm box;
    QStringList captions;
    QRect okRect, panel;
    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& b) {
        for (QPushButton* p : b.buttons())
            captions << p->text();
        okRect = b.button(MsgButton::OK)->geometry();
        panel = b.Panel1->geometry();
        b.clickButton(MsgButton::Cancel);
    });
    EXPECT_EQ(box.ShowMessageBox("Delete the ticked recordings?", MsgKind::Information, 1031,
                                 {MsgButton::OK, MsgButton::Cancel}),
              2);
    EXPECT_EQ(captions, QStringList({"OK", "Abbrechen"}));
    EXPECT_EQ(okRect, QRect(192, 143, 66, 22));
    EXPECT_EQ(panel, QRect(4, 27, 332, 106));
    EXPECT_EQ(box.size(), QSize(340, 175));
    EXPECT_TRUE(box.buttons().isEmpty());  // the buttons of a showing go with it
    EXPECT_EQ(box.findChildren<QPushButton*>().size(), 0);

    TMessageBoxForm::setModalRunner([](TMessageBoxForm& b) { b.clickButton(MsgButton::OK); });
    EXPECT_EQ(box.ShowMessageBox("Again", MsgKind::Information, 1028, {MsgButton::OK, MsgButton::Cancel}), 1);
    EXPECT_EQ(TMessageBoxForm::resultCode(), 1);
}

TEST_F(MessageBoxFormTest, TitleOfTheFirstShowingStays)
{
    TMessageBoxForm box;
    TMessageBoxForm::setModalRunner([](TMessageBoxForm& b) { b.clickButton(MsgButton::OK); });
    box.ShowMessageBox("one", MsgKind::Information, 1033, {MsgButton::OK});
    EXPECT_EQ(box.title(), "Information");
    box.ShowMessageBox("two", MsgKind::Warning, 1028, {MsgButton::OK});
    EXPECT_EQ(box.title(), "Information");
    EXPECT_EQ(box.MsgImg->pictureName(), "image\\inMain_ic-warry.bmp");
}

TEST_F(MessageBoxFormTest, PictureAndTextPositionsByKind)
{
    TMessageBoxForm box;
    int msgLeft = 0, imgTop = 0;
    bool imgVisible = false;
    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& b) {
        msgLeft = b.Msg->x();
        imgTop = b.MsgImg->y();
        imgVisible = !b.MsgImg->isHidden();
        b.clickButton(MsgButton::OK);
    });
    box.ShowMessageBox("Upload completed!", MsgKind::Information, 1033, {MsgButton::OK});
    EXPECT_EQ(msgLeft, 80);
    EXPECT_EQ(imgTop, 37);  // 106 / 2 - 32 / 2
    EXPECT_TRUE(imgVisible);
    EXPECT_EQ(box.MsgImg->pictureName(), "image\\inMain_ic-info.bmp");
    box.ShowMessageBox("plain", MsgKind::Plain, 1033, {MsgButton::OK});
    EXPECT_EQ(msgLeft, 48);
    EXPECT_FALSE(imgVisible);
    box.ShowMessageBox("info again", MsgKind::Information, 1033, {MsgButton::OK});
    EXPECT_EQ(msgLeft, 80);
    EXPECT_TRUE(imgVisible);
}

TEST_F(MessageBoxFormTest, LongTextWrapsInsideThePanel)
{
    TMessageBoxForm box;
    QRect msg, panel;
    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& b) {
        msg = b.Msg->geometry();
        panel = b.Panel1->rect();
        b.clickButton(MsgButton::OK);
    });
    box.ShowMessageBox(QString("word ").repeated(30).trimmed(), MsgKind::Information, 1033, {MsgButton::OK});
    EXPECT_LE(msg.right(), panel.right());
    EXPECT_GT(msg.height(), 0);
    EXPECT_LE(msg.bottom(), panel.bottom());
}

TEST_F(MessageBoxFormTest, TextWrapsAtThePanelsRightEdge)
{
    TMessageBoxForm box;
    QRect msg, panel;
    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& b) {
        msg = b.Msg->geometry();
        panel = b.Panel1->rect();
        b.clickButton(MsgButton::OK);
    });
    box.ShowMessageBox("Upload completed!", MsgKind::Information, 1033, {MsgButton::OK});
    EXPECT_EQ(msg.left(), 80);
    EXPECT_EQ(msg.width(), 340 - 88);
    EXPECT_EQ(msg.left() + msg.width(), panel.width());
    // Without the picture the text starts further left and wraps at W - 66.
    box.ShowMessageBox("Upload completed!", MsgKind::Plain, 1033, {MsgButton::OK});
    EXPECT_EQ(msg.left(), 48);
    EXPECT_EQ(msg.width(), 340 - 66);
}

// Messages of the program that fit on one line up to the panel's edge must not
// break for want of the last few pixels.
TEST_F(MessageBoxFormTest, OneLineMessagesStayOnOneLine)
{
    struct Case {
        int languageId;
        int slot;
    };
    const Case cases[] = {
        {1033, 145}, {1033, 151}, {1033, 164}, {1033, 166}, {1031, 145}, {1031, 151}, {1028, 151},
    };
    TMessageBoxForm box;
    for (const Case& c : cases) {
        TextTable table;
        table.SelectLanguage(c.languageId);
        const QString text = table.text(c.slot);
        int lines = 0, textWidth = 0;
        TMessageBoxForm::setModalRunner([&](TMessageBoxForm& b) {
            const QFontMetrics fm(b.Msg->font());
            lines = (b.Msg->height() + fm.leading()) / fm.lineSpacing();
            textWidth = fm.horizontalAdvance(text);
            EXPECT_LE(textWidth, b.Msg->width()) << c.slot;  // the case is one that fits
            b.clickButton(MsgButton::OK);
        });
        box.ShowMessageBox(text, MsgKind::Information, c.languageId, {MsgButton::OK});
        EXPECT_EQ(lines, 1) << c.languageId << " slot " << c.slot << " (" << textWidth << " pixels)";
    }
}

TEST_F(MessageBoxFormTest, ManyLinesGrowTheBoxInsteadOfBeingCut)
{
    TMessageBoxForm box;
    QRect msg, panel;
    QSize size;
    int buttonBottom = 0;
    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& b) {
        msg = b.Msg->geometry();
        panel = b.Panel1->rect();
        size = b.size();
        buttonBottom = b.findChild<QPushButton*>()->geometry().bottom();
        b.clickButton(MsgButton::OK);
    });
    QStringList lines;
    for (int i = 0; i < 13; ++i)
        lines << QString("Line %1 : value").arg(i);
    box.ShowMessageBox(lines.join('\n'), MsgKind::Information, 1033, {MsgButton::OK});
    EXPECT_GE(msg.top(), 0);
    EXPECT_LE(msg.bottom(), panel.bottom());
    EXPECT_GE(msg.height(), 13 * QFontMetrics(box.Msg->font()).lineSpacing());
    EXPECT_GT(size.height(), 175);
    EXPECT_LT(buttonBottom, size.height());  // the buttons moved down with the box
}

TEST_F(MessageBoxFormTest, CloseButtonAndEscapeAnswerCancel)
{
    TMessageBoxForm box;
    TMessageBoxForm::setModalRunner([](TMessageBoxForm& b) { b.clickButton(MsgButton::OK); });
    ASSERT_EQ(box.ShowMessageBox("a", MsgKind::Information, 1033, {MsgButton::OK}), 1);

    TMessageBoxForm::setModalRunner([](TMessageBoxForm& b) { emit b.CloseImg->clicked(); });
    EXPECT_EQ(box.ShowMessageBox("b", MsgKind::Information, 1033, {MsgButton::Yes, MsgButton::No}), 2);

    // The real modal wait: a click answers; Escape counts as the close button and
    // must not return the answer left over from the earlier box.
    TMessageBoxForm::setModalRunner({});
    QTimer::singleShot(0, &box, [&box] { box.button(MsgButton::OK)->click(); });
    ASSERT_EQ(box.ShowMessageBox("c", MsgKind::Information, 1033, {MsgButton::OK, MsgButton::Cancel}), 1);
    QTimer::singleShot(0, &box, [&box] {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&box, &esc);
    });
    EXPECT_EQ(box.ShowMessageBox("d", MsgKind::Information, 1033, {MsgButton::OK}), 2);
}

}  // namespace
