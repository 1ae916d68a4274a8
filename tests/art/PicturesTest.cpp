#include "art/Pictures.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImageReader>
#include <QSize>

namespace {

struct Expected {
  const char* name;
  int width;
  int height;
};

// Every picture the program asks for, with the size its place in the windows
// or on the report needs.
const Expected kPictures[] = {
    // Main window
    {"mainBG.bmp", 1025, 660},
    {"UI-ic03.bmp", 19, 17}, {"UI-ic03-1.bmp", 19, 17}, {"UI-ic03-2.bmp", 19, 17},
    {"UI-ic02.bmp", 17, 17}, {"UI-ic02-1.bmp", 17, 17}, {"UI-ic02-2.bmp", 17, 17},
    {"Sys_icweb.bmp", 20, 20}, {"Sys_icweb-1.bmp", 20, 20}, {"Sys_icweb-2.bmp", 20, 20},
    {"Main_ic-download.bmp", 40, 40}, {"Main_ic-download-1.bmp", 40, 40}, {"Main_ic-download-2.bmp", 40, 40},
    {"Main_ic-settings.bmp", 40, 40}, {"Main_ic-settings-1.bmp", 40, 40}, {"Main_ic-settings-2.bmp", 40, 40},
    {"Main_ic-print.bmp", 40, 40}, {"Main_ic-print-1.bmp", 40, 40}, {"Main_ic-print-2.bmp", 40, 40},
    {"Main_ic-about.bmp", 40, 40}, {"Main_ic-about-1.bmp", 40, 40}, {"Main_ic-about-2.bmp", 40, 40},
    {"Main_ic-delete.bmp", 40, 40}, {"Main_ic-delete-1.bmp", 40, 40}, {"Main_ic-delete-2.bmp", 40, 40},
    {"Main_ic-upload.bmp", 40, 40}, {"Main_ic-upload-1.bmp", 40, 40}, {"Main_ic-upload-2.bmp", 40, 40},
    {"Main_ic-help.bmp", 40, 40}, {"Main_ic-help-1.bmp", 40, 40}, {"Main_ic-help-2.bmp", 40, 40},
    {"Main_ic-account.bmp", 40, 40}, {"Main_ic-account-1.bmp", 40, 40}, {"Main_ic-account-2.bmp", 40, 40},
    {"Tree-tit01.bmp", 224, 20}, {"Tree-tit02-2.bmp", 224, 20}, {"Tree-tit02-3.bmp", 224, 20},
    {"Tree-tit-ic01.bmp", 15, 14}, {"Tree-tit-ic01-1.bmp", 15, 14}, {"Tree-tit-ic01-2.bmp", 15, 14},
    {"Tree-tit-ic02.bmp", 15, 14}, {"Tree-tit-ic02-1.bmp", 15, 14}, {"Tree-tit-ic02-2.bmp", 15, 14},
    {"Tree-ic01.bmp", 20, 20}, {"Tree-ic02.bmp", 20, 20},
    {"connected.bmp", 23, 15}, {"disconnected.bmp", 23, 15},
    {"heart.bmp", 12, 10},
    // Dialog frame, title bar, message box, welcome, about and dialog backgrounds
    {"inMain_bord-01.bmp", 4, 4}, {"inMain_bord-02.bmp", 8, 4}, {"inMain_bord-03.bmp", 3, 4},
    {"inMain_bord-04.bmp", 4, 8}, {"inMain_bord-05.bmp", 3, 8}, {"inMain_bord-07.bmp", 4, 3},
    {"inMain_bord-08.bmp", 8, 3}, {"inMain_bord-09.bmp", 3, 3},
    {"inMain_titBG.bmp", 64, 23}, {"inMain_tit-Lic.bmp", 5, 10},
    {"inMain_ic-info.bmp", 32, 32}, {"inMain_ic-warry.bmp", 32, 32},
    {"welcome.bmp", 475, 255}, {"about.bmp", 300, 245},
    {"dlg-download.bmp", 440, 330}, {"fdownload.bmp", 440, 330}, {"dlg-settings.bmp", 440, 400},
    {"dlg-upload.bmp", 416, 330}, {"dlg-upgrade.bmp", 470, 390}, {"dlg-account.bmp", 320, 260},
    {"dlg-selectpath.bmp", 416, 500},
    {"Upload-ic01.bmp", 16, 16}, {"Upload-ic02.bmp", 16, 16},
    // Chart findings and viewer controls
    {"Wave-ic01.bmp", 45, 27}, {"Wave-ic01-1.bmp", 45, 27}, {"Wave-ic02.bmp", 45, 27},
    {"Wave-ic02-1.bmp", 45, 27}, {"Wave-ic03.bmp", 45, 27}, {"Wave-ic03-1.bmp", 45, 27},
    {"Wave-ic04.bmp", 45, 27}, {"Wave-ic04-1.bmp", 45, 27}, {"Wave-ic05.bmp", 45, 27},
    {"Wave-ic05-1.bmp", 45, 27}, {"Wave-ic06.bmp", 45, 27}, {"Wave-ic06-1.bmp", 45, 27},
    {"unstableSignals.bmp", 72, 14}, {"percentage.bmp", 40, 20},
    {"Graph_ic01.bmp", 20, 20}, {"Graph_ic01-1.bmp", 20, 20}, {"Graph_ic01-2.bmp", 20, 20},
    {"Graph_ic02.bmp", 20, 20}, {"Graph_ic02-1.bmp", 20, 20}, {"Graph_ic02-2.bmp", 20, 20},
    {"Graph_ic03.bmp", 20, 20}, {"Graph_ic03-1.bmp", 20, 20}, {"Graph_ic03-2.bmp", 20, 20},
    {"change-ecg color-g.bmp", 14, 14}, {"change-ecg color-g1.bmp", 14, 14}, {"change-ecg color-g2.bmp", 14, 14},
    {"change-ecg color-p.bmp", 14, 14}, {"change-ecg color-p1.bmp", 14, 14}, {"change-ecg color-p2.bmp", 14, 14},
    // Printed report
    {"logo.bmp", 600, 150}, {"Pos1.bmp", 200, 240}, {"Pos2.bmp", 200, 240}, {"Pos3.bmp", 200, 240},
    // Window icon
    {"icon-48.png", 48, 48}, {"icon-128.png", 128, 128}, {"icon-256.png", 256, 256},
};

QGuiApplication& App() {
  static int argc = 1;
  static char name[] = "test_art";
  static char* argv[] = {name, nullptr};
  // A 200 % screen, so that LoadPicture must pick the dense versions.
  qputenv("QT_SCALE_FACTOR", "2");
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  return *app;
}

TEST(Pictures, EveryPictureLoadsAtItsSizeAndTwiceThatAt200Percent) {
  for (const Expected& e : kPictures) {
    SCOPED_TRACE(e.name);
    const QString name = QStringLiteral("image\\") + QString::fromUtf8(e.name);
    const QImage image = LoadPictureImage(name);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(e.width, e.height));
    EXPECT_EQ(image.devicePixelRatio(), 1.0);

    const QImage dense = LoadPictureImageAtScale(name, 2);
    ASSERT_FALSE(dense.isNull());
    EXPECT_EQ(dense.size(), QSize(2 * e.width, 2 * e.height));
    EXPECT_EQ(dense.devicePixelRatio(), 2.0);
  }
}

