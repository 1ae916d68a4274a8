#include "tools/cli/Commands.h"
#include "tools/cli/DeviceInfoPrint.h"
#include "tools/cli/DeviceLink.h"
#include "tools/cli/EnglishText.h"
#include "device/DownloadJob.h"
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// ecg-cli device download: the information read, the download job and, when
// asked, the erase, as the download dialog runs them.

namespace cli {

namespace {

const char* const kDownloadUsage =
    "Usage: ecg-cli device download [--link demo|serial:PATH|hid|serial|usb] --data-folder DIR [--erase] [--json]\n"
    "\n"
    "Downloads every recording from the recorder into DIR/<ID>/<YYYYMM>/<DD>/<hhmmss>.edf.\n"
    "  --erase  erase the recorder afterwards, only when every recording was stored and the\n"
    "           recorder still holds exactly what was downloaded\n"
    "Exit status 0 only when every recording was stored (and erased, when asked).\n";

const char* OutcomeKey(device::RecordingOutcome o)
{
    using device::RecordingOutcome;
    switch (o) {
    case RecordingOutcome::Waiting: return "not reached";
    case RecordingOutcome::Stored: return "stored";
    case RecordingOutcome::AlreadyStored: return "already stored";
    case RecordingOutcome::Incomplete: return "incomplete";
    case RecordingOutcome::Refused: return "refused";
    case RecordingOutcome::NameTaken: return "name taken";
    case RecordingOutcome::WriteFailed: return "write failed";
    }
    return "?";
}

const char* EndKey(device::DownloadEnd e)
{
    using device::DownloadEnd;
    switch (e) {
    case DownloadEnd::NotRun: return "not run";
    case DownloadEnd::Completed: return "completed";
    case DownloadEnd::Cancelled: return "cancelled";
    case DownloadEnd::RetriesExhausted: return "retries exhausted";
    case DownloadEnd::NoAnswer: return "no answer";
    case DownloadEnd::WaitsInBootLoader: return "waits in boot loader";
    case DownloadEnd::TooManyRecordings: return "too many recordings";
    case DownloadEnd::Unplugged: return "unplugged";
    }
    return "?";
}

const char* RefusalText(device::EraseRefusal r)
{
    using device::EraseRefusal;
    switch (r) {
    case EraseRefusal::None: return "";
    case EraseRefusal::NoAnswer: return "the recorder did not answer before the erase";
    case EraseRefusal::OtherRecorder: return "another recorder is attached";
    case EraseRefusal::ContentChanged: return "the recorder holds other recordings than the ones downloaded";
    case EraseRefusal::EraseFailed: return "the recorder did not confirm the erase";
    case EraseRefusal::NoCondition: return "not every recording was brought home completely";
    }
    return "";
}

// One line saying how the download ended, for a person.
QString EndMessage(const device::DownloadResult& r)
{
    using device::DownloadEnd;
    if (r.allStored())
        return QStringLiteral("Download complete.");
    switch (r.end) {
    case DownloadEnd::Completed:
        if (!r.bytesWhole())
            return QStringLiteral("The recorder holds %1 bytes, not a whole number of recordings; "
                                  "the rest was not downloaded.").arg(r.bytesStored);
        return QStringLiteral("%1 of %2 recordings could not be stored.")
            .arg(static_cast<int>(r.reported) - r.storedCount()).arg(r.reported);
    case DownloadEnd::Cancelled: return QStringLiteral("The download was cancelled.");
    case DownloadEnd::RetriesExhausted:
        return QStringLiteral("The download was cancelled: the same recording failed three times.");
    case DownloadEnd::NoAnswer: return QStringLiteral("The recorder did not answer at either speed.");
    case DownloadEnd::WaitsInBootLoader: return InfoReadFailureText(device::JobFailure::WaitsInBootLoader);
    case DownloadEnd::TooManyRecordings: return QStringLiteral("Refused: %1.").arg(r.detail);
    case DownloadEnd::Unplugged: return QStringLiteral("The recorder was unplugged during the download.");
    case DownloadEnd::NotRun: break;
    }
    return QStringLiteral("The download did not run.");
}

}  // namespace

int RunDeviceDownload(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QString linkName = "usb";
    QString dataFolder;
    bool json = false;
    bool erase = false;
    for (int i = 0; i < args.size(); ++i) {
        if (TakeLinkOption(args, i, linkName))
            continue;
        const QString& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--erase") {
            erase = true;
        } else if (a == "--data-folder" && i + 1 < args.size()) {
            dataFolder = args[++i];
        } else if (a.startsWith("--data-folder=")) {
            dataFolder = a.mid(14);
        } else if (a == "--help" || a == "-h") {
            out << kDownloadUsage;
            return 0;
        } else {
            err << "Unknown option \"" << a << "\".\n\n" << kDownloadUsage;
            return 2;
        }
    }
    if (dataFolder.isEmpty()) {
        err << "--data-folder is required.\n\n" << kDownloadUsage;
        return 2;
    }
    std::unique_ptr<DeviceLink> d = OpenDeviceLink(linkName);
    if (!d) {
        err << "Unknown link \"" << linkName << "\".\n\n" << kDownloadUsage;
        return 2;
    }
    d->board.dataFolder = QDir(dataFolder).absolutePath();
    if (d->RunJob(device::ReadInfoJobCode) != device::JobSucceeded) {
        err << InfoReadFailureText(d->board.failure) << "\n";
        return 1;
    }
    d->RunJob(device::DownloadJobCode);
    const device::DownloadResult& r = d->board.download.result;
    bool erased = false;
    QString eraseNote;
    if (erase) {
        d->board.eraseOnlyIf = device::EraseConditionAfter(r);
        if (!d->board.eraseOnlyIf) {
            eraseNote = QStringLiteral("not every recording was stored");
        } else {
            erased = d->RunJob(device::EraseJobCode) == device::JobSucceeded;
            eraseNote = RefusalText(d->board.eraseRefusal);
        }
    }
    const bool ok = r.allStored() && (!erase || erased);
    // Once everything is home, an erase asked for decides the words, as in the download window.
    QString message = EndMessage(r);
    if (r.allStored() && erase)
        message = EnglishText(erased ? 119 : 120);  // "All data shall be deleted …" / "Deleting error."

