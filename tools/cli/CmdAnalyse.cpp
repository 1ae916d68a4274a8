#include "store/FhrBlock.h"
#include "store/OpenRecording.h"
#include "store/RecordingAnalysis.h"
#include "tools/cli/Commands.h"

#include <algorithm>

namespace cli {
namespace {

const char* const kAnalyseUsage = "Usage: ecg-cli analyse [--json] [--beats] [--update] FILE...\n";

QString JsonString(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QStringLiteral("\\\""); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

QString JsonBool(bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); }

struct FileAnalysis {
    int sampleRate = 0;
    int seconds = 0;
    ManagerResults results;
};

// Beat numbers still held by the 200-slot series, oldest first.
struct StoredBeat {
    int32_t time;
    int type;
    int rr;
};
std::vector<StoredBeat> StoredBeats(const ManagerResults& r)
{
    std::vector<StoredBeat> beats;
    const int32_t first = std::max<int32_t>(0, r.beatCount - ManagerResults::kSlots);
    for (int32_t b = first; b < r.beatCount; ++b) {
        const size_t slot = static_cast<size_t>(b % ManagerResults::kSlots);
        beats.push_back({r.beatTime[slot], r.beatType[slot], r.RtoR[slot]});
    }
    return beats;
}

EdfProblem Analyse(const QString& path, bool update, FileAnalysis& out)
{
    if (update) {
        OpenedRecording opened;
        EdfProblem problem = OpenRecording(path, RecordingAnalysisHook(), true, opened);
        if (!problem.ok()) return problem;
        if (!opened.writeProblem.ok()) return opened.writeProblem;
        out.sampleRate = opened.record.Channels.front().SampleRate;
        out.seconds = opened.record.TotalSeconds;
        out.results = opened.results;
        return {};
    }
    EDF_RECORD record;
    EdfProblem problem = ReadRecording(path, record);
    if (!problem.ok()) return problem;
    FHR_BLOCK block;
    const bool hadBlock = ReadBlockForAnalysis(path, block);
    auto result = std::make_unique<ecg::AnalysisResult>();
    problem = AnalyseEdfRecord(record, PauseThresholdOf(block, hadBlock), *result);
    if (!problem.ok()) return problem;
    out.sampleRate = record.Channels.front().SampleRate;
    out.seconds = record.TotalSeconds;
    out.results = ToManagerResults(*result);
    return {};
}

void PrintJson(const QString& path, const FileAnalysis& a, bool withBeats, QTextStream& out)
{
    const ManagerResults& r = a.results;
    out << "{\"file\": " << JsonString(path) << ", \"sampleRate\": " << a.sampleRate << ", \"seconds\": " << a.seconds
        << ", \"heartRate\": " << r.HeartRate << ", \"rhythm\": " << JsonBool(r.RhythmFinding)
        << ", \"waveform\": " << JsonBool(r.WaveformFinding) << ", \"pause\": " << JsonBool(r.PauseFinding)
        << ", \"irregular\": " << JsonBool(r.IrregularFinding) << ", \"noise\": " << JsonBool(r.NoiseFinding)
        << ", \"unstable\": " << JsonBool(r.UnstableFinding) << ", \"weak\": " << JsonBool(r.WeakFinding)
        << ", \"ectopyGrade\": " << r.EctopyGrade << ", \"beatCount\": " << r.beatCount;
    if (withBeats) {
        out << ", \"beats\": [";
        bool first = true;
        for (const StoredBeat& b : StoredBeats(r)) {
            out << (first ? "" : ", ") << "{\"time\": " << b.time << ", \"type\": " << b.type << ", \"rr\": " << b.rr
                << "}";
            first = false;
        }
        out << "]";
    }
    out << "}\n";
}

void PrintText(const QString& path, const FileAnalysis& a, bool withBeats, QTextStream& out)
{
    const ManagerResults& r = a.results;
    QStringList findings;
    if (r.RhythmFinding) findings << QStringLiteral("rhythm");
    if (r.WaveformFinding) findings << QStringLiteral("waveform");
    if (r.PauseFinding) findings << QStringLiteral("pause");
    if (r.IrregularFinding) findings << QStringLiteral("irregular");
    if (r.NoiseFinding) findings << QStringLiteral("noise");
    if (r.UnstableFinding) findings << QStringLiteral("unstable");
    if (r.WeakFinding) findings << QStringLiteral("weak");
    out << path << "\n";
    out << "  sample rate:  " << a.sampleRate << " per second, " << a.seconds << " s\n";
    out << "  heart rate:   " << r.HeartRate << " per minute\n";
    out << "  findings:     " << (findings.isEmpty() ? QStringLiteral("none") : findings.join(QStringLiteral(", ")))
        << "\n";
    out << "  ectopy grade: " << r.EctopyGrade << "\n";
    out << "  beats:        " << r.beatCount << "\n";
    if (withBeats) {
        out << "  time(1/128 s)  type  RR(ms)\n";
        for (const StoredBeat& b : StoredBeats(r))
            out << "  " << QString::number(b.time).rightJustified(13) << "  " << QString::number(b.type).rightJustified(4)
                << "  " << QString::number(b.rr).rightJustified(6) << "\n";
    }
}

}  // namespace

int RunAnalyse(const QStringList& args, QTextStream& out, QTextStream& err)
{
    bool json = false, beats = false, update = false;
    QStringList files;
    for (const QString& a : args) {
        if (a == QLatin1String("--json"))
            json = true;
        else if (a == QLatin1String("--beats"))
            beats = true;
        else if (a == QLatin1String("--update"))
            update = true;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            out << kAnalyseUsage;
            return 0;
        } else if (a.startsWith(QLatin1String("--"))) {
            err << "Unknown option \"" << a << "\".\n" << kAnalyseUsage;
            return 2;
        } else
            files << a;
    }
    if (files.isEmpty()) {
        err << kAnalyseUsage;
        return 2;
    }
    int status = 0;
    for (const QString& path : files) {
        FileAnalysis analysis;
        const EdfProblem problem = Analyse(path, update, analysis);
        if (!problem.ok()) {
            status = 1;
            if (json)
                out << "{\"file\": " << JsonString(path) << ", \"error\": " << JsonString(problem.message()) << "}\n";
            else
                err << path << ": " << problem.message() << "\n";
            continue;
        }
        if (json)
            PrintJson(path, analysis, beats, out);
        else
            PrintText(path, analysis, beats, out);
    }
    out.flush();
    return status;
}

}  // namespace cli
