#pragma once
#include "store/DeviceRecordHeader.h"

#include <QString>

// Where a recording lives in the library:
// data folder / device ID / YYYYMM / DD / hhmmss.edf
struct RecordingLocation {
    QString deviceId;  // 8 upper-case hexadecimal digits
    QString month;     // "20" + two-digit year + two-digit month
    QString day;       // two digits
    QString time;      // hour, minute, second, six digits

    // Full path of the recording file below `dataFolder`.
    QString filePath(const QString& dataFolder) const;
    // The folder that holds the file (device / month / day).
    QString folderPath(const QString& dataFolder) const;
};

// The device ID text: 8 upper-case hexadecimal digits, left-padded with "0".
QString DeviceIdText(uint32_t deviceNumber);

// The location of a recording from the recorder's header (device number and
// the BCD clock fields, whose two hexadecimal digits are the decimal digits).
RecordingLocation LocationOf(const DEVICE_RECORD_HEADER& header);
