// Annotation files in the MIT format: reading hand-made word sequences,
// writing and reading back, and the reference annotations of MIT-BIH 100.
#include "MitBih.h"
#include "signal/MitAnnotations.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Little-endian words; a value above 0xFFFF stands for one raw byte (its low byte).
Bytes Image(std::initializer_list<std::uint32_t> items)
{
    Bytes out;
    for (std::uint32_t v : items) {
        if (v > 0xFFFF) {
            out.push_back(std::uint8_t(v));
            continue;
        }
        out.push_back(std::uint8_t(v & 0xFF));
        out.push_back(std::uint8_t(v >> 8));
    }
    return out;
}
constexpr std::uint32_t B(std::uint8_t b) { return 0x10000u | b; }
constexpr std::uint32_t W(unsigned code, unsigned number) { return (code << 10) | number; }

struct Expected {
    std::int64_t sample;
    unsigned code;
};

struct ReadCase {
    const char* what;
    Bytes image;
    std::vector<Expected> annotations;
    bool complete;
};

TEST(MitAnnotations, ReadsWordSequences)
{
    const std::vector<ReadCase> cases = {
        {"two beats, intervals add up", Image({0x0405, 0x0403, 0}), {{5, 1}, {8, 1}}, true},
        {"no closing word: what was read is kept", Image({0x0405, 0x0403}), {{5, 1}, {8, 1}}, false},
        {"SKIP adds its 32-bit interval, high word first",
         Image({W(1, 10), W(59, 0), 0x0001, 0x1170, W(5, 3), 0}), {{10, 1}, {10 + 70000 + 3, 5}}, true},
        {"negative SKIP", Image({W(1, 1000), W(59, 0), 0xFFFF, 0xFF9C, W(8, 0), 0}), {{1000, 1}, {900, 8}}, true},
        {"AUX of 3 bytes skips 4 and takes no time",
         Image({W(1, 5), W(63, 3), B('(') , B('N'), B('x'), B(0), W(1, 3), 0}), {{5, 1}, {8, 1}}, true},
        {"NUM, SUB and CHN take no time", Image({W(1, 5), W(61, 2), W(62, 1), W(60, 4), W(13, 7), 0}),
         {{5, 1}, {12, 13}}, true},
        {"bytes after the closing word are not annotations", Image({W(1, 5), 0, W(5, 1)}), {{5, 1}}, true},
        {"ends inside a word", Image({W(1, 5), B(0x03)}), {{5, 1}}, false},
        {"ends inside a SKIP interval", Image({W(1, 5), W(59, 0), 0x0001}), {{5, 1}}, false},
        {"ends inside an AUX text", Image({W(1, 5), W(63, 4), B('a'), B('b')}), {{5, 1}}, false},
        {"a leading note at sample 0 is not the end", Image({0, W(63, 2), B('#'), B('#'), W(1, 9), 0}),
         {{0, 0}, {9, 1}}, true},
        {"empty file", Bytes{}, {}, false},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        const ecg::MitAnnotationRead r = ecg::ParseMitAnnotations(c.image.data(), c.image.size());
        ASSERT_EQ(r.annotations.size(), c.annotations.size());
        for (size_t i = 0; i < c.annotations.size(); ++i) {
            EXPECT_EQ(r.annotations[i].sample, c.annotations[i].sample) << i;
            EXPECT_EQ(r.annotations[i].code, c.annotations[i].code) << i;
        }
        EXPECT_EQ(r.complete, c.complete);
    }
}

TEST(MitAnnotations, FieldWordsApplyToTheAnnotationBeforeThemAndChanAndNumStay)
{
    const Bytes image = Image({W(1, 5), W(61, 0x3FF), W(62, 2), W(60, 7), W(63, 2), B('('), B('N'), W(5, 1),
                               W(1, 1), W(63, 3), B('('), B('N'), B(0), B(0), 0});
    const ecg::MitAnnotationRead r = ecg::ParseMitAnnotations(image.data(), image.size());
    ASSERT_EQ(r.annotations.size(), 3u);
    EXPECT_EQ(r.annotations[0].subtype, -1);
    EXPECT_EQ(r.annotations[0].chan, 2);
    EXPECT_EQ(r.annotations[0].num, 7);
    EXPECT_EQ(r.annotations[0].aux, "(N");
    EXPECT_EQ(r.annotations[1].subtype, 0);  // SUB is for its own annotation only
    EXPECT_EQ(r.annotations[1].chan, 2);
    EXPECT_EQ(r.annotations[1].num, 7);
    EXPECT_EQ(r.annotations[1].aux, "");
    EXPECT_EQ(r.annotations[2].aux, "(N");  // a counted closing NUL is not text
}

