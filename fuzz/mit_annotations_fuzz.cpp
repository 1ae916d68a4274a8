// Fuzzes the annotation file reader: any byte string gives the annotations up
// to where it stops making sense, never a crash or a read out of bounds, and
// what was read, written again, reads back the same.
#include "signal/MitAnnotations.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ecg::MitAnnotationRead first = ecg::ParseMitAnnotations(data, size);
    for (ecg::MitAnnotation& a : first.annotations) {
        if (a.code == 0 || a.code > 49) a.code = 13;  // how the writer stores codes it cannot
        if (a.aux.size() > 255) a.aux.resize(255);  // the longest text the writer stores
    }
    const std::vector<uint8_t> image = ecg::EncodeMitAnnotations(first.annotations);
    const ecg::MitAnnotationRead again = ecg::ParseMitAnnotations(image.data(), image.size());
    if (!again.complete || again.annotations.size() != first.annotations.size()) std::abort();
    for (size_t i = 0; i < again.annotations.size(); ++i) {
        const ecg::MitAnnotation& a = first.annotations[i];
        const ecg::MitAnnotation& b = again.annotations[i];
        if (a.sample != b.sample || a.code != b.code || a.subtype != b.subtype || a.chan != b.chan ||
            a.num != b.num || a.aux != b.aux)
            std::abort();
        (void)ecg::MitMnemonic(a.code);
    }
    return 0;
}
