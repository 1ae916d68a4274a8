#include "tools/cli/Commands.h"
#include "tools/cli/ServiceOptions.h"

#include "lang/TextTable.h"
#include "net/UploadFileActions.h"
#include "net/UploadMessages.h"
#include "net/UploadSession.h"
#include "store/AccountSettings.h"
#include "store/ProfileFile.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <map>

namespace cli {
namespace {

const char* const kUsage =
    "Usage: ecg-cli upload [--server HOST[:PORT]] [--settings DIR] [--account NAME]\n"
    "                      [--password-file FILE|-] [--delete-after] [--overwrite yes|no]\n"
    "                      [--timeout SECONDS] [--json] FILE.edf...\n";

QString MessageText(const upload::MessageRef& m)
{
    if (m.none()) return QString();
    return (m.slot >= 0 ? TextOf(m.slot) : m.english) + m.codeLiteral;
}

QString DeliveryName(upload::Delivery d)
{
    switch (d) {
    case upload::Delivery::NotOffered: return QStringLiteral("not-offered");
    case upload::Delivery::Unreadable: return QStringLiteral("unreadable");
    case upload::Delivery::NoReply: return QStringLiteral("offered-no-reply");
    case upload::Delivery::Refused: return QStringLiteral("refused");
    case upload::Delivery::SentUnproved: return QStringLiteral("sent-unconfirmed");
    case upload::Delivery::Delivered: return QStringLiteral("delivered");
    }
    return QString();
}

// The first line of the password file, or of standard input for "-".
bool ReadPassword(const QString& source, QString& password)
{
    QFile file;
    const bool ok = source == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                 : (file.setFileName(source), file.open(QIODevice::ReadOnly));
    if (!ok) return false;
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
    password = QString::fromUtf8(line);
    return true;
}

struct FileLine {
    upload::FileReport report;
    upload::Applied applied;
};

}  // namespace

int RunUpload(const QStringList& args, QTextStream& out, QTextStream& err)
{
    ServiceOptions service;
    QString passwordFile, overwrite;
    bool deleteAfter = false, json = false;
    QStringList files;
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
        if (const OptionTaken taken = TakeServiceOption(args, i, service); taken != OptionTaken::NotMine)
            ok = taken == OptionTaken::Taken;
        else if (a == "--password-file") ok = value(passwordFile);
        else if (a == "--overwrite") ok = value(overwrite) && (overwrite == "yes" || overwrite == "no");
        else if (a == "--delete-after") deleteAfter = true;
        else if (a == "--json") json = true;
        else if (a.startsWith("--")) ok = false;
        else files << a;
        if (!ok) {
            err << "Bad option \"" << a << "\".\n" << kUsage;
            return 2;
        }
    }
    if (files.isEmpty()) {
        err << kUsage;
        return 2;
    }
    if (TextTable::current().languageId() == 0) TextTable::current().SelectLanguage(TextTable::kEnglish);

    const QString settings = SettingsFolder(service.settings);
    ProfileFile heartlet(QDir(settings).filePath(QStringLiteral("Heartlet.ini")));
    AccountSettings stored(heartlet.path());

    upload::Request request;
    if (const int id = StoredLanguageNumber(QDir(settings).filePath(QStringLiteral("setinfo.ini")))) request.languageId = id;
    if (!ServiceAddress(service.server, heartlet, &request.directoryHost, &request.port, err)) return 2;

    const QString storedAccount = stored.account();
    request.account = service.account.isEmpty() ? storedAccount : service.account;
    if (!passwordFile.isEmpty()) {
        if (!ReadPassword(passwordFile, request.password)) {
            err << "Cannot read the password from \"" << passwordFile << "\".\n";
            return 2;
        }
    } else if (request.account == storedAccount) {
        request.password = stored.password();
    }
    if (AccountSettings::Missing(request.account) || AccountSettings::Missing(request.password)) {
        err << "No account: give --account and --password-file, or store them with the program's Account command.\n";
        return 2;
    }

    request.recordings = files;
    if (service.timeoutSeconds > 0) {
        upload::Timings& t = request.timings;
        t.lookupMs = t.connectMs = t.replyMs = t.sendMs = t.closeMs = service.timeoutSeconds * 1000;
    }

