#include "dialogs/SkinPicture.h"

#include "art/Pictures.h"

#include <QPainter>

SkinPicture::SkinPicture(QWidget* parent, QColor fallback) : QWidget(parent), fallback_(fallback) {}

void SkinPicture::setPicture(const QString& name)
{
    if (name == name_)
        return;
    name_ = name;
    pixmap_ = name.isEmpty() ? QPixmap() : LoadPicture(name);
    surface_ = QPixmap();
    update();
}

void SkinPicture::setSurface(const QPixmap& surface)
{
    name_.clear();
    pixmap_ = QPixmap();
    surface_ = surface;
    update();
}

void SkinPicture::setFallbackColour(QColor colour)
{
    fallback_ = colour;
    update();
}

void SkinPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!surface_.isNull()) {
        painter.drawPixmap(0, 0, surface_);
    } else if (!pixmap_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), pixmap_);
    } else if (fallback_.isValid() && fallback_.alpha() > 0) {
        painter.fillRect(rect(), fallback_);
    }
    if (!isEnabled())
        painter.fillRect(rect(), QColor(255, 255, 255, 140));  // a dimmed look for disabled buttons
}
