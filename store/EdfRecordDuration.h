#pragma once
#include <QByteArray>
#include <QtGlobal>
#include <optional>

// The duration of one data record as the 8-character header field holds it,
// kept as the exact decimal `units` / 10^`scale` seconds, so that the rate
// derived from it (samples per record / duration) carries no rounding.
struct EdfRecordDuration {
    qint64 units = 0;
    int scale = 0;

    double seconds() const;
    // Samples per second of a signal with `samplesPerRecord`, rounded down.
    qint64 rateOf(qint64 samplesPerRecord) const;
    // The length of `records` data records in seconds, rounded down.
    qint64 secondsOf(qint64 records) const;
};

// Reads the field: decimal digits with at most one point, blanks around,
// nothing else (no sign, no exponent). Only a duration above 0 is returned.
std::optional<EdfRecordDuration> ParseRecordDuration(const QByteArray& field);

// The field's text for `samples` / `rate` seconds, when that value fits the
// 8 characters exactly ("1", "0.734375", "7.5"); nothing otherwise.
std::optional<QByteArray> ExactRecordDurationText(qint64 samples, qint64 rate);

// How a signal of `count` samples at `rate` per second is cut into data
// records that other readers take at exactly that rate: records of one second
// when the samples fill whole seconds; otherwise the largest record that
// divides the count and whose duration the field holds exactly. A count that
// no such record divides (7,709 at 256 per second: every divisor would need 8
// decimals) loses its last few samples, fewer than a second's worth, to the
// largest count that one does.
struct EdfRecordLayout {
    qint64 records = 0;
    qint64 samplesPerRecord = 0;
    QByteArray duration;        // the text of the duration field
    qint64 samplesWritten = 0;  // records x samplesPerRecord
};
// `rate` above 0 and `count` above 0.
EdfRecordLayout ChooseRecordLayout(qint64 count, qint64 rate);