    upload::UploadSession session(request);
    std::map<std::pair<int, bool>, FileLine> lines;
    bool overwriteAsked = false;
    QObject::connect(&session, &upload::UploadSession::accountServerReached, [&](const QString& address) {
        stored.rememberHostIp(address);
    });
    QObject::connect(&session, &upload::UploadSession::overwriteQuestion, [&] {
        overwriteAsked = true;
        session.answerOverwrite(overwrite == "yes");
    });
    QObject::connect(&session, &upload::UploadSession::fileSettled, [&](const upload::FileReport& r) {
        lines[{r.index, r.isNote}] = FileLine{r, upload::ApplyDelivery(r, deleteAfter)};
    });
    upload::Outcome outcome;
    QEventLoop loop;
    QObject::connect(&session, &upload::UploadSession::finished, [&](const upload::Outcome& o) {
        outcome = o;
        loop.quit();
    });
    session.start();
    loop.exec();

    const bool allDelivered = outcome.allDelivered(static_cast<int>(files.size()));
    QString message = MessageText(upload::MessageFor(outcome.error));
    if (outcome.overwriteDeclined)
        message = QStringLiteral("Not sent: a recording was uploaded before (use --overwrite yes to send it again).");
    const QString result = allDelivered ? TextOf(deleteAfter ? upload::kSlotAllDeleted : upload::kSlotCompleted)
                                        : TextOf(upload::kSlotFailed);

    QJsonArray fileArray;
    for (int i = 0; i < files.size(); ++i) {
        auto it = lines.find({i, false});
        const upload::FileReport report = it != lines.end() ? it->second.report : upload::FileReport{i, false, files[i]};
        const upload::Applied applied = it != lines.end() ? it->second.applied : upload::Applied{};
        QJsonObject o{{"file", files[i]},
                      {"result", DeliveryName(report.delivery)},
                      {"delivered", report.delivery == upload::Delivery::Delivered},
                      {"marked", applied.marked},
                      {"deleted", applied.deleted}};
        if (report.replyCode) o["replyCode"] = report.replyCode;
        auto note = lines.find({i, true});
        if (note != lines.end()) {
            QJsonObject n{{"file", note->second.report.path},
                          {"result", DeliveryName(note->second.report.delivery)},
                          {"deleted", note->second.applied.deleted}};
            if (note->second.report.noteCharactersReplaced) n["charactersReplaced"] = true;
            o["note"] = n;
        }
        fileArray.append(o);
    }
    if (json) {
        QJsonObject o{{"files", fileArray}, {"allDelivered", allDelivered}, {"result", result}};
        if (!message.isEmpty()) o["message"] = message;
        if (outcome.diskFull) o["notice"] = TextOf(upload::kSlotDiskFull);
        if (overwriteAsked) o["overwriteAsked"] = true;
        out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
    } else {
        for (const QJsonValue& v : fileArray) {
            const QJsonObject o = v.toObject();
            QString what = o["result"].toString();
            if (o["deleted"].toBool()) what += QStringLiteral(", deleted");
            else if (o["marked"].toBool()) what += QStringLiteral(", marked uploaded");
            else what += QStringLiteral(", kept");
            if (o.contains("replyCode")) what += QStringLiteral(" (reply code %1)").arg(o["replyCode"].toInt());
            out << o["file"].toString() << ": " << what << "\n";
            if (o.contains("note")) {
                const QJsonObject n = o["note"].toObject();
                out << "  note " << n["file"].toString() << ": " << n["result"].toString()
                    << (n["deleted"].toBool() ? ", deleted" : "") << "\n";
                if (n["charactersReplaced"].toBool()) out << "  " << upload::kNoteReplaced << "\n";
            }
        }
        if (outcome.diskFull) out << TextOf(upload::kSlotDiskFull) << "\n";
        out << result << "\n";
    }
    if (!message.isEmpty()) err << message << "\n";
    for (const auto& [key, line] : lines)
        if (line.report.delivery == upload::Delivery::Unreadable)
            err << line.report.path << ": " << upload::kFileProblem << "\n";
    out.flush();
    err.flush();
    return allDelivered ? 0 : 1;
}

}  // namespace cli
