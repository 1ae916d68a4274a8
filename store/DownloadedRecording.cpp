#include "store/DownloadedRecording.h"

#include "store/EdfWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
        // A recording downloaded before (and never opened since) is the same bytes: it is home.
        // Anything else under the name (another recording of the same second, an analysed copy)
        // is somebody's data and stays untouched.
        if (existing.isFile() && existing.size() == image.size() && file.open(QIODevice::ReadOnly) &&
            file.readAll() == image) {
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
