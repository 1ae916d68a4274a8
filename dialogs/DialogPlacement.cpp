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

void CentreOver(QWidget* box, const QWidget* host)
{
    if (!box || !host) return;
    const QRect over = host->isVisible() ? host->frameGeometry() : host->geometry();
    QRect place(QPoint(0, 0), box->frameGeometry().size());
    place.moveCenter(over.center());
    // Kept whole on the host's screen.
    if (const QScreen* screen = host->screen()) {
        const QRect area = screen->availableGeometry();
        place.moveLeft(std::max(area.left(), std::min(place.left(), area.right() + 1 - place.width())));
        place.moveTop(std::max(area.top(), std::min(place.top(), area.bottom() + 1 - place.height())));
    }
    box->move(place.topLeft());
}

void PlaceDialogsOverTheirWindows()
{
    static DialogPlacer* placer = nullptr;
    if (placer || !qApp) return;
    placer = new DialogPlacer(qApp);
    qApp->installEventFilter(placer);
}
