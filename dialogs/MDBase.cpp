#include "dialogs/MDBase.h"

#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SkinStyle.h"
#include "dialogs/SkinWindowDrag.h"

#include <QLabel>
#include <QPainter>

BaseFrameGeometry FrameGeometryFor(int w, int h)
{
    BaseFrameGeometry g;
    g.titleMsg = QPoint(20, 6);
    g.closeImg = QRect(w - 24, 5, 18, 18);
    g.topLeftCorner = QRect(0, 0, 4, 4);
    g.topImg = QRect(4, 0, w - 7, 4);
    g.topRightCorner = QRect(w - 3, 0, 3, 4);
    g.leftImg = QRect(0, 4, 4, h - 7);
    g.rightImg = QRect(w - 3, 4, 3, h - 7);
    g.leftBottomCorner = QRect(0, h - 3, 4, 3);
    g.bottomImg = QRect(4, h - 3, w - 7, 3);
    g.rightBottomCorner = QRect(w - 3, h - 3, 3, 3);
    g.titleBg = QRect(1, 4, w - 2, 23);
    g.titleLic = QRect(8, 8, 5, 10);
    return g;
}

namespace {

// Frame colours used while a picture is missing: a slate edge and title bar.
const QColor kFrameFallback(70, 96, 120);

SkinPicture* FramePiece(QWidget* parent, const char* name, const char* picture)
{
    auto* piece = new SkinPicture(parent, kFrameFallback);
    piece->setObjectName(QLatin1String(name));
    piece->setPicture(QString::fromLatin1(picture));
    piece->markDecorative();
    return piece;
}

}  // namespace

TBaseForm::TBaseForm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    TitleBg = FramePiece(this, "TitleBg", "image\\inMain_titBG.bmp");
    TitleLic = FramePiece(this, "TitleLic", "image\\inMain_tit-Lic.bmp");
    TitleLic->setFallbackColour(QColor(255, 255, 255));
    TopLeftCorner = FramePiece(this, "TopLeftCorner", "image\\inMain_bord-01.bmp");
    TopImg = FramePiece(this, "TopImg", "image\\inMain_bord-02.bmp");
    TopRightCorner = FramePiece(this, "TopRightCorner", "image\\inMain_bord-03.bmp");
    LeftImg = FramePiece(this, "LeftImg", "image\\inMain_bord-04.bmp");
    RightImg = FramePiece(this, "RightImg", "image\\inMain_bord-05.bmp");
    LeftBottomCorner = FramePiece(this, "LeftBottomCorner", "image\\inMain_bord-07.bmp");
    BottomImg = FramePiece(this, "BottomImg", "image\\inMain_bord-08.bmp");
    RightBottomCorner = FramePiece(this, "RightBottomCorner", "image\\inMain_bord-09.bmp");

    // The skinned windows' own font (Tahoma 8 pt), not the desktop's: their
    // controls have fixed sizes, and button captions must fit them.
    setFont(SkinFont(font(), 8));

    TitleMsg = new QLabel(this);
    TitleMsg->setObjectName("TitleMsg");
    TitleMsg->setFont(SkinFont(font(), 9, true));
    TitleMsg->setStyleSheet("color: rgb(63, 63, 63);");
    TitleMsg->setAttribute(Qt::WA_TransparentForMouseEvents);  // presses reach the title bar below

    CloseImg = new SkinPictureButton(this);
    CloseImg->setObjectName("CloseImg");
    CloseImg->setLooksFrom("image\\UI-ic03.bmp");
    CloseImg->makeDialogCloseCross();
    connect(CloseImg, &SkinPictureButton::clicked, this, [this] { closeImgClick(); });

    EnableWindowDrag(TitleBg, this);
    EnableWindowDrag(TitleLic, this);
}

void TBaseForm::FitFrame(int width, int height)
{
    setFixedSize(width, height);
    const BaseFrameGeometry g = FrameGeometryFor(width, height);
    TitleMsg->move(g.titleMsg);
    TitleMsg->adjustSize();
    CloseImg->setGeometry(g.closeImg);
    TopLeftCorner->setGeometry(g.topLeftCorner);
    TopImg->setGeometry(g.topImg);
    TopRightCorner->setGeometry(g.topRightCorner);
    LeftImg->setGeometry(g.leftImg);
    RightImg->setGeometry(g.rightImg);
    LeftBottomCorner->setGeometry(g.leftBottomCorner);
    BottomImg->setGeometry(g.bottomImg);
    RightBottomCorner->setGeometry(g.rightBottomCorner);
    TitleBg->setGeometry(g.titleBg);
    TitleLic->setGeometry(g.titleLic);
}

void TBaseForm::setTitle(const QString& title)
{
    TitleMsg->setText(title);
    TitleMsg->adjustSize();
}

QString TBaseForm::title() const
{
    return TitleMsg->text();
}

void TBaseForm::setCanvasColour(QColor colour)
{
    canvas_ = colour;
    update();
}

void TBaseForm::closeImgClick()
{
    reject();
}

void TBaseForm::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), canvas_);
}
