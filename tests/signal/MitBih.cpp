#include "MitBih.h"
#include "signal/MitAnnotations.h"
#include "tools/beatscore/MitRecords.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace mitbih {

std::string RecordFolder()
{
    const std::filesystem::path folder = std::filesystem::path(TALMON_SHARED_DATA_DIR) / "mitdb";
    return std::filesystem::is_directory(folder) ? folder.string() : std::string();
}

static std::vector<unsigned char> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<int> ReadChannel0(const std::string& datPath)
{
    return beatscore::ReadChannel0(datPath);
}

std::vector<Annotation> ReadAnnotations(const std::string& atrPath)
{
    const std::vector<unsigned char> bytes = ReadAll(atrPath);
    std::vector<Annotation> out;
    for (const ecg::MitAnnotation& a : ecg::ParseMitAnnotations(bytes.data(), bytes.size()).annotations)
        out.push_back({a.sample, a.code});
    return out;
}

bool IsBeat(int code) { return code >= 0 && ecg::IsMitBeat(static_cast<unsigned>(code)); }

std::vector<int16_t> ToRecorderUnits(const std::vector<int>& raw360, int rate)
{
    return beatscore::ToRecorderUnits(raw360, rate);
}

double Score::Sensitivity() const
{
    const int all = truePositives + falseNegatives;
    return all == 0 ? 1.0 : static_cast<double>(truePositives) / all;
}

double Score::PositivePredictivity() const
{
    const int all = truePositives + falsePositives;
    return all == 0 ? 1.0 : static_cast<double>(truePositives) / all;
}

Score& Score::operator+=(const Score& o)
{
    truePositives += o.truePositives;
    falseNegatives += o.falseNegatives;
    falsePositives += o.falsePositives;
    return *this;
}

Score ScoreBeats(const std::vector<int64_t>& reference, const std::vector<int64_t>& detected, int64_t window,
                 int64_t skip, int64_t end)
{
    Score s;
    std::vector<bool> used(detected.size(), false);
    // References outside the scored span still claim their detection, so
    // that a beat on the border is not counted as a false detection.
    for (int64_t r : reference) {
        int best = -1;
        int64_t bestDistance = window + 1;
        for (size_t j = 0; j < detected.size(); ++j) {
            const int64_t distance = std::llabs(detected[j] - r);
            if (!used[j] && distance <= window && distance < bestDistance) {
                best = static_cast<int>(j);
                bestDistance = distance;
            }
        }
        if (best >= 0) used[static_cast<size_t>(best)] = true;
        if (r < skip || r >= end) continue;
        if (best >= 0)
            ++s.truePositives;
        else
            ++s.falseNegatives;
    }
    for (size_t j = 0; j < detected.size(); ++j)
        if (!used[j] && detected[j] >= skip && detected[j] < end) ++s.falsePositives;
    return s;
}

}  // namespace mitbih
