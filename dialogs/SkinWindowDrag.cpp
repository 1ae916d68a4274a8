#include "dialogs/SkinWindowDrag.h"

#include <QMouseEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace {

class WindowDragFilter : public QObject {
public:
    WindowDragFilter(QWidget* handle, QWidget* window) : QObject(handle), window_(window) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (!window_)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::LeftButton)
                return false;
            QWindow* handle = window_->windowHandle();
            if (handle && handle->startSystemMove())
                return true;
            offset_ = e->globalPosition().toPoint() - window_->pos();
            dragging_ = true;
            return true;
        }
        case QEvent::MouseMove:
            if (dragging_) {
                window_->move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - offset_);
                return true;
            }
            return false;
        case QEvent::MouseButtonRelease:
            if (dragging_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                dragging_ = false;
                return true;
            }
            return false;
        default:
            return false;
        }
    }

private:
    QPointer<QWidget> window_;
    QPoint offset_;
    bool dragging_ = false;
};

}  // namespace

void EnableWindowDrag(QWidget* handle, QWidget* window)
{
    handle->installEventFilter(new WindowDragFilter(handle, window));
}
