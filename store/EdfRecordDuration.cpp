#include "store/EdfRecordDuration.h"

#include <numeric>

namespace {

constexpr int kFieldWidth = 8;

// Other readers are told to expect data records of at most 61,440 bytes.
constexpr qint64 kMaxRecordSamples = 61440 / 2;

qint64 powerOfTen(int n)
{
    qint64 p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

}  // namespace

double EdfRecordDuration::seconds() const
{
    return static_cast<double>(units) / static_cast<double>(powerOfTen(scale));
}

qint64 EdfRecordDuration::rateOf(qint64 samplesPerRecord) const
{
    // Both factors are bounded by the parser (units < 10^8, scale <= 7) and
    // the caller (samples per record within the file's size).
    return samplesPerRecord * powerOfTen(scale) / units;
}

qint64 EdfRecordDuration::secondsOf(qint64 records) const
{
    return records * units / powerOfTen(scale);
}

std::optional<EdfRecordDuration> ParseRecordDuration(const QByteArray& field)
{
    const QByteArray t = field.trimmed();
    if (t.isEmpty() || t.size() > kFieldWidth) return std::nullopt;
    EdfRecordDuration d;
    bool point = false, digits = false;
    for (const char c : t) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            d.units = d.units * 10 + (c - '0');
            if (point) ++d.scale;
            digits = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits || d.units == 0) return std::nullopt;
    return d;
}

std::optional<QByteArray> ExactRecordDurationText(qint64 samples, qint64 rate)
{
    if (samples <= 0 || rate <= 0) return std::nullopt;
    const qint64 g = std::gcd(samples, rate);
    const qint64 num = samples / g, den = rate / g;
    // A fraction ends in decimals only when its denominator is made of 2s and 5s.
    qint64 rest = den;
    int twos = 0, fives = 0;
    while (rest % 2 == 0) rest /= 2, ++twos;
    while (rest % 5 == 0) rest /= 5, ++fives;
    if (rest != 1) return std::nullopt;
    const int decimals = std::max(twos, fives);
    if (decimals > kFieldWidth) return std::nullopt;
    QByteArray text = QByteArray::number(num / den);
    if (decimals > 0) {
        const qint64 fraction = (num % den) * powerOfTen(decimals) / den;
        text += '.' + QByteArray::number(fraction).rightJustified(decimals, '0');
    }
    if (text.size() > kFieldWidth) return std::nullopt;
    return text;
}

EdfRecordLayout ChooseRecordLayout(qint64 count, qint64 rate)
{
    if (count % rate == 0) return {count / rate, rate, "1", count};
    // The first count from the top that some record divides exactly; a whole
    // number of seconds is reached within one second, so the search ends there.
    for (qint64 used = count; used > 0 && used > count - rate; --used) {
        EdfRecordLayout best;
        const auto consider = [&](qint64 perRecord) {
            if (perRecord <= best.samplesPerRecord || perRecord > kMaxRecordSamples) return;
            if (const auto text = ExactRecordDurationText(perRecord, rate))
                best = {used / perRecord, perRecord, *text, used};
        };
        for (qint64 d = 1; d * d <= used; ++d) {
            if (used % d != 0) continue;
            consider(d);
            consider(used / d);
        }
        if (best.records > 0) return best;
    }
    // Below a second and no duration exact (1 to 3 samples at 256 per
    // second): one record, its duration as near as the field allows.
    QByteArray text = QByteArray::number(static_cast<double>(count) / static_cast<double>(rate), 'f', kFieldWidth - 2);
    return {1, count, text.left(kFieldWidth), count};
}
