#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Annotation files in the MIT format: 16-bit little-endian words, code in the top
// six bits, a ten-bit number below. Beat codes carry the time since the previous
// annotation; SKIP (59) carries a 32-bit interval in the next four bytes (high
// word first), NUM (60), SUB (61) and CHN (62) set fields without taking time,
// AUX (63) is followed by its text padded to an even length, and a zero word ends
// the file (unless an AUX text follows it: then it is a code-0 note at its
// time, which some writers put first to say how the file is to be read).
namespace ecg {

enum class MitCode : std::uint8_t {
    Normal = 1,
    Ventricular = 5,
    AtrialPremature = 8,
    Unclassifiable = 13,
    Skip = 59,
    Num = 60,
    Sub = 61,
    Chn = 62,
    Aux = 63,
};

struct MitAnnotation {
    std::int64_t sample = 0;  // samples since the start of the recording
    std::uint8_t code = 0;    // 1..49; 0 never appears (a zero word ends the file)
    std::int8_t subtype = 0;
    std::uint8_t chan = 0;
    std::uint8_t num = 0;
    std::string aux;
};

struct MitAnnotationRead {
    std::vector<MitAnnotation> annotations;  // in file order
    // False when the data ended inside a word, a SKIP interval or an AUX text, or
    // without the closing zero word: what was read before that point is kept.
    bool complete = false;
};

MitAnnotationRead ParseMitAnnotations(const std::uint8_t* data, std::size_t size);

// The one-letter name of an annotation code as annotation listings show it
// ("N" normal, "V" ventricular, "A" atrial premature, "Q" unclassifiable, "+"
// rhythm change, ...); "" for code 0 and "[code]" for codes without a name.
std::string MitMnemonic(unsigned code);

// True for the codes that mark a beat (a QRS complex), as opposed to rhythm,
// signal-quality, wave and comment annotations.
bool IsMitBeat(unsigned code);

// The file image of annotations in sample order: SKIP for gaps over 1,023
// samples, NUM/SUB/CHN only where they change, AUX where present, the closing
// zero word last. A code of 0 or above 49 is written as unclassifiable.
std::vector<std::uint8_t> EncodeMitAnnotations(const std::vector<MitAnnotation>& annotations);

}  // namespace ecg
