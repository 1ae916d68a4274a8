#include "store/DownloadedRecording.h"

#include "store/EdfWriter.h"
#include "store/FhrBlock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool SameRecording(const QByteArray& onDisk, const QByteArray& image)
{
    if (onDisk.size() != image.size() || image.size() < FHR_BLOCK::Size)
        return false;
    const qsizetype block = image.size() - FHR_BLOCK::Size;
    const qsizetype managerFrom = block + FHR_BLOCK::UploadedMarker;
    const qsizetype managerTo = block + FHR_BLOCK::RecorderSeries;
    return onDisk.first(managerFrom) == image.first(managerFrom) &&
           onDisk.sliced(managerTo) == image.sliced(managerTo);
}

}  // namespace

StoredRecording StoreDownloadedRecording(const QString& dataFolder, const DEVICE_RECORD_HEADER& header,
                                         const QByteArray& sampleBytes, const QByteArray& seriesBytes)
{
    StoredRecording out;
    out.location = LocationOf(header);
    out.path = out.location.filePath(dataFolder);
    QByteArray image;
    const EdfProblem built = BuildDownloadedEdfImage(header, sampleBytes, seriesBytes, image);
    if (!built.ok()) {
        out.detail = built.message();
        return out;
    }
    const QFileInfo existing(out.path);
    if (existing.exists()) {
        QFile file(out.path);
        // A recording downloaded before is home when the file holds the same recording: every byte
        // but the block's uploaded marker and the analysis results, which opening and uploading
        // write there. Anything else under the name (another recording of the same second) is
        // somebody's data and stays untouched.
        if (existing.isFile() && existing.size() == image.size() && file.open(QIODevice::ReadOnly) &&
            SameRecording(file.readAll(), image)) {
            out.outcome = StoreOutcome::Identical;
            return out;
        }
        out.outcome = StoreOutcome::NameTaken;
        out.detail = QStringLiteral("a different file already exists at %1").arg(out.path);
        return out;
    }
    const QString folder = out.location.folderPath(dataFolder);
    if (!QDir().mkpath(folder)) {
        out.outcome = StoreOutcome::FolderFailed;
        out.detail = QStringLiteral("cannot create the folder %1").arg(folder);
        return out;
    }
    const EdfProblem written = WriteFileAtomically(out.path, image);
    if (!written.ok()) {
        out.outcome = StoreOutcome::WriteFailed;
        out.detail = QStringLiteral("cannot write %1: %2").arg(out.path, written.message());
        return out;
    }
    out.outcome = StoreOutcome::Written;
    return out;
}