ecg::MitAnnotation Ann(std::int64_t sample, std::uint8_t code, std::int8_t subtype = 0, std::uint8_t chan = 0,
                       std::uint8_t num = 0, std::string aux = {})
{
    return {sample, code, subtype, chan, num, std::move(aux)};
}

TEST(MitAnnotations, WrittenFileReadsBackTheSameAnnotations)
{
    const std::vector<ecg::MitAnnotation> in = {
        Ann(0, 28, 0, 0, 0, "(N"),
        Ann(300, 1),
        Ann(1323, 5, -2),                   // gap of exactly 1023
        Ann(2347, 8, 0, 1),                 // 1024: needs a SKIP
        Ann(5'000'000'000, 13, 0, 1, 3),    // beyond 32 bits
        Ann(5'000'000'001, 1, 0, 1, 3, "odd"),
    };
    const Bytes image = ecg::EncodeMitAnnotations(in);
    ASSERT_GE(image.size(), 2u);
    EXPECT_EQ(image[image.size() - 2], 0);
    EXPECT_EQ(image[image.size() - 1], 0);
    EXPECT_EQ(image.size() % 2, 0u);

    const ecg::MitAnnotationRead r = ecg::ParseMitAnnotations(image.data(), image.size());
    EXPECT_TRUE(r.complete);
    ASSERT_EQ(r.annotations.size(), in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.annotations[i].sample, in[i].sample);
        EXPECT_EQ(r.annotations[i].code, in[i].code);
        EXPECT_EQ(r.annotations[i].subtype, in[i].subtype);
        EXPECT_EQ(r.annotations[i].chan, in[i].chan);
        EXPECT_EQ(r.annotations[i].num, in[i].num);
        EXPECT_EQ(r.annotations[i].aux, in[i].aux);
    }

    // Code 0 would end the file: it is written as unclassifiable.
    const Bytes zero = ecg::EncodeMitAnnotations({Ann(4, 0), Ann(9, 1)});
    const ecg::MitAnnotationRead z = ecg::ParseMitAnnotations(zero.data(), zero.size());
    ASSERT_EQ(z.annotations.size(), 2u);
    EXPECT_EQ(z.annotations[0].code, 13);
}

TEST(MitAnnotations, MnemonicsAndBeatCodes)
{
    struct Case {
        unsigned code;
        const char* mnemonic;
        bool beat;
    };
    for (const Case c : {Case{0, "", false}, Case{1, "N", true}, Case{5, "V", true}, Case{8, "A", true},
                         Case{13, "Q", true}, Case{12, "/", true}, Case{14, "~", false}, Case{15, "[15]", false},
                         Case{22, "\"", false}, Case{28, "+", false}, Case{34, "e", true}, Case{41, "r", true},
                         Case{42, "[42]", false}, Case{58, "[58]", false}}) {
        EXPECT_EQ(ecg::MitMnemonic(c.code), c.mnemonic) << c.code;
        EXPECT_EQ(ecg::IsMitBeat(c.code), c.beat) << c.code;
    }
}

TEST(MitAnnotations, MitBih100HasItsReferenceBeats)
{
    const std::string folder = mitbih::RecordFolder();
    if (folder.empty()) GTEST_SKIP() << "MIT-BIH records not present in " TALMON_SHARED_DATA_DIR;
    std::ifstream file(folder + "/100.atr", std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const ecg::MitAnnotationRead r = ecg::ParseMitAnnotations(bytes.data(), bytes.size());
    EXPECT_TRUE(r.complete);
    int beats = 0, normal = 0, atrial = 0, ventricular = 0;
    for (const ecg::MitAnnotation& a : r.annotations) {
        beats += ecg::IsMitBeat(a.code);
        normal += a.code == 1;
        atrial += a.code == 8;
        ventricular += a.code == 5;
    }
    EXPECT_EQ(beats, 2273);
    EXPECT_EQ(normal, 2239);
    EXPECT_EQ(atrial, 33);
    EXPECT_EQ(ventricular, 1);
    ASSERT_FALSE(r.annotations.empty());
    EXPECT_EQ(ecg::MitMnemonic(r.annotations.front().code), "+");
    EXPECT_EQ(r.annotations.front().aux, "(N");
    EXPECT_EQ(r.annotations.back().sample, 649991);  // last beat, about 30 min 5.5 s at 360/s
}

}  // namespace
