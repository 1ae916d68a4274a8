#include "device/FirmwareImageFile.h"
#include "device/protocol/FirmwareImage.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace device::protocol;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Body(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return b;
}

TEST(FirmwareImage, ChecksumMatchesAnIndependentComputation)
{
    // Worked out apart from this code: header 55 AA 00 00 03 00 and zeros, body 01 02 03.
    std::uint8_t header[FirmwareHeaderSize]{0x55, 0xAA, 0, 0, 3};
    const std::uint8_t body[] = {1, 2, 3};
    EXPECT_EQ(FirmwareChecksum(header, body, 3), 0x76E83812u);
    // The stored checksum bytes themselves do not enter it.
    header[125] = 0x99;
    EXPECT_EQ(FirmwareChecksum(header, body, 3), 0x76E83812u);
}

TEST(FirmwareImage, CheckTable)
{
    const Bytes good = BuildFirmwareImageFile(Body(1000));
    struct Case {
        std::string name;
        std::function<Bytes()> file;
        ImageFault expected;
    };
    const std::vector<Case> cases = {
        {"good", [&] { return good; }, ImageFault::None},
        {"one byte body", [] { return BuildFirmwareImageFile(Body(1)); }, ImageFault::None},
        {"largest body", [] { return BuildFirmwareImageFile(Body(65535)); }, ImageFault::None},
        {"bad magic 55 AB", [&] { Bytes f = good; f[1] = 0xAB; return f; }, ImageFault::BadMagic},
        {"bad magic first byte", [&] { Bytes f = good; f[0] = 0xAA; return f; }, ImageFault::BadMagic},
        {"one byte too long", [&] { Bytes f = good; f.push_back(0); return f; }, ImageFault::LengthMismatch},
        {"one byte too short", [&] { Bytes f = good; f.pop_back(); return f; }, ImageFault::LengthMismatch},
        {"header only", [&] { return Bytes(good.begin(), good.begin() + 128); }, ImageFault::LengthMismatch},
        {"short header", [&] { return Bytes(good.begin(), good.begin() + 127); }, ImageFault::ShortHeader},
        {"empty file", [] { return Bytes{}; }, ImageFault::ShortHeader},
        {"length 0 with a valid checksum", [] { return BuildFirmwareImageFile({}); }, ImageFault::EmptyBody},
        {"body byte changed", [&] { Bytes f = good; f[128 + 500] ^= 1; return f; }, ImageFault::BadChecksum},
        {"checksum byte changed", [&] { Bytes f = good; f[127] ^= 0x80; return f; }, ImageFault::BadChecksum},
        {"unused header bytes changed, not re-signed", [&] { Bytes f = good; f[2] = 7; return f; },
         ImageFault::BadChecksum},
        {"unused header bytes arbitrary, re-signed",
         [&] {
             Bytes f = good;
             f[2] = 0xDE;
             f[3] = 0xAD;
             for (std::size_t i = 6; i < 124; ++i)
                 f[i] = static_cast<std::uint8_t>(i);
             SignFirmwareHeader(f.data(), f.data() + 128, 1000);
             return f;
         },
         ImageFault::None},
    };
    for (const Case& c : cases) {
        const Bytes f = c.file();
        FirmwareImage image;
        image.length = 4242;
        EXPECT_EQ(CheckFirmwareImage(f.data(), f.size(), &image), c.expected) << c.name;
        if (c.expected == ImageFault::None) {
            const std::size_t length = f.size() - FirmwareHeaderSize;
            EXPECT_EQ(image.length, length) << c.name;
            ASSERT_EQ(image.body.size(), FirmwareBodyCapacity) << c.name;
            EXPECT_TRUE(std::equal(image.body.begin(), image.body.begin() + static_cast<std::ptrdiff_t>(length),
                                   f.begin() + FirmwareHeaderSize))
                << c.name;
            EXPECT_TRUE(std::all_of(image.body.begin() + static_cast<std::ptrdiff_t>(length), image.body.end(),
                                    [](std::uint8_t b) { return b == 0; }))
                << c.name;
            EXPECT_TRUE(std::equal(image.header.begin(), image.header.end(), f.begin())) << c.name;
        } else {
            EXPECT_EQ(image.length, 4242) << c.name << ": a refused image leaves the output alone";
        }
    }
    EXPECT_THROW(BuildFirmwareImageFile(Body(65536)), std::length_error);
}

TEST(FirmwareImage, FileReaderTable)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto write = [&](const char* name, const Bytes& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return f.fileName();
    };
    const Bytes largest = BuildFirmwareImageFile(Body(65535));
    Bytes trailing = largest;
    trailing.push_back(0);  // a valid image with one byte after it: the reader must see that byte
    QDir(dir.path()).mkdir("folder");
    using R = device::FirmwareImageFile::Result;
    struct Case {
        const char* name;
        QString path;
        R result;
        ImageFault fault;
    } cases[] = {
        {"largest valid", write("largest.rom", largest), R::Ok, ImageFault::None},
        {"largest plus one byte", write("trailing.rom", trailing), R::Refused, ImageFault::LengthMismatch},
        {"bad checksum", write("bad.rom", [&] { Bytes f = largest; f[300] ^= 1; return f; }()), R::Refused,
         ImageFault::BadChecksum},
        {"missing", dir.filePath("none.rom"), R::OpenFailed, ImageFault::None},
        {"a folder", dir.filePath("folder"), R::OpenFailed, ImageFault::None},
    };
    for (const Case& c : cases) {
        const device::FirmwareImageFile f = device::ReadFirmwareImageFile(c.path);
        EXPECT_EQ(f.result, c.result) << c.name;
        EXPECT_EQ(f.fault, c.fault) << c.name;
        EXPECT_EQ(f.ok(), c.result == R::Ok) << c.name;
        if (f.ok()) {
            EXPECT_EQ(f.image.length, 65535) << c.name;
        }
    }
}

}  // namespace
