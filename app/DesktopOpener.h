#pragma once
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// The desktop's "open" for a document or an address, as the program needs it.
struct DesktopOpener {
    // The program set up for a MIME type ("" when none is); nullopt when the desktop cannot tell.
    std::function<std::optional<QString>(const QString& mimeType)> applicationFor;
    // Hands the address to the desktop; false when it refuses.
    std::function<bool(const QUrl&)> open;
};

// The desktop's own: xdg-mime for the program of a type, QDesktopServices to open.
DesktopOpener SystemDesktopOpener();

// Opens the address. A local file must exist and have a program set up for its
// type: the desktop would otherwise start its opener, which fails where nobody
// sees it, and report success. Other addresses (a web page) go to the desktop as they are.
bool OpenWithDesktop(const QUrl& url, const DesktopOpener& desktop);
