#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Every dialog and message box opens centred over the window it belongs to,
// kept on that window's screen. The place is set by the program itself
// before the box is shown: a window manager left to choose puts the
// program's frameless boxes wherever its own rule says, often a corner.
void CentreOver(QWidget* box, const QWidget* host);

// Where a box of boxSize goes: centred over the host, kept whole within area.
// hostFrame is what the window system reports for the host's frame, hostGeometry
// its inner rectangle.
QPoint CentredPlace(const QRect& hostFrame, const QRect& hostGeometry, const QSize& boxSize, const QRect& area);

// Installs the placement once for the whole program: every dialog with a
// parent is centred over its parent's window each time it is shown, and
// that window is made active again when the dialog closes and leaves no
// window active (so that the keyboard keeps working).
void PlaceDialogsOverTheirWindows();
