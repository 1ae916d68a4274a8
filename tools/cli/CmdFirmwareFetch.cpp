#include "tools/cli/Commands.h"
#include "tools/cli/ServiceOptions.h"

#include "lang/TextTable.h"
#include "net/FirmwareFetch.h"
#include "net/FirmwareMessages.h"
#include "store/ProfileFile.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>

namespace cli {
namespace {

const char* const kUsage =
    "Usage: ecg-cli firmware fetch [--server HOST[:PORT]] [--settings DIR] [--account NAME]\n"
    "                              [--timeout SECONDS] --out FILE\n"
    "Downloads the firmware image the update server offers into FILE (replaced only\n"
    "when the whole image arrived); check it with: ecg-cli firmware check FILE\n";

}  // namespace

int RunFirmwareFetch(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QString server, settings, account, output;
    int timeoutSeconds = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& target) {
            if (i + 1 >= args.size()) return false;
            target = args[++i];
            return true;
        };
        bool ok = true;
        if (a == "--help") {
            out << kUsage;
            return 0;
        }
        if (a == "--server") ok = value(server);
        else if (a == "--settings") ok = value(settings);
        else if (a == "--account") ok = value(account);
        else if (a == "--out") ok = value(output);
        else if (a == "--timeout") {
            QString t;
            ok = value(t);
            timeoutSeconds = t.toInt(&ok);
            ok = ok && timeoutSeconds > 0 && timeoutSeconds <= 600;
        } else ok = false;
        if (!ok) {
            err << "Bad option \"" << a << "\".\n" << kUsage;
            return 2;
        }
    }
    if (output.isEmpty()) {
        err << kUsage;
        return 2;
    }
    if (TextTable::current().languageId() == 0) TextTable::current().SelectLanguage(TextTable::kEnglish);

    ProfileFile heartlet(QDir(SettingsFolder(settings)).filePath(QStringLiteral("Heartlet.ini")));
    firmware::FetchRequest request;
    if (!ServiceAddress(server, heartlet, &request.directoryHost, &request.port, err)) return 2;
    if (account.isEmpty())
        account = heartlet.readString(QStringLiteral("INFO"), QStringLiteral("UPGRADE_ACCOUNT"), request.account);
    request.account = account;
    // Beside the target, so that a failed fetch leaves an earlier FILE as it was.
    request.imagePath = output + QStringLiteral(".part");
    if (timeoutSeconds > 0) {
        firmware::FetchTimings& t = request.timings;
        t.lookupMs = t.connectMs = t.sendMs = t.replyMs = t.blockMs = timeoutSeconds * 1000;
    }

    firmware::FirmwareFetch fetch(request);
    QObject::connect(&fetch, &firmware::FirmwareFetch::progress, [&](qint64 downloaded, quint32 size) {
        err << TextOf(firmware::kSlotSize) << ": " << downloaded << " / " << size << " "
            << TextOf(firmware::kSlotBytes) << "\n";
        err.flush();
    });
    firmware::FetchOutcome outcome;
    QEventLoop loop;
    QObject::connect(&fetch, &firmware::FirmwareFetch::finished, [&](const firmware::FetchOutcome& o) {
        outcome = o;
        loop.quit();
    });
    fetch.start();
    loop.exec();

    if (!outcome.ok()) {
        const upload::MessageRef m = firmware::MessageFor(outcome);
        err << (m.slot >= 0 ? TextOf(m.slot) : m.english) << " (" << firmware::FailureName(outcome.failure) << ")\n";
        return 1;
    }
    QFile::remove(output);
    if (!QFile::rename(request.imagePath, output)) {
        QFile::remove(request.imagePath);
        err << TextOf(firmware::kSlotOpenError) << " (" << output << ")\n";
        return 1;
    }
    out << "Fetched " << outcome.downloaded << " bytes in " << outcome.blocks << " block(s) to " << output << "\n";
    return 0;
}

}  // namespace cli
