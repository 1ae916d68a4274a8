// beat-score: scores the beat analysers on MIT-BIH records cut into recorder
// recordings, record by record and gross.
#include "signal/EveryBeat.h"
#include "tools/beatscore/BeatScore.h"
#include "tools/beatscore/MitRecords.h"
#include "tools/rhyscan/BeatClassifier.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "Usage: beat-score [--folder DIR] [--rate 256|128] [--seconds N] [--analyser rhyscan|manager] [--list] RECORD...\n"
                 "Cuts each MIT-BIH record into recordings of N seconds (30) at the rate (256 per second),\n"
                 "analyses them and compares the beats with the reference within 150 ms, leaving the first\n"
                 "6 s and the last 1 s of each recording and ventricular flutter unscored. 'manager' is the manager's own beat typing\n"
                 "(abnormal as V, premature as S). --list names every missed and extra beat.\n");
    return 2;
}

std::vector<beatscore::Beat> Analyse(const std::string& analyser, const std::vector<int16_t>& samples, int rate)
{
    std::vector<beatscore::Beat> out;
    if (analyser == "manager") {
        for (const ecg::TypedBeat& b : ecg::AnalyseEveryBeat(samples, rate, 0, 4095, 2))
            out.push_back({b.sample, ecg::MitCodeOfBeatType(b.type)});
    } else {
        for (const rhy::CodedBeat& b : rhy::ClassifyBeats(samples, rate, 0, 4095, 2)) out.push_back({b.sample, b.code});
    }
    return out;
}

// Each scored reference beat that was missed and each extra beat, with where
// it is (piece and second within the piece), for looking at them.
void ListMisses(const std::string& name, size_t piece, const beatscore::Recording& r,
                const std::vector<beatscore::Beat>& test, int rate)
{
    const std::vector<int> referenceOf = beatscore::PairBeats(r.reference, test, rate * 150 / 1000);
    std::vector<bool> found(r.reference.size(), false);
    for (size_t j = 0; j < test.size(); ++j) {
        if (referenceOf[j] >= 0) found[static_cast<size_t>(referenceOf[j])] = true;
        else if (beatscore::IsScored(r, test[j].sample, rate))
            std::printf("extra  %s piece %zu at %.2f s\n", name.c_str(), piece, static_cast<double>(test[j].sample) / rate);
    }
    for (size_t i = 0; i < r.reference.size(); ++i)
        if (!found[i] && beatscore::AamiOfMitCode(r.reference[i].code) != beatscore::kNone &&
            beatscore::IsScored(r, r.reference[i].sample, rate))
            std::printf("missed %s piece %zu at %.2f s (%c)\n", name.c_str(), piece,
                        static_cast<double>(r.reference[i].sample) / rate,
                        beatscore::kAamiLetters[beatscore::AamiOfMitCode(r.reference[i].code)]);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string folder = "../shared/data/mitdb", analyser = "rhyscan";
    int rate = 256, seconds = 30;
    bool listMisses = false;
    std::vector<std::string> records;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--folder" && hasValue) folder = argv[++i];
        else if (a == "--rate" && hasValue) rate = std::atoi(argv[++i]);
        else if (a == "--seconds" && hasValue) seconds = std::atoi(argv[++i]);
        else if (a == "--analyser" && hasValue) analyser = argv[++i];
        else if (a == "--list") listMisses = true;
        else if (!a.empty() && a[0] != '-') records.push_back(a);
        else return Usage();
    }
    if (records.empty() || (rate != 128 && rate != 256) || seconds < 8 ||
        (analyser != "rhyscan" && analyser != "manager"))
        return Usage();

    std::printf("%s\n", beatscore::TableHeader().c_str());
    beatscore::Counts gross;
    for (const std::string& name : records) {
        const std::vector<beatscore::Recording> pieces = beatscore::CutRecord(folder, name, rate, seconds);
        if (pieces.empty()) {
            std::fprintf(stderr, "%s/%s: no record there.\n", folder.c_str(), name.c_str());
            return 1;
        }
        beatscore::Counts counts;
        for (size_t p = 0; p < pieces.size(); ++p) {
            const beatscore::Recording& r = pieces[p];
            const std::vector<beatscore::Beat> test = Analyse(analyser, r.samples, rate);
            counts += beatscore::ScorePiece(r, test, rate);
            if (listMisses) ListMisses(name, p, r, test, rate);
        }
        std::printf("%s\n", beatscore::TableLine(name, counts).c_str());
        gross += counts;
    }
    std::printf("%s\n", beatscore::TableLine("gross", gross).c_str());
    return 0;
}
