#include "tools/cli/Commands.h"

#include "store/EdfRecord.h"
#include "store/FhrBlock.h"
#include "store/RecordingLibrary.h"
#include "store/RecordingLocation.h"
#include "store/QuotedValue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace cli {
namespace {

QJsonObject recorderFields(const FHR_BLOCK& block)
{
    const DEVICE_RECORD_HEADER h = block.header();
    using H = DEVICE_RECORD_HEADER;
    auto bcd = [&](int offset) { return QString::number(h.u8(offset), 16).rightJustified(2, QLatin1Char('0')); };
    return QJsonObject{
        {"deviceId", DeviceIdText(h.deviceNumber())},
        {"date", "20" + bcd(H::YearBcd) + "-" + bcd(H::MonthBcd) + "-" + bcd(H::DayBcd)},
        {"time", bcd(H::HourBcd) + ":" + bcd(H::MinuteBcd) + ":" + bcd(H::SecondBcd)},
        {"sampleRate", h.sampleRate()},
        {"dataBytes", static_cast<qint64>(h.dataByteCount())},
        {"physMin", h.physMin()},
        {"physMax", h.physMax()},
        {"digMin", h.digMin()},
        {"digMax", h.digMax()},
        {"noise", h.u8(H::NoiseFinding)},
        {"heartRate", h.u8(H::HeartRate)},
        {"tachyThreshold", h.u8(H::TachyThreshold)},
        {"bradyThreshold", h.u8(H::BradyThreshold)},
        {"pause", h.u8(H::PauseFinding)},
        {"pauseThreshold", h.u8(H::PauseThreshold)},
        {"rhythm", h.u8(H::RhythmFinding)},
        {"waveform", h.u8(H::WaveformFinding)},
        {"signalQuality", h.u8(H::SignalQuality)},
        {"tachycardia", h.u8(H::TachyFinding)},
        {"bradycardia", h.u8(H::BradyFinding)},
        {"uploaded", block.uploadedMarker()},
    };
}

QJsonObject managerFields(const FHR_BLOCK& block)
{
    using B = FHR_BLOCK;
    const auto& b = block.Bytes;
    return QJsonObject{
        {"analysed", b[B::AnalysedMark]},
        {"heartRate", b[B::ManagerHeartRate]},
        {"rhythm", b[B::ManagerRhythm]},
        {"waveform", b[B::ManagerWaveform]},
        {"summaryCode", b[B::SummaryCode]},
        {"ectopyGrade", b[B::ManagerEctopyGrade]},
        {"otherTypeBeats", b[B::OtherTypeBeats]},
        {"normalBeats", b[B::NormalBeats]},
        {"beatCount", block.u16(B::BeatCountWord)},
        {"highestRate", b[B::HighestRate]},
        {"lowestRate", b[B::LowestRate]},
        {"irregular", b[B::ManagerIrregular]},
        {"pause", b[B::ManagerPause]},
    };
}

QJsonObject describe(const QString& path, const EDF_RECORD& r, bool hasBlock, const FHR_BLOCK& block)
{
    const EDF_CHANNEL& c1 = r.Channels[0];
    QJsonArray channels;
    for (const EDF_CHANNEL& c : r.Channels)
        channels.append(QJsonObject{{"sampleRate", c.SampleRate},
                                    {"sampleCount", c.SampleCount},
                                    {"physDimension", c.PhysDimension},
                                    {"physMin", c.PhysMin},
                                    {"physMax", c.PhysMax},
                                    {"digMin", c.DigMin},
                                    {"digMax", c.DigMax}});
    QJsonObject o{{"file", path},
                  {"patientId", r.PatientId},
                  {"recordingId", r.RecordingId},
                  {"startDate", r.StartDate},
                  {"startTime", r.StartTime},
                  {"recordedOn", RecordDateText(r.StartDate, r.StartTime)},
                  {"recordCount", r.RecordCount},
                  {"recordSeconds", r.RecordSeconds},
                  {"seconds", r.TotalSeconds},
                  {"signalCount", r.SignalCount},
                  {"sampleRate", c1.SampleRate},
                  {"sampleCount", c1.SampleCount},
                  {"channels", channels},
                  {"hasBlock", hasBlock}};
    if (hasBlock) {
        o.insert("recorder", recorderFields(block));
        o.insert("manager", managerFields(block));
    }
    return o;
}

QString valueText(const QJsonValue& v)
{
    if (v.isString()) {
        // A header field may carry control characters; they must not reach
        // the terminal as escape sequences. Plain text stays unquoted.
        const QString text = v.toString();
        const bool plain = std::none_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.category() == QChar::Other_Control;
        });
        return plain ? text : QuotedValue(text);
    }
    if (v.isBool()) return v.toBool() ? "yes" : "no";
    return QString::number(v.toDouble(), 'g', 12);
}

