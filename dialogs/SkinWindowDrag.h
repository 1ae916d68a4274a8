#pragma once
class QWidget;

// A press of the left mouse button on `handle` moves `window` with the mouse:
// through the window manager's own move when the platform offers it, otherwise
// by following the mouse until the button is released. Used by the skinned
// windows, whose background or title picture stands in for a title bar.
void EnableWindowDrag(QWidget* handle, QWidget* window);
