#include "app/DesktopOpener.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

DesktopOpener SystemDesktopOpener()
{
    DesktopOpener desktop;
    desktop.applicationFor = [](const QString& mimeType) -> std::optional<QString> {
        const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
        if (xdgMime.isEmpty())
            return std::nullopt;
        QProcess query;
        query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
        if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit) {
            query.kill();
            query.waitForFinished(1000);
            return std::nullopt;
        }
        return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    };
    desktop.open = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return desktop;
}

bool OpenWithDesktop(const QUrl& url, const DesktopOpener& desktop)
{
    if (url.isLocalFile()) {
        const QString path = url.toLocalFile();
        if (!QFileInfo(path).isFile())
            return false;
        if (desktop.applicationFor) {
            const std::optional<QString> program =
                desktop.applicationFor(QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name());
            if (program && program->isEmpty())
                return false;
        }
    }
    return desktop.open && desktop.open(url);
}
