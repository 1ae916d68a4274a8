#include "dialogs/DownloadReport.h"

#include "lang/TextTable.h"
#include "lang/ProgramTexts.h"
#include "lang/Words.h"

namespace {

QString OutcomeText(device::RecordingOutcome o)
{
    using device::RecordingOutcome;
    switch (o) {
    case RecordingOutcome::Waiting: return WordOf(Word::DownloadNotDownloaded);
    case RecordingOutcome::Stored: return QString();
    case RecordingOutcome::AlreadyStored: return WordOf(Word::DownloadAlreadyStored);
    case RecordingOutcome::Incomplete: return WordOf(Word::DownloadIncomplete);
    case RecordingOutcome::Refused: return WordOf(Word::DownloadRefused);
    case RecordingOutcome::NameTaken: return WordOf(Word::DownloadNameTaken);
    case RecordingOutcome::WriteFailed: return WordOf(Word::DownloadWriteFailed);
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
    case DownloadEnd::NoAnswer: return WordOf(Word::DownloadNoAnswer);
    case DownloadEnd::WaitsInBootLoader: return DeviceWaitsInBootLoaderText();
    case DownloadEnd::TooManyRecordings:
        return WordOf(Word::DownloadTooManyRecordings).arg(r.reported);
    case DownloadEnd::Unplugged: return WordOf(Word::DownloadUnplugged);
    case DownloadEnd::RetriesExhausted:
        return WordOf(Word::DownloadRetriesExhausted);
    case DownloadEnd::Cancelled:
    case DownloadEnd::NotRun: return QString();
    case DownloadEnd::Completed: break;
    }
    if (!r.bytesWhole() && r.storedCount() == static_cast<int>(r.reported))
        return WordOf(Word::DownloadBytesNotWhole);
    for (const device::DownloadRow& row : r.rows) {
        if (!device::IsSafelyStored(row.outcome))
            return WordOf(Word::DownloadLeftOnRecorder)
                .arg(static_cast<int>(r.reported) - r.storedCount())
                .arg(r.reported)
                .arg(row.relativePath.isEmpty() ? WordOf(Word::DownloadARecording) : row.relativePath, OutcomeText(row.outcome));
    }
    return QString();
}

QString EraseRefusalText(device::EraseRefusal refusal)
{
    using device::EraseRefusal;
    switch (refusal) {
    case EraseRefusal::None: return QString();
    case EraseRefusal::NoAnswer: return WordOf(Word::EraseNoAnswer);
    case EraseRefusal::OtherRecorder: return WordOf(Word::EraseOtherRecorder);
    case EraseRefusal::ContentChanged:
        return WordOf(Word::EraseContentChanged);
    case EraseRefusal::EraseFailed: return WordOf(Word::EraseFailed);
    case EraseRefusal::NoCondition: return WordOf(Word::EraseNotAllStored);
    }
    return QString();
}
