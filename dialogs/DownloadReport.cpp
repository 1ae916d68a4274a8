#include "dialogs/DownloadReport.h"

#include "lang/TextTable.h"

namespace {

QString OutcomeText(device::RecordingOutcome o)
{
    using device::RecordingOutcome;
    switch (o) {
    case RecordingOutcome::Waiting: return QStringLiteral("not downloaded");
    case RecordingOutcome::Stored: return QString();
    case RecordingOutcome::AlreadyStored: return QStringLiteral("already on this computer");
    case RecordingOutcome::Incomplete: return QStringLiteral("did not arrive complete");
    case RecordingOutcome::Refused: return QStringLiteral("refused: its header is impossible");
    case RecordingOutcome::NameTaken: return QStringLiteral("not stored: a different file already has its name");
    case RecordingOutcome::WriteFailed: return QStringLiteral("not stored: it could not be written");
    }
    return QString();
}

}  // namespace

QString DownloadRowText(const device::DownloadRow& row)
{
    // "File" + "Name" + " : " + the path below the data folder.
    QString text = TextOf(38) + TextOf(44) + QStringLiteral(" : ") + row.relativePath;
    const QString outcome = OutcomeText(row.outcome);
    if (!outcome.isEmpty() && row.outcome != device::RecordingOutcome::Waiting)
        text += QStringLiteral("  (") + outcome + QStringLiteral(")");
    return text;
}

QString DownloadProblemText(const device::DownloadResult& r)
{
    using device::DownloadEnd;
    if (r.allStored())
        return QString();
    switch (r.end) {
    case DownloadEnd::NoAnswer: return QStringLiteral("The recorder did not answer.");
    case DownloadEnd::TooManyRecordings:
        return QStringLiteral("The recorder reports %1 recordings, which cannot be right; nothing was downloaded.")
            .arg(r.reported);
    case DownloadEnd::Unplugged: return QStringLiteral("The recorder was unplugged.");
    case DownloadEnd::RetriesExhausted:
        return QStringLiteral("A recording failed three times in a row.");
    case DownloadEnd::Cancelled:
    case DownloadEnd::NotRun: return QString();
    case DownloadEnd::Completed: break;
    }
    if (!r.bytesWhole() && r.storedCount() == static_cast<int>(r.reported))
        return QStringLiteral("The recorder holds more bytes than its whole recordings; it was not erased.");
    for (const device::DownloadRow& row : r.rows) {
        if (!device::IsSafelyStored(row.outcome))
            return QStringLiteral("%1 of %2 recordings stay on the recorder: %3 %4.")
                .arg(static_cast<int>(r.reported) - r.storedCount())
                .arg(r.reported)
                .arg(row.relativePath.isEmpty() ? QStringLiteral("a recording") : row.relativePath, OutcomeText(row.outcome));
    }
    return QString();
}

QString EraseRefusalText(device::EraseRefusal refusal)
{
    using device::EraseRefusal;
    switch (refusal) {
    case EraseRefusal::None: return QString();
    case EraseRefusal::NoAnswer: return QStringLiteral("The recorder did not answer before the erase; nothing was erased.");
    case EraseRefusal::OtherRecorder: return QStringLiteral("Another recorder is attached now; nothing was erased.");
    case EraseRefusal::ContentChanged:
        return QStringLiteral("The recorder holds other recordings than the ones downloaded; nothing was erased.");
    case EraseRefusal::EraseFailed: return QStringLiteral("The recorder did not confirm the erase.");
    case EraseRefusal::NoCondition:
        return QStringLiteral("Not every recording was brought home completely; nothing was erased.");
    }
    return QString();
}
