#pragma once
#include <QString>
#include <QTextStream>

class ProfileFile;

namespace cli {

// The settings folder of --settings DIR, or the program's own (Documents/talmon).
QString SettingsFolder(const QString& given);

// The directory host and port of --server HOST[:PORT], or of HOST_NAME in
// Heartlet.ini on port 1600. False, with the problem written to err, when
// neither names a host or the port is bad.
bool ServiceAddress(const QString& server, const ProfileFile& heartlet, QString* host, quint16* port, QTextStream& err);

}  // namespace cli
