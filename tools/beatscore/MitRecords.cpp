#include "tools/beatscore/MitRecords.h"

#include "signal/MitAnnotations.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace beatscore {

namespace {

std::vector<unsigned char> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Channel 0 of format 212: the first 12-bit sample of every three bytes.
std::vector<int> Channel0(const std::vector<unsigned char>& bytes)
{
    std::vector<int> out;
    out.reserve(bytes.size() / 3);
    for (size_t i = 0; i + 2 < bytes.size(); i += 3) {
        int v = bytes[i] | ((bytes[i + 1] & 0x0F) << 8);
        if (v & 0x800) v -= 0x1000;
        out.push_back(v);
    }
    return out;
}

}  // namespace

std::vector<int> ReadChannel0(const std::string& datPath)
{
    return Channel0(ReadAll(datPath));
}

// Linear resampling from 360 per second, raw units (200 per mV, baseline
// 1024) to recorder units.
std::vector<int16_t> ToRecorderUnits(const std::vector<int>& raw, int rate)
{
    std::vector<int16_t> out;
    const int64_t count = static_cast<int64_t>(raw.size()) * rate / 360;
    out.reserve(static_cast<size_t>(count));
    for (int64_t m = 0; m < count; ++m) {
        const double pos = static_cast<double>(m) * 360.0 / rate;
        const size_t i = static_cast<size_t>(pos);
        const double frac = pos - static_cast<double>(i);
        const double a = raw[i], b = i + 1 < raw.size() ? raw[i + 1] : raw[i];
        const double units = std::lround(2048.0 + ((a + frac * (b - a)) - 1024.0) / 200.0 * 186.0);
        out.push_back(static_cast<int16_t>(std::clamp(units, 0.0, 4095.0)));
    }
    return out;
}

std::vector<Recording> CutRecord(const std::string& folder, const std::string& name, int rate, int seconds,
                                 int offsetSeconds)
{
    const std::vector<int16_t> signal = ToRecorderUnits(ReadChannel0(folder + "/" + name + ".dat"), rate);
    const std::vector<unsigned char> atr = ReadAll(folder + "/" + name + ".atr");
    std::vector<Beat> beats;
    std::vector<std::pair<int64_t, int64_t>> flutter;
    constexpr int kFlutterStart = 32, kFlutterEnd = 33;  // MIT '[' and ']'
    for (const ecg::MitAnnotation& a : ecg::ParseMitAnnotations(atr.data(), atr.size()).annotations) {
        const int64_t at = a.sample * rate / 360;
        if (ecg::IsMitBeat(a.code)) beats.push_back({at, a.code});
        else if (a.code == kFlutterStart) flutter.push_back({at, static_cast<int64_t>(signal.size())});
        else if (a.code == kFlutterEnd && !flutter.empty()) flutter.back().second = at;
    }
    std::vector<Recording> out;
    const size_t length = static_cast<size_t>(seconds) * static_cast<size_t>(rate);
    if (length == 0 || beats.empty() || offsetSeconds < 0) return out;
    for (size_t start = static_cast<size_t>(offsetSeconds) * static_cast<size_t>(rate); start + length <= signal.size(); start += length) {
        Recording r;
        r.samples.assign(signal.begin() + static_cast<std::ptrdiff_t>(start),
                         signal.begin() + static_cast<std::ptrdiff_t>(start + length));
        for (const Beat& b : beats)
            if (b.sample >= static_cast<int64_t>(start) && b.sample < static_cast<int64_t>(start + length))
                r.reference.push_back({b.sample - static_cast<int64_t>(start), b.code});
        for (const auto& [from, to] : flutter)
            if (to > static_cast<int64_t>(start) && from < static_cast<int64_t>(start + length))
                r.flutter.push_back({from - static_cast<int64_t>(start), to - static_cast<int64_t>(start)});
        out.push_back(std::move(r));
    }
    return out;
}

bool IsScored(const Recording& r, int64_t sample, int rate)
{
    if (sample < 6 * rate || sample >= static_cast<int64_t>(r.samples.size()) - rate) return false;
    for (const auto& [from, to] : r.flutter)
        if (sample >= from && sample < to) return false;
    return true;
}

Counts ScorePiece(const Recording& r, const std::vector<Beat>& test, int rate)
{
    Counts c = CompareBeats(r.reference, test, rate * 150 / 1000, 6 * rate, static_cast<int64_t>(r.samples.size()) - rate);
    // Detections in flutter were counted as extra beats; take them out again.
    const std::vector<int> referenceOf = PairBeats(r.reference, test, rate * 150 / 1000);
    for (size_t j = 0; j < test.size(); ++j)
        if (referenceOf[j] < 0 && test[j].sample >= 6 * rate &&
            test[j].sample < static_cast<int64_t>(r.samples.size()) - rate && !IsScored(r, test[j].sample, rate)) {
            const Aami got = AamiOfMitCode(test[j].code);
            --c.counts[kNone][got == kNone ? kQ : got];
        }
    return c;
}

}  // namespace beatscore
