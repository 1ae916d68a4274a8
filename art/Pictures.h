#pragma once
#include <QImage>
#include <QPixmap>
#include <QString>

// Finds a user-interface picture by the name the program uses, such as
// "image\\logo.bmp" or "image/logo.bmp" (a leading program-folder path is
// ignored; letters may differ in case, as on the recorder's home platform).
// The pictures are rendered at build time and embedded.

// For the screen: the 200 % version on high-density screens (device pixel
// ratio 2), else the 100 % one; its device-independent size is always the
// picture's own size. Null when no picture has that name.
QPixmap LoadPicture(const QString& name);

// The 100 % version: width and height in pixels are the picture's own size.
// Null when no picture has that name.
QImage LoadPictureImage(const QString& name);

// The version for scale 1 (100 %) or 2 (200 %, twice the width and height,
// device pixel ratio 2). Null for an unknown name or another scale.
QImage LoadPictureImageAtScale(const QString& name, int scale);