    if (json) {
        QJsonArray stored, rows;
        for (const device::DownloadRow& row : r.rows) {
            if (device::IsSafelyStored(row.outcome))
                stored.append(row.path);
            QJsonObject o{{"outcome", OutcomeKey(row.outcome)}};
            if (!row.path.isEmpty())
                o["path"] = row.path;
            if (!row.detail.isEmpty())
                o["detail"] = row.detail;
            rows.append(o);
        }
        QJsonObject o{{"stored", stored},
                      {"recordings", rows},
                      {"reported", static_cast<qint64>(r.reported)},
                      {"end", EndKey(r.end)},
                      {"message", message},
                      {"lowSpeedFallback", r.lowSpeedFallback},
                      {"erased", erased}};
        if (erase && !erased)
            o["eraseRefused"] = eraseNote;
        out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
    } else {
        for (const device::DownloadRow& row : r.rows) {
            if (device::IsSafelyStored(row.outcome))
                out << row.path << "\n";
            else
                out << OutcomeKey(row.outcome) << ": " << (row.path.isEmpty() ? QStringLiteral("-") : row.path)
                    << (row.detail.isEmpty() ? QString() : " (" + row.detail + ")") << "\n";
        }
        out << "end: " << EndKey(r.end) << "\n";
        out << "message: " << message << "\n";
        out << "fell back to 230400 baud: " << (r.lowSpeedFallback ? "yes" : "no") << "\n";
        out << "erased: " << (erased ? "yes" : "no");
        if (erase && !erased)
            out << " (" << eraseNote << ")";
        out << "\n";
    }
    return ok ? 0 : 1;
}

}  // namespace cli
