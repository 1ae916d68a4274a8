#pragma once
#include <cstdint>
#include <vector>

// Synthetic single-lead ECG in the recorder's units, for tests and the demo
// recorder: P-QRS-T beats built from Gaussian waves, a heart rate with beat
// to beat variability, premature ventricular and atrial beats (also as
// bigeminy or trigeminy), pauses, an irregular rhythm, baseline wander,
// noise, mains hum, weak amplitude and saturation. The same options and seed
// always give the same samples.
namespace sim {

enum class BeatKind : uint8_t {
    Normal,
    PrematureVentricular,  // early, no P wave, wide QRS, discordant T, compensatory pause
    PrematureAtrial,       // early, abnormal P wave, normal QRS, the sinus node resets
};

enum class EctopyPattern : uint8_t {
    None,
    VentricularBigeminy,   // every second beat premature ventricular
    VentricularTrigeminy,  // every third beat premature ventricular
    AtrialBigeminy,        // every second beat premature atrial
};

struct SynthOptions {
    int sampleRate = 256;              // 128 or 256 samples per second
    double seconds = 30.0;             // length of the recording
    double heartRate = 72.0;           // sinus rate, beats per minute
    double variability = 0.02;         // standard deviation of RR, fraction of the mean RR
    uint32_t seed = 1;

    double amplitude = 1.0;            // scale of the whole complex; R wave is 1.2 mV at 1.0
    double pvcProbability = 0.0;       // chance that a sinus beat is replaced by a PVC
    double pacProbability = 0.0;       // chance that a sinus beat is replaced by a PAC
    EctopyPattern pattern = EctopyPattern::None;
    double pvcCoupling = 0.60;         // PVC comes after this fraction of the RR
    double pacCoupling = 0.70;         // PAC comes after this fraction of the RR

    std::vector<double> pausesAt;      // seconds: the first beat after each time is delayed
    double pauseSeconds = 3.0;         // RR of such a pause

    bool irregular = false;            // atrial-fibrillation-like: random RR, no P waves
    double irregularSpread = 0.35;     // RR drawn uniformly within mean x (1 +- spread)

    double wanderMv = 0.0;             // baseline wander amplitude, mV
    double wanderHz = 0.3;
    double noiseMv = 0.0;              // white noise, standard deviation in mV
    double mainsMv = 0.0;              // mains hum amplitude, mV
    double mainsHz = 50.0;

    // Stretches driven into the converter's limit (value 4095), e.g. an electrode
    // coming off: pairs of start and end in seconds.
    std::vector<std::pair<double, double>> saturated;
};

struct SynthBeat {
    int64_t sample = 0;  // R peak, sample index at the output rate
    BeatKind kind = BeatKind::Normal;
};

struct SynthResult {
    std::vector<int16_t> samples;  // 186 units per mV around 2048, clipped to 0..4095
    std::vector<SynthBeat> beats;  // every beat whose R peak lies inside the recording
};

// Recorder units.
inline constexpr int kUnitsPerMv = 186;
inline constexpr int kBaselineUnits = 2048;
inline constexpr int kMaxUnits = 4095;

SynthResult SynthesiseEcg(const SynthOptions& options);

// Only the samples.
std::vector<int16_t> SynthesiseEcgSamples(const SynthOptions& options);

}  // namespace sim
