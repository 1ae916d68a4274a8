#pragma once
#include <QString>
#include <QtGlobal>

// Why a recording file could not be read, written or accepted. Every
// refusal names the field and the byte offset where the file went wrong, so
// that the user (and a bug report) can tell a damaged file from a foreign one.
enum class EdfError {
    None = 0,
    CannotOpen,         // the file does not exist or cannot be read
    HeaderTruncated,    // the file ends inside the header
    BadNumber,          // a numeric header field does not hold a number
    BadDate,            // the start date is not three numbers "dd.mm.yy"
    BadTime,            // the start time is not three numbers "hh.mm.ss"
    BadSignalCount,     // number of signals below 1 or beyond what the file holds
    BadRecordCount,     // number of data records below 1
    BadRecordDuration,  // record duration not a decimal number of seconds above 0
    BadSampleCount,     // samples per data record below 1
    BadDigitalRange,    // digital minimum or maximum outside 16 bits
    DataTruncated,      // the header promises more samples than the file holds
    UnsupportedRate,    // channel 1 is not at 128 or 256 samples per second
    BadInput,           // a caller handed inconsistent data to a writer
    CannotWrite,        // the file could not be written (disk full, no permission)
};

// Short English text of an error code.
QString EdfErrorText(EdfError code);

// One problem with one file. `field` is the header field's name as the EDF
// standard calls it, `offset` its byte offset in the file (-1 when none).
struct EdfProblem {
    EdfError code = EdfError::None;
    QString field;
    qint64 offset = -1;
    QString detail;  // the offending value or the system's error text

    bool ok() const { return code == EdfError::None; }
    // One line for the user, e.g. `Unsupported sample rate: field "samples
    // in each data record" at byte 472 holds "360"`.
    QString message() const;

    static EdfProblem make(EdfError code, QString field = {}, qint64 offset = -1, QString detail = {});
};
