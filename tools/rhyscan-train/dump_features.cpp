// rhyscan-features: the training table of the beat classifier. Cuts MIT-BIH
// records into recorder recordings, finds and measures the beats with
// rhyscan's own code and writes one CSV line per beat: the record, the piece,
// whether the beat lies in the scored part of the piece, its reference class
// (AAMI letter, '-' for a detection without a reference beat) and its
// features. Reference beats the detector missed get a line with detected = 0,
// so that the scores computed from the table count them. --offset and --gain
// cut the same records otherwise (pieces starting later, a different signal
// size) for more varied training recordings.
#include "tools/beatscore/BeatScore.h"
#include "tools/beatscore/MitRecords.h"
#include "tools/rhyscan/BeatClassifier.h"
#include "tools/rhyscan/BeatFeatures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    std::string folder = "../shared/data/mitdb";
    int rate = 256, seconds = 30, offset = 0, first = 1;
    double gain = 1.0;
    while (first + 1 < argc && argv[first][0] == '-') {
        const std::string a = argv[first];
        if (a == "--folder") folder = argv[first + 1];
        else if (a == "--rate") rate = std::atoi(argv[first + 1]);
        else if (a == "--seconds") seconds = std::atoi(argv[first + 1]);
        else if (a == "--offset") offset = std::atoi(argv[first + 1]);
        else if (a == "--gain") gain = std::atof(argv[first + 1]);
        else break;
        first += 2;
    }
    if (first >= argc || (rate != 128 && rate != 256) || offset < 0 || !(gain > 0.0)) {
        std::fprintf(stderr, "Usage: rhyscan-features [--folder DIR] [--rate 256|128] [--seconds N] [--offset SECONDS] "
                             "[--gain G] RECORD... > table.csv\n");
        return 2;
    }
    std::printf("record,piece,scored,detected,reference");
    for (const char* name : rhy::FeatureNames()) std::printf(",%s", name);
    std::printf("\n");
    const int64_t window = rate * 150 / 1000;
    for (int i = first; i < argc; ++i) {
        const std::vector<beatscore::Recording> pieces = beatscore::CutRecord(folder, argv[i], rate, seconds, offset);
        if (pieces.empty()) {
            std::fprintf(stderr, "%s/%s: no record there.\n", folder.c_str(), argv[i]);
            return 1;
        }
        for (size_t p = 0; p < pieces.size(); ++p) {
            beatscore::Recording r = pieces[p];
            // The recorder's 12 bits around 2048: a larger gain saturates as a real one would.
            if (gain != 1.0)
                for (int16_t& v : r.samples)
                    v = static_cast<int16_t>(std::clamp(std::lround(2048.0 + (v - 2048) * gain), 0L, 4095L));
            const rhy::DetectedBeats detected = rhy::DetectBeats(r.samples, rate, 0, 4095, 2);
            const std::vector<int64_t>& at = detected.samples;
            const std::vector<rhy::BeatFeatureRow> rows = rhy::ComputeBeatFeatures(r.samples, rate, at, detected.types);
            std::vector<beatscore::Beat> test;
            for (int64_t t : at) test.push_back({t, 1});
            const std::vector<int> referenceOf = beatscore::PairBeats(r.reference, test, window);
            std::vector<bool> found(r.reference.size(), false);
            for (size_t b = 0; b < at.size(); ++b) {
                char cls = '-';
                int64_t scoredAt = at[b];
                if (referenceOf[b] >= 0) {
                    const beatscore::Beat& ref = r.reference[static_cast<size_t>(referenceOf[b])];
                    found[static_cast<size_t>(referenceOf[b])] = true;
                    cls = beatscore::kAamiLetters[beatscore::AamiOfMitCode(ref.code)];
                    scoredAt = ref.sample;
                }
                std::printf("%s,%zu,%d,1,%c", argv[i], p, beatscore::IsScored(r, scoredAt, rate) ? 1 : 0, cls);
                for (float v : rows[b]) std::printf(",%.9g", static_cast<double>(v));
                std::printf("\n");
            }
            for (size_t k = 0; k < r.reference.size(); ++k) {
                if (found[k]) continue;
                const int64_t s = r.reference[k].sample;
                std::printf("%s,%zu,%d,0,%c", argv[i], p, beatscore::IsScored(r, s, rate) ? 1 : 0,
                            beatscore::kAamiLetters[beatscore::AamiOfMitCode(r.reference[k].code)]);
                for (int f = 0; f < rhy::kFeatureCount; ++f) std::printf(",0");
                std::printf("\n");
            }
        }
    }
    return 0;
}
