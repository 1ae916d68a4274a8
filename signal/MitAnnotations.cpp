#include "signal/MitAnnotations.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace ecg {

namespace {

constexpr int kCodeShift = 10;
constexpr unsigned kNumberMask = 0x3FF;
constexpr std::uint8_t kLastAnnotationCode = 49;

class WordReader {
public:
    WordReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool word(unsigned& out)
    {
        if (size_ - pos_ < 2) return false;
        out = unsigned(data_[pos_]) | (unsigned(data_[pos_ + 1]) << 8);
        pos_ += 2;
        return true;
    }
    bool skip(std::size_t n)
    {
        if (size_ - pos_ < n) return false;
        pos_ += n;
        return true;
    }
    const std::uint8_t* here() const { return data_ + pos_; }
    bool nextIsAux() const
    {
        return size_ - pos_ >= 2 && (unsigned(data_[pos_ + 1]) >> 2) == unsigned(MitCode::Aux);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Names of codes 0..41; the codes above are free for local use.
constexpr const char* kMnemonics[] = {
    "",  "N", "L", "R", "a", "V", "F", "J", "A", "S", "E", "j", "/", "Q", "~", "", "|", "", "s", "T", "*",
    "D", "\"", "=", "p", "B", "^", "t", "+", "u", "?", "!", "[", "]", "e", "n", "@", "x", "f", "(", ")", "r",
};

void putWord(std::vector<std::uint8_t>& out, unsigned code, unsigned number)
{
    const unsigned w = (code << kCodeShift) | (number & kNumberMask);
    out.push_back(std::uint8_t(w & 0xFF));
    out.push_back(std::uint8_t(w >> 8));
}

}  // namespace

MitAnnotationRead ParseMitAnnotations(const std::uint8_t* data, std::size_t size)
{
    MitAnnotationRead result;
    WordReader in(data, size);
    std::int64_t time = 0;
    std::uint8_t chan = 0, num = 0;
    unsigned w = 0;
    while (in.word(w)) {
        if (w == 0 && !in.nextIsAux()) {
            result.complete = true;
            break;
        }
        const unsigned code = w >> kCodeShift;
        const unsigned number = w & kNumberMask;
        MitAnnotation* last = result.annotations.empty() ? nullptr : &result.annotations.back();
        switch (code) {
        case unsigned(MitCode::Skip): {
            unsigned high = 0, low = 0;
            if (!in.word(high) || !in.word(low)) return result;
            time += std::int32_t((high << 16) | low);
            break;
        }
        case unsigned(MitCode::Num):
            num = std::uint8_t(number);
            if (last) last->num = num;
            break;
        case unsigned(MitCode::Sub):
            if (last) last->subtype = std::int8_t(number);
            break;
        case unsigned(MitCode::Chn):
            chan = std::uint8_t(number);
            if (last) last->chan = chan;
            break;
        case unsigned(MitCode::Aux): {
            const std::size_t length = number + (number & 1u);
            const std::uint8_t* text = in.here();
            if (!in.skip(length)) return result;
            // The text is a C string: writers may count its closing NUL.
            std::size_t textLength = 0;
            while (textLength < number && text[textLength] != 0) ++textLength;
            if (last) last->aux.assign(reinterpret_cast<const char*>(text), textLength);
            break;
        }
        default: {
            time += number;
            MitAnnotation a;
            a.sample = time;
            a.code = std::uint8_t(code);
            a.chan = chan;
            a.num = num;
            result.annotations.push_back(std::move(a));
            break;
        }
        }
    }
    return result;
}

std::vector<std::uint8_t> EncodeMitAnnotations(const std::vector<MitAnnotation>& annotations)
{
    std::vector<std::uint8_t> out;
    out.reserve(annotations.size() * 2 + 2);
    std::int64_t time = 0;
    std::uint8_t chan = 0, num = 0;
    for (const MitAnnotation& a : annotations) {
        std::int64_t interval = a.sample - time;
        unsigned code = a.code;
        if (code == 0 || code > kLastAnnotationCode) code = unsigned(MitCode::Unclassifiable);
        // A SKIP carries 32 bits; longer gaps take several.
        while (interval < 0 || interval > std::int64_t(kNumberMask)) {
            const std::int64_t step = std::clamp<std::int64_t>(interval, INT32_MIN, INT32_MAX);
            const auto skip = std::uint32_t(std::int32_t(step));
            putWord(out, unsigned(MitCode::Skip), 0);
            out.push_back(std::uint8_t((skip >> 16) & 0xFF));
            out.push_back(std::uint8_t(skip >> 24));
            out.push_back(std::uint8_t(skip & 0xFF));
            out.push_back(std::uint8_t((skip >> 8) & 0xFF));
            interval -= step;
        }
        putWord(out, code, unsigned(interval));
        time = a.sample;
        if (a.subtype != 0) putWord(out, unsigned(MitCode::Sub), unsigned(std::uint8_t(a.subtype)));
        if (a.chan != chan) putWord(out, unsigned(MitCode::Chn), a.chan);
        if (a.num != num) putWord(out, unsigned(MitCode::Num), a.num);
        chan = a.chan;
        num = a.num;
        if (!a.aux.empty()) {
            const std::size_t length = std::min<std::size_t>(a.aux.size(), 255);
            putWord(out, unsigned(MitCode::Aux), unsigned(length));
            out.insert(out.end(), a.aux.begin(), a.aux.begin() + std::ptrdiff_t(length));
            if (length & 1u) out.push_back(0);
        }
    }
    putWord(out, 0, 0);
    return out;
}

std::string MitMnemonic(unsigned code)
{
    if (code < std::size(kMnemonics) && (code == 0 || kMnemonics[code][0] != '\0')) return kMnemonics[code];
    return "[" + std::to_string(code) + "]";
}

bool IsMitBeat(unsigned code)
{
    switch (code) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9: case 10: case 11: case 12: case 13:
    case 25: case 30: case 34: case 35: case 38: case 41:
        return true;
    default:
        return false;
    }
}

}  // namespace ecg
