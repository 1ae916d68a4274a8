#include "tools/cli/Commands.h"
#include "tools/cli/ServiceOptions.h"

#include "lang/TextTable.h"
#include "net/FirmwareFetch.h"
#include "net/FirmwareMessages.h"
#include "store/AccountSettings.h"
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
    ServiceOptions service;
    QString output;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--help") {
            out << kUsage;
            return 0;
        }
        OptionTaken taken = TakeServiceOption(args, i, service);
        if (taken == OptionTaken::NotMine && a == "--out" && i + 1 < args.size()) {
            output = args[++i];
            taken = OptionTaken::Taken;
        }
        if (taken != OptionTaken::Taken) {
            err << "Bad option \"" << a << "\".\n" << kUsage;
            return 2;
        }
    }
    if (output.isEmpty()) {
        err << kUsage;
        return 2;
    }
    if (TextTable::current().languageId() == 0) TextTable::current().SelectLanguage(TextTable::kEnglish);

    ProfileFile heartlet(QDir(SettingsFolder(service.settings)).filePath(QStringLiteral("Heartlet.ini")));
    firmware::FetchRequest request;
    if (!ServiceAddress(service.server, heartlet, &request.directoryHost, &request.port, err)) return 2;
    request.account = service.account.isEmpty()
                          ? AccountSettings(heartlet.path()).upgradeAccount(request.account)
                          : service.account;
    // Beside the target, so that a failed fetch leaves an earlier FILE as it was.
    request.imagePath = output + QStringLiteral(".part");
    if (service.timeoutSeconds > 0) {
        firmware::FetchTimings& t = request.timings;
        t.lookupMs = t.connectMs = t.sendMs = t.replyMs = t.blockMs = service.timeoutSeconds * 1000;
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
