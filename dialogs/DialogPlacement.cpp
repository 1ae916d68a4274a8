#include "dialogs/DialogPlacement.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace {

class DialogPlacer : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!watched->isWidgetType()) return false;
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (!dialog || !dialog->isWindow() || !dialog->parentWidget()) return false;
        if (event->type() == QEvent::Show) {
            // The show event comes before the window is mapped: a place set now is
            // the one the window system is asked for.
            CentreOver(dialog, dialog->parentWidget()->window());
        } else if (event->type() == QEvent::Hide) {
            // Without a window manager, or with one that does not hand the focus
            // back, the keyboard would reach no window once the dialog is gone.
            QPointer<QWidget> host = dialog->parentWidget()->window();
            QTimer::singleShot(0, host, [host] {
                if (host && host->isVisible() && !QApplication::activeWindow()) host->activateWindow();
            });
        }
        return false;
    }
};

}  // namespace

QPoint CentredPlace(const QRect& hostFrame, const QRect& hostGeometry, const QSize& boxSize, const QRect& area)
{
    // A window shown again before the window manager has framed it reports a
    // frame of a pixel at its corner; a frame never lies inside the window.
    const QRect& over = hostFrame.contains(hostGeometry) ? hostFrame : hostGeometry;
    QRect place(QPoint(0, 0), boxSize);
    place.moveCenter(over.center());
    if (area.isValid()) {
        place.moveLeft(std::max(area.left(), std::min(place.left(), area.right() + 1 - place.width())));
        place.moveTop(std::max(area.top(), std::min(place.top(), area.bottom() + 1 - place.height())));
    }
    return place.topLeft();
}

void CentreOver(QWidget* box, const QWidget* host)
{
    if (!box || !host) return;
    const QRect frame = host->isVisible() ? host->frameGeometry() : host->geometry();
    // Kept whole on the host's screen.
    const QScreen* screen = host->screen();
    box->move(CentredPlace(frame, host->geometry(), box->frameGeometry().size().expandedTo(box->size()),
                           screen ? screen->availableGeometry() : QRect()));
}

void PlaceDialogsOverTheirWindows()
{
    static DialogPlacer* placer = nullptr;
    if (placer || !qApp) return;
    placer = new DialogPlacer(qApp);
    qApp->installEventFilter(placer);
}
