#include "tools/cli/ServiceOptions.h"

#include "store/ProfileFile.h"

#include <QStandardPaths>

namespace cli {

OptionTaken TakeServiceOption(const QStringList& args, int& i, ServiceOptions& options)
{
    const QString& a = args[i];
    QString* text = a == "--server" ? &options.server
                    : a == "--settings" ? &options.settings
                    : a == "--account"  ? &options.account
                                        : nullptr;
    if (!text && a != "--timeout")
        return OptionTaken::NotMine;
    if (i + 1 >= args.size())
        return OptionTaken::Bad;
    const QString value = args[++i];
    if (text) {
        *text = value;
        return OptionTaken::Taken;
    }
    bool ok = false;
    options.timeoutSeconds = value.toInt(&ok);
    return ok && options.timeoutSeconds > 0 && options.timeoutSeconds <= 600 ? OptionTaken::Taken : OptionTaken::Bad;
}

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
