#pragma once
#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

// A user-interface picture stretched to the control's size, found by the name
// the program uses ("image\\mainBG.bmp"). When no such picture exists it paints
// its fallback colour instead, so the window still looks whole.
class SkinPicture : public QWidget {
    Q_OBJECT
public:
    explicit SkinPicture(QWidget* parent = nullptr, QColor fallback = QColor(240, 240, 240));

    void setPicture(const QString& name);
    // A drawing surface instead of a named picture: shown at its own size from
    // the top-left corner (a chart bitmap may be smaller than its control).
    void setSurface(const QPixmap& surface);
    const QString& pictureName() const { return name_; }
    bool hasPixmap() const { return !pixmap_.isNull(); }
    void setFallbackColour(QColor colour);
    // A picture that only decorates (a background, a title bar, an ornament)
    // needs no accessible name; every other picture is named after what it shows.
    void markDecorative() { decorative_ = true; }
    bool isDecorative() const { return decorative_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString name_;
    QPixmap pixmap_;
    QPixmap surface_;
    QColor fallback_;
    bool decorative_ = false;
};
