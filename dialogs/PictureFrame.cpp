#include "dialogs/PictureFrame.h"

#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SkinStyle.h"
#include "dialogs/SkinWindowDrag.h"

#include <QDialog>
#include <QLabel>

PictureFrame BuildPictureFrame(QDialog* dialog, const char* name, QSize size, QColor canvas, const QString& picture,
                               QPoint titleAt, QPoint closeAt)
{
    dialog->setObjectName(QLatin1String(name));
    dialog->setFixedSize(size);
    dialog->setFont(SkinFont(dialog->font(), 8));

    PictureFrame frame{};
    frame.background = new SkinPicture(dialog, canvas);
    frame.background->setObjectName("BGImg");
    frame.background->setGeometry(QRect(QPoint(0, 0), size));
    frame.background->setPicture(picture);
    frame.background->markDecorative();
    EnableWindowDrag(frame.background, dialog);

    frame.title = MakeDialogLabel(dialog, "TitleLabel", titleAt, "color: white; font-weight: bold;");
    // Drags on the title text move the window like drags on the bar around it.
    frame.title->setAttribute(Qt::WA_TransparentForMouseEvents);

    frame.close = new SkinPictureButton(dialog);
    frame.close->setObjectName("CloseBtn");
    frame.close->setGeometry(QRect(closeAt, QSize(19, 17)));
    frame.close->setLooksFrom("image\\UI-ic03.bmp");
    frame.close->makeDialogCloseCross();
    return frame;
}

QLabel* MakeDialogLabel(QWidget* parent, const char* name, QPoint at, const QString& style)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->move(at);
    if (!style.isEmpty()) label->setStyleSheet(style);
    return label;
}
