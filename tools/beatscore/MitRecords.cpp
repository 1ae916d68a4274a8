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

std::vector<Recording> CutRecord(const std::string& folder, const std::string& name, int rate, int seconds)
{
    const std::vector<int16_t> signal = ToRecorderUnits(ReadChannel0(folder + "/" + name + ".dat"), rate);
    const std::vector<unsigned char> atr = ReadAll(folder + "/" + name + ".atr");
    std::vector<Beat> beats;
    for (const ecg::MitAnnotation& a : ecg::ParseMitAnnotations(atr.data(), atr.size()).annotations)
        if (ecg::IsMitBeat(a.code)) beats.push_back({a.sample * rate / 360, a.code});
    std::vector<Recording> out;
    const size_t length = static_cast<size_t>(seconds) * static_cast<size_t>(rate);
    if (length == 0 || beats.empty()) return out;
    for (size_t start = 0; start + length <= signal.size(); start += length) {
        Recording r;
        r.samples.assign(signal.begin() + static_cast<std::ptrdiff_t>(start),
                         signal.begin() + static_cast<std::ptrdiff_t>(start + length));
        for (const Beat& b : beats)
            if (b.sample >= static_cast<int64_t>(start) && b.sample < static_cast<int64_t>(start + length))
                r.reference.push_back({b.sample - static_cast<int64_t>(start), b.code});
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace beatscore
