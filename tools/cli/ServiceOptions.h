#pragma once
#include <QString>
#include <QStringList>
#include <QTextStream>

class ProfileFile;

namespace cli {

// The options every command that talks to the web service takes.
struct ServiceOptions {
    QString server;        // --server HOST[:PORT]
    QString settings;      // --settings DIR
    QString account;       // --account NAME
    int timeoutSeconds = 0;  // --timeout S, 1 to 600; 0: the command's own limits
};

enum class OptionTaken { NotMine, Taken, Bad };

// Takes args[i] (and its value, advancing i) when it is one of the service options.
OptionTaken TakeServiceOption(const QStringList& args, int& i, ServiceOptions& options);

// The settings folder of --settings DIR, or the program's own (Documents/talmon).
QString SettingsFolder(const QString& given);

// The directory host and port of --server HOST[:PORT], or of HOST_NAME in
// Heartlet.ini on port 1600. False, with the problem written to err, when
// neither names a host or the port is bad.
bool ServiceAddress(const QString& server, const ProfileFile& heartlet, QString* host, quint16* port, QTextStream& err);

}  // namespace cli
