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
                 "Usage: beat-score [--folder DIR] [--rate 256|128] [--seconds N] [--analyser rhyscan|manager] RECORD...\n"
                 "Cuts each MIT-BIH record into recordings of N seconds (30) at the rate (256 per second),\n"
                 "analyses them and compares the beats with the reference within 150 ms, leaving the first\n"
                 "6 s and the last 1 s of each recording and ventricular flutter unscored. 'manager' is the manager's own beat typing\n"
                 "(abnormal as V, premature as S).\n");
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

}  // namespace

int main(int argc, char** argv)
{
    std::string folder = "../shared/data/mitdb", analyser = "rhyscan";
    int rate = 256, seconds = 30;
    std::vector<std::string> records;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--folder" && hasValue) folder = argv[++i];
        else if (a == "--rate" && hasValue) rate = std::atoi(argv[++i]);
        else if (a == "--seconds" && hasValue) seconds = std::atoi(argv[++i]);
        else if (a == "--analyser" && hasValue) analyser = argv[++i];
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
        for (const beatscore::Recording& r : pieces)
            counts += beatscore::ScorePiece(r, Analyse(analyser, r.samples, rate), rate);
        std::printf("%s\n", beatscore::TableLine(name, counts).c_str());
        gross += counts;
    }
    std::printf("%s\n", beatscore::TableLine("gross", gross).c_str());
    return 0;
}