// The text form lists the fields in file order, not alphabetically.
void printFields(const QJsonObject& o, const char* const* keys, QTextStream& out, const QString& indent)
{
    for (; *keys; ++keys)
        if (o.contains(*keys)) out << indent << *keys << ": " << valueText(o[*keys]) << "\n";
}

void printText(const QJsonObject& o, QTextStream& out)
{
    static const char* const header[] = {"file", "patientId", "recordingId", "startDate", "startTime", "recordedOn",
                                         "recordCount", "recordSeconds", "seconds", "signalCount", "sampleRate",
                                         "sampleCount", "hasBlock", "opened", nullptr};
    static const char* const channel[] = {"sampleRate", "sampleCount", "physDimension", "physMin", "physMax",
                                          "digMin", "digMax", nullptr};
    static const char* const recorder[] = {"deviceId", "date", "time", "sampleRate", "dataBytes", "physMin",
                                           "physMax", "digMin", "digMax", "heartRate", "tachyThreshold",
                                           "bradyThreshold", "pauseThreshold", "noise", "pause", "rhythm",
                                           "waveform", "signalQuality", "tachycardia", "bradycardia", "uploaded",
                                           nullptr};
    static const char* const manager[] = {"analysed", "heartRate", "rhythm", "waveform", "pause", "irregular",
                                          "summaryCode", "ectopyGrade", "beatCount", "normalBeats",
                                          "otherTypeBeats", "highestRate", "lowestRate", nullptr};
    printFields(o, header, out, "");
    const QJsonArray channels = o["channels"].toArray();
    for (qsizetype i = 0; i < channels.size(); ++i) {
        out << "signal " << (i + 1) << ":\n";
        printFields(channels[i].toObject(), channel, out, "  ");
    }
    if (o.contains("recorder")) {
        out << "recorder:\n";
        printFields(o["recorder"].toObject(), recorder, out, "  ");
        out << "manager:\n";
        printFields(o["manager"].toObject(), manager, out, "  ");
    }
}

}  // namespace

int RunInfo(const QStringList& args, QTextStream& out, QTextStream& err)
{
    bool json = false;
    QStringList files;
    for (const QString& a : args) {
        if (a == "--json") json = true;
        else if (a.startsWith("--") && a.size() > 2) {
            err << "Unknown option \"" << a << "\".\nUsage: ecg-cli info [--json] FILE...\n";
            return 2;
        } else files << a;
    }
    if (files.isEmpty()) {
        err << "Usage: ecg-cli info [--json] FILE...\n";
        return 2;
    }
    int status = 0;
    for (const QString& path : files) {
        EDF_RECORD record;
        const EdfProblem problem = ReadRecording(path, record);
        if (!problem.ok()) {
            status = 1;
            err << path << ": " << problem.message() << "\n";
            if (json)
                out << QJsonDocument(QJsonObject{{"file", path}, {"error", problem.message()}}).toJson(QJsonDocument::Compact)
                    << "\n";
            continue;
        }
        FHR_BLOCK block;
        const bool hasBlock = ReadFhrBlock(path, block) || ReadTrailingBlock(path, block);
        QJsonObject o = describe(path, record, hasBlock, block);
        o.insert("opened", hasBlock && block.Bytes[FHR_BLOCK::AnalysedMark] == 1);
        if (json) {
            out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
        } else {
            printText(o, out);
            out << "\n";
        }
    }
    out.flush();
    return status;
}
}  // namespace cli
