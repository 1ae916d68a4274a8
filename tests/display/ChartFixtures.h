#pragma once
// Recordings made by code for the chart tests.
#include "store/EdfRecord.h"
#include "store/EdfWriter.h"

#include <QString>
#include <cmath>
#include <vector>

namespace chartfix {

// A recording of `seconds` at `rate` whose channel is flat at 0 with an
// upward spike (peak `height` units) at every whole second, and downward
// spikes at the given seconds.
inline EDF_RECORD SpikeRecording(int seconds, int rate, int height = 200, std::vector<double> downAt = {})
{
    EDF_RECORD r;
    r.StartDate = QStringLiteral("13.5.7");
    r.StartTime = QStringLiteral("14.25.30");
    r.RecordCount = seconds;
    r.RecordSeconds = 1;
    r.TotalSeconds = seconds;
    r.SignalCount = 1;
    EDF_CHANNEL ch;
    ch.SampleRate = static_cast<int16_t>(rate);
    ch.SampleCount = seconds * rate;
    ch.Samples.assign(size_t(seconds) * size_t(rate), 0);
    ch.DigMin = -2048;
    ch.DigMax = 2047;  // no baseline shift
    ch.PhysMin = -11010.75;
    ch.PhysMax = 11005.37;
    ch.PhysDimension = QStringLiteral("uV");
    const int half = rate / 64;  // a 2 x 16 ms wide triangle
    const auto spike = [&](double at, int peak) {
        const long centre = std::lround(at * rate);
        for (int k = -half; k <= half; ++k) {
            const long i = centre + k;
            if (i >= 0 && i < long(ch.Samples.size()))
                ch.Samples[size_t(i)] = static_cast<int16_t>(peak * (half + 1 - std::abs(k)) / (half + 1));
        }
    };
    for (int s = 0; s <= seconds; ++s) spike(s, height);
    for (double s : downAt) spike(s, -height);
    r.Channels.push_back(std::move(ch));
    return r;
}

inline bool WriteRecording(const QString& path, const EDF_RECORD& r)
{
    return WritePlainEdf(path, r, 0xA1F3, true).ok();
}

}  // namespace chartfix
