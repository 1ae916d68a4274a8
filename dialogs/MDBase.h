#pragma once
#include <QColor>
#include <QDialog>
#include <QRect>

class QLabel;
class SkinPicture;
class SkinPictureButton;

// Where FitFrame puts each piece of the skinned frame for a window of w x h pixels.
struct BaseFrameGeometry {
    QPoint titleMsg;  // the title text keeps the size of its text
    QRect closeImg;
    QRect topLeftCorner, topImg, topRightCorner;
    QRect leftImg, rightImg;
    QRect leftBottomCorner, bottomImg, rightBottomCorner;
    QRect titleBg, titleLic;
};
BaseFrameGeometry FrameGeometryFor(int width, int height);

// The skinned dialog frame: eight edge and corner pictures, a title bar with
// its mark, a title text and a close picture button, on a window without the
// system's border. Dragging the title bar moves the window; the close picture
// closes it (closeImgClick, which subclasses may change).
class TBaseForm : public QDialog {
    Q_OBJECT
public:
    explicit TBaseForm(QWidget* parent = nullptr);

    // Sizes the window to width x height pixels and places the frame for it.
    void FitFrame(int width, int height);

    void setTitle(const QString& title);
    QString title() const;
    void setCanvasColour(QColor colour);

    SkinPicture *TopLeftCorner, *TopImg, *TopRightCorner, *LeftImg, *RightImg, *RightBottomCorner, *BottomImg,
        *LeftBottomCorner, *TitleBg, *TitleLic;
    SkinPictureButton* CloseImg;
    QLabel* TitleMsg;

protected:
    virtual void closeImgClick();
    void paintEvent(QPaintEvent* event) override;

private:
    QColor canvas_{230, 230, 230};
};
