#pragma once
#include "dialogs/SkinPicture.h"

// A picture that acts as a button with three looks: the plain picture, the
// hovered one while the mouse moves over it and the pressed one while a mouse
// button is down on it. Emits clicked() when the left button is released over it.
// An optional text-table slot gives its tool tip, fetched when the mouse first
// moves over it (so it follows the language chosen at start-up), and its
// accessible name. It takes focus with Tab, shows a dotted mark while it has
// it, and Space or Enter click it.
class SkinPictureButton : public SkinPicture {
    Q_OBJECT
public:
    explicit SkinPictureButton(QWidget* parent = nullptr);

    // Names of the three looks; the normal look is shown at once.
    void setLooks(const QString& normal, const QString& hovered, const QString& pressed);
    // Looks by the usual naming: "name.bmp", "name-1.bmp", "name-2.bmp".
    void setLooksFrom(const QString& normalName);
    void setToolTipSlot(int slot);
    // A dialog's close cross takes no keyboard focus: Escape closes the dialog,
    // and a dialog that opened with the focus on its cross would close on Enter
    // instead of starting its command.
    void makeDialogCloseCross();
    int toolTipSlot() const { return toolTipSlot_; }

    const QString& normalLook() const { return normal_; }
    const QString& hoveredLook() const { return hovered_; }
    const QString& pressedLook() const { return pressed_; }

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void showHovered();

    QString normal_, hovered_, pressed_;
    int toolTipSlot_ = -1;
    bool down_ = false;
};
