#pragma once
#include "store/DeviceRecordHeader.h"
#include "store/RecordingLocation.h"

#include <QByteArray>
#include <QString>

// Puts one verified downloaded recording into the library at its place
// (data folder / device ID / YYYYMM / DD / hhmmss.edf). Folders are made only
// now that the recording is complete; the file appears whole or not at all;
// a file already under that name is never replaced.

enum class StoreOutcome {
    Written,       // a new file
    Identical,     // the same recording was there already (analysis results and uploaded marker aside)
    NameTaken,     // a different file has the name; left as it is, nothing written
    FolderFailed,  // a folder could not be created
    WriteFailed,   // the file could not be written (nothing is left under its name)
    BadInput,      // the header and the bytes do not agree; nothing written
};

struct StoredRecording {
    StoreOutcome outcome = StoreOutcome::BadInput;
    RecordingLocation location;
    QString path;    // full path of the file
    QString detail;  // the system's reason when not Written/Identical
};

StoredRecording StoreDownloadedRecording(const QString& dataFolder, const DEVICE_RECORD_HEADER& header,
                                         const QByteArray& sampleBytes, const QByteArray& seriesBytes);
