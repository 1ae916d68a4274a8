#pragma once
// Small recordings made by code for the store tests.
#include "store/DeviceRecordHeader.h"
#include "store/EdfWriter.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QString>
#include <cmath>
#include <vector>

namespace fixtures {

// A recorder header as the download hands it over: device A1F3, recorded
// 7 May 2013 at 14:25:30, with the recorder's own findings.
inline DEVICE_RECORD_HEADER recorderHeader(uint32_t sampleCount, uint16_t rate = 256)
{
    using H = DEVICE_RECORD_HEADER;
    H h;
    for (int i = 0; i < H::Size; ++i) h.Bytes[i] = static_cast<uint8_t>(i * 7 + 3);  // bytes nobody interprets
    h.Bytes[1] = h.Bytes[2] = h.Bytes[3] = 0;
    h.setU32(H::DeviceNumber, 0xA1F3);
    h.setU8(H::YearBcd, 0x13);
    h.setU8(H::MonthBcd, 0x05);
    h.setU8(H::DayBcd, 0x07);
    h.setU8(H::HourBcd, 0x14);
    h.setU8(H::MinuteBcd, 0x25);
    h.setU8(H::SecondBcd, 0x30);
    h.setU16(H::SampleRate, rate);
    h.setU16(H::PhysMin, static_cast<uint16_t>(-11000));
    h.setU16(H::PhysMax, 11000);
    h.setU16(H::DigMin, 0);
    h.setU16(H::DigMax, 4095);
    h.setU32(H::DataByteCount, sampleCount * 2);
    h.setU8(H::HeartRate, 72);
    h.setU8(H::TachyThreshold, 120);
    h.setU8(H::BradyThreshold, 50);
    h.setU8(H::PauseFinding, 0);
    h.setU8(H::PauseThreshold, 3);
    h.setU8(H::RhythmFinding, 1);
    h.setU8(H::WaveformFinding, 0);
    h.setU8(H::SignalQuality, 16);
    return h;
}

inline std::vector<int16_t> wave(int count, int rate = 256)
{
    std::vector<int16_t> s(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        s[static_cast<size_t>(i)] = static_cast<int16_t>(2048 + 600 * std::sin(i * 2 * M_PI * 1.2 / rate) + (i % 7));
    return s;
}

inline QByteArray littleEndian(const std::vector<int16_t>& samples)
{
    return LittleEndianSamples(samples);
}

inline QByteArray series()
{
    QByteArray s(1600, '\0');
    for (int i = 0; i < 1600; ++i) s[i] = static_cast<char>(i % 251);
    return s;
}

// Writes a downloaded recording and returns its samples.
inline std::vector<int16_t> writeDownloaded(const QString& path, int count, uint16_t rate = 256)
{
    const std::vector<int16_t> s = wave(count, rate);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const EdfProblem p = WriteDownloadedEdf(path, recorderHeader(static_cast<uint32_t>(count), rate), littleEndian(s), series());
    if (!p.ok()) qFatal("fixture: %s", qPrintable(p.message()));
    return s;
}

// A plain EDF file as other programs write it: `records` data records of
// one second, one signal.
inline QByteArray foreignEdf(int rate, int records, const std::vector<int16_t>& samples, const char* date = "07.05.13",
                             const char* time = "14.25.30")
{
    QByteArray h(512, ' ');
    auto put = [&](int off, const QByteArray& t) { h.replace(off, t.size(), t); };
    put(0, "0");
    put(8, "X X X X");
    put(88, "Startdate X");
    put(168, date);
    put(176, time);
    put(184, "512");
    put(236, QByteArray::number(records));
    put(244, "1");
    put(252, "1");
    put(256, "ECG");
    put(352, "uV");
    put(360, "-3200");
    put(368, "3200.5");
    put(376, "-32768");
    put(384, "32767");
    put(472, QByteArray::number(rate));
    return h + littleEndian(samples);
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) qFatal("fixture: cannot write %s", qPrintable(path));
    f.write(bytes);
}

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace fixtures
