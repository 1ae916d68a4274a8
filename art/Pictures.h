#pragma once
#include <QImage>
#include <QPixmap>
#include <QString>

// Finds a user-interface picture by the name the program uses, such as
// "image\\logo.bmp" or "image/logo.bmp". The pictures are rendered at build
// time and embedded; a 200 % version is picked up on high-density screens.
// Returns a null pixmap when no picture has that name.
QPixmap LoadPicture(const QString& name);
QImage LoadPictureImage(const QString& name);
