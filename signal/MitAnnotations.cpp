#include "signal/MitAnnotations.h"

#include <algorithm>

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

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
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
        if (w == 0) {
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
            if (last) last->aux.assign(reinterpret_cast<const char*>(text), number);
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
        if (interval < 0 || interval > std::int64_t(kNumberMask)) {
            const auto skip = std::uint32_t(std::int32_t(interval));
            putWord(out, unsigned(MitCode::Skip), 0);
            out.push_back(std::uint8_t((skip >> 16) & 0xFF));
            out.push_back(std::uint8_t(skip >> 24));
            out.push_back(std::uint8_t(skip & 0xFF));
            out.push_back(std::uint8_t((skip >> 8) & 0xFF));
            interval = 0;
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

}  // namespace ecg
