#include "dialogs/SkinPictureButton.h"

#include "lang/TextTable.h"
#include "lang/Words.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

SkinPictureButton::SkinPictureButton(QWidget* parent) : SkinPicture(parent, QColor(0, 0, 0, 0))
{
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void SkinPictureButton::setToolTipSlot(int slot)
{
    toolTipSlot_ = slot;
    setAccessibleName(slot >= 0 ? TextOf(slot) : QString());
}

void SkinPictureButton::makeDialogCloseCross()
{
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(WordOf(Word::WindowClose));
}

void SkinPictureButton::setLooks(const QString& normal, const QString& hovered, const QString& pressed)
{
    normal_ = normal;
    hovered_ = hovered;
    pressed_ = pressed;
    setPicture(down_ ? pressed_ : underMouse() ? hovered_ : normal_);
}

void SkinPictureButton::setLooksFrom(const QString& normalName)
{
    const qsizetype dot = normalName.lastIndexOf('.');
    const QString stem = dot < 0 ? normalName : normalName.left(dot);
    const QString ext = dot < 0 ? QString() : normalName.mid(dot);
    setLooks(normalName, stem + "-1" + ext, stem + "-2" + ext);
}

void SkinPictureButton::showHovered()
{
    if (toolTipSlot_ >= 0 && toolTip().isEmpty())
        setToolTip(TextOf(toolTipSlot_));
    if (!down_)
        setPicture(hovered_);
}

void SkinPictureButton::enterEvent(QEnterEvent*)
{
    showHovered();
}

void SkinPictureButton::mouseMoveEvent(QMouseEvent*)
{
    showHovered();
}

void SkinPictureButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    down_ = true;
    setPicture(pressed_);
}

void SkinPictureButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !down_)
        return;
    down_ = false;
    const bool inside = rect().contains(event->position().toPoint());
    setPicture(inside ? hovered_ : normal_);
    if (inside && isEnabled())
        emit clicked();
}

void SkinPictureButton::leaveEvent(QEvent*)
{
    setPicture(down_ ? pressed_ : normal_);
}

void SkinPictureButton::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) && !event->isAutoRepeat()) {
        if (isEnabled()) emit clicked();
        return;
    }
    SkinPicture::keyPressEvent(event);
}

void SkinPictureButton::focusInEvent(QFocusEvent* event)
{
    SkinPicture::focusInEvent(event);
    update();
}

void SkinPictureButton::focusOutEvent(QFocusEvent* event)
{
    SkinPicture::focusOutEvent(event);
    update();
}

void SkinPictureButton::paintEvent(QPaintEvent* event)
{
    SkinPicture::paintEvent(event);
    if (!hasFocus()) return;
    // The focus mark: a dotted frame just inside the picture, dark dots over a
    // white line, so that it shows on the white panel and on the dark title bar.
    QPainter p(this);
    const QRect frame = rect().adjusted(1, 1, -2, -2);
    p.setPen(QPen(Qt::white));
    p.drawRect(frame);
    QPen dots(QColor(14, 101, 112));
    dots.setStyle(Qt::DotLine);
    p.setPen(dots);
    p.drawRect(frame);
}
