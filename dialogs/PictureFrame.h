#pragma once
#include <QColor>
#include <QPoint>
#include <QSize>
#include <QString>

class QDialog;
class QLabel;
class QWidget;
class SkinPicture;
class SkinPictureButton;

// The frame of the dialogs whose whole window is one picture with a drawn title
// bar (download, settings, upload, upgrade): the picture, which moves the window
// when dragged, the white title text on its bar and the close picture button at
// the top right. The caller connects the button, because each dialog closes in
// its own way.
struct PictureFrame {
    SkinPicture* background;
    QLabel* title;
    SkinPictureButton* close;
};

// Names the dialog, fixes its size and skin font and builds the frame on it.
PictureFrame BuildPictureFrame(QDialog* dialog, const char* name, QSize size, QColor canvas, const QString& picture,
                               QPoint titleAt, QPoint closeAt);

// A label of a picture dialog, at its place, with an optional style.
QLabel* MakeDialogLabel(QWidget* parent, const char* name, QPoint at, const QString& style = QString());