TEST(Pictures, NamesAreFoundWithEitherSeparatorAPathPrefixOrOtherCase) {
  const QSize logo(600, 150);
  EXPECT_EQ(LoadPictureImage("image\\logo.bmp").size(), logo);
  EXPECT_EQ(LoadPictureImage("image/logo.bmp").size(), logo);
  EXPECT_EQ(LoadPictureImage("/opt/talmon/bin/image/logo.bmp").size(), logo);
  EXPECT_EQ(LoadPictureImage("C:\\Program Files\\Talmon\\image\\logo.bmp").size(), logo);
  EXPECT_EQ(LoadPictureImage("IMAGE\\LOGO.BMP").size(), logo);
  EXPECT_EQ(LoadPictureImageAtScale("image\\Logo.bmp", 2).size(), 2 * logo);
}

TEST(Pictures, UnknownNamesAndScalesGiveNull) {
  App();
  for (const char* name : {"", "logo.bmp", "image\\", "image\\nothing.bmp", "image\\logo.png",
                           "image\\sub/logo.bmp", "image\\logo@2x.bmp", "image\\UI-ic03-3.bmp"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(LoadPictureImage(name).isNull());
    EXPECT_TRUE(LoadPicture(name).isNull());
  }
  EXPECT_TRUE(LoadPictureImageAtScale("image\\logo.bmp", 3).isNull());
  EXPECT_TRUE(LoadPictureImageAtScale("image\\logo.bmp", 0).isNull());
}

TEST(Pictures, PixmapOnADenseScreenIsThe200PercentVersionAtThePictureSize) {
  ASSERT_EQ(App().devicePixelRatio(), 2.0);
  const QPixmap pixmap = LoadPicture("image\\connected.bmp");
  ASSERT_FALSE(pixmap.isNull());
  EXPECT_EQ(pixmap.size(), QSize(46, 30));
  EXPECT_EQ(pixmap.devicePixelRatio(), 2.0);
  EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), QSize(23, 15));
}

TEST(Pictures, LooksOfOneButtonDifferAndPicturesAreNotBlank) {
  // Three looks rendered from one source must really differ, and every
  // picture must draw something.
  const QImage normal = LoadPictureImage("image\\Graph_ic01.bmp");
  const QImage hovered = LoadPictureImage("image\\Graph_ic01-1.bmp");
  const QImage pressed = LoadPictureImage("image\\Graph_ic01-2.bmp");
  EXPECT_NE(normal, hovered);
  EXPECT_NE(hovered, pressed);
  EXPECT_NE(LoadPictureImage("image\\Wave-ic03.bmp"), LoadPictureImage("image\\Wave-ic03-1.bmp"));
  EXPECT_NE(LoadPictureImage("image\\change-ecg color-g.bmp"),
            LoadPictureImage("image\\change-ecg color-p.bmp"));
  for (const Expected& e : kPictures) {
    SCOPED_TRACE(e.name);
    const QImage image = LoadPictureImage(QStringLiteral("image/") + QString::fromUtf8(e.name));
    const QImage empty = [&] {
      QImage blank(image.size(), image.format());
      blank.fill(Qt::transparent);
      return blank;
    }();
    EXPECT_NE(image, empty);
  }
}

TEST(Pictures, ContentIsPngWhateverTheName) {
  QImageReader reader(QStringLiteral(":/image/logo.bmp"));
  reader.setDecideFormatFromContent(true);
  EXPECT_EQ(reader.format(), QByteArray("png"));
}

}  // namespace
