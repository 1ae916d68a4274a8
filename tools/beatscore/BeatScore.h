#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Beat-by-beat comparison of an analyser's beats with reference annotations:
// each reference beat is paired with the nearest unpaired test beat within the
// matching window, and the pairs are counted by AAMI class. From the counts
// come sensitivity (Se) and positive predictivity (+P) of beat detection (QRS),
// ventricular ectopic beats (VEB: MIT V, E) and supraventricular ectopic beats
// (SVEB: MIT A, a, J, S, n).
namespace beatscore {

// AAMI classes, and the column for "no beat" (a missed or an extra beat).
enum Aami : int { kN = 0, kS = 1, kV = 2, kF = 3, kQ = 4, kNone = 5 };
inline constexpr char kAamiLetters[] = "NSVFQ-";

// The AAMI class of an MIT beat code, kNone for codes that are not beats.
Aami AamiOfMitCode(int code);

struct Beat {
    int64_t sample = 0;
    int code = 0;  // MIT code
};

// counts[reference][test]; [kNone][c] are test beats with no reference beat,
// [c][kNone] reference beats that were missed.
struct Counts {
    std::array<std::array<int64_t, 6>, 6> counts{};
    Counts& operator+=(const Counts& o);
};

// For each test beat, the index of the reference beat it is paired with, or
// -1. Both lists in ascending order of sample.
std::vector<int> PairBeats(const std::vector<Beat>& reference, const std::vector<Beat>& test, int64_t window);

// Both lists in ascending order of sample. Only reference beats in
// [scoredFrom, scoredTo), and extra test beats in it, are counted; beats
// outside still take part in pairing, so that a beat on the border is
// neither missed nor extra.
Counts CompareBeats(const std::vector<Beat>& reference, const std::vector<Beat>& test, int64_t window,
                    int64_t scoredFrom, int64_t scoredTo);

struct Rates {
    int64_t truePositives = 0, falseNegatives = 0, falsePositives = 0;
    double Sensitivity() const;             // 1 when there is nothing to find
    double PositivePredictivity() const;    // 1 when nothing was claimed
};

// QRS: any beat against any beat. VEB: reference V against test V; a test V
// on a reference fusion or unclassifiable beat counts neither way. SVEB:
// reference S against test S; a test S on a reference unclassifiable beat
// counts neither way.
Rates Qrs(const Counts& c);
Rates Veb(const Counts& c);
Rates Sveb(const Counts& c);

// One line "name  QRS Se +P  VEB Se +P  SVEB Se +P" (percentages; "-" where
// nothing was there to find or claim), and the header for such lines.
std::string TableHeader();
std::string TableLine(const std::string& name, const Counts& c);

}  // namespace beatscore
