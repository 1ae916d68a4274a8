#include "tools/cli/ServiceOptions.h"

#include "store/ProfileFile.h"

#include <QStandardPaths>

namespace cli {

QString SettingsFolder(const QString& given)
{
    if (!given.isEmpty()) return given;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/talmon");
}

bool ServiceAddress(const QString& server, const ProfileFile& heartlet, QString* host, quint16* port, QTextStream& err)
{
    const QString given = server.isEmpty() ? heartlet.readString(QStringLiteral("INFO"), QStringLiteral("HOST_NAME")) : server;
    *host = given;
    const qsizetype colon = given.lastIndexOf(QLatin1Char(':'));
    if (colon > 0) {
        bool ok = false;
        const uint p = given.mid(colon + 1).toUInt(&ok);
        if (!ok || p == 0 || p > 65535) {
            err << "Bad server \"" << given << "\".\n";
            return false;
        }
        *host = given.left(colon);
        *port = static_cast<quint16>(p);
    }
    if (host->isEmpty()) {
        err << "No server: give --server or set HOST_NAME in " << heartlet.path() << ".\n";
        return false;
    }
    return true;
}

}  // namespace cli
