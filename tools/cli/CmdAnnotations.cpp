#include "tools/cli/Commands.h"

#include "signal/MitAnnotations.h"
#include "store/AnnotationFile.h"
#include "store/EdfRecord.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {
namespace {

const char* const kAnnotationsUsage =
    "Usage: ecg-cli annotations FILE.atr [--json] [--rate N]\n"
    "Lists sample, time, code and mnemonic of every annotation of an annotation file.\n"
    "Times need the sample rate: --rate N, else the rate of the recording beside the\n"
    "file (FILE.edf), else 256 per second.\n";

constexpr int kDefaultRate = 256;

// The recording the annotation file belongs to, when it lies beside it.
int RateOfRecordingBeside(const QString& atrPath, QString& recordingPath)
{
    const QString base = atrPath.left(std::max<qsizetype>(0, atrPath.size() - 4));
    for (const QString& suffix : {QStringLiteral(".edf"), QStringLiteral(".EDF")}) {
        EDF_RECORD record;
        if (QFileInfo::exists(base + suffix) && ReadEdfFile(base + suffix, record).ok() && !record.Channels.empty() &&
            record.Channels[0].SampleRate > 0) {
            recordingPath = base + suffix;
            return record.Channels[0].SampleRate;
        }
    }
    return 0;
}

// Seconds as m:ss.mmm (h:mm:ss.mmm from an hour on); negative times keep their sign.
QString TimeText(int64_t sample, int rate)
{
    const bool negative = sample < 0;
    const int64_t ms = (negative ? -sample : sample) * 1000 / rate;
    const int64_t h = ms / 3600000, m = ms / 60000 % 60, s = ms / 1000 % 60, f = ms % 1000;
    QString text = h > 0 ? QStringLiteral("%1:%2:%3.%4")
                               .arg(h)
                               .arg(m, 2, 10, QLatin1Char('0'))
                               .arg(s, 2, 10, QLatin1Char('0'))
                               .arg(f, 3, 10, QLatin1Char('0'))
                         : QStringLiteral("%1:%2.%3").arg(m).arg(s, 2, 10, QLatin1Char('0')).arg(f, 3, 10, QLatin1Char('0'));
    return negative ? QLatin1Char('-') + text : text;
}

}  // namespace

int RunAnnotations(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QString path;
    bool json = false;
    int rate = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--rate") && i + 1 < args.size()) {
            bool ok = false;
            rate = args[++i].toInt(&ok);
            if (!ok || rate < 1 || rate > 100000) {
                err << "The rate must be a whole number of samples per second from 1 to 100000.\n";
                return 2;
            }
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            out << kAnnotationsUsage;
            return 0;
        } else if (!a.startsWith(QLatin1String("--")) && path.isEmpty()) {
            path = a;
        } else {
            err << "Unexpected argument \"" << a << "\".\n" << kAnnotationsUsage;
            return 2;
        }
    }
    if (path.isEmpty()) {
        err << kAnnotationsUsage;
        return 2;
    }
    const std::optional<ecg::MitAnnotationRead> read = ReadMitAnnotationFile(path);
    if (!read) {
        err << path << ": cannot be opened.\n";
        return 1;
    }
    QString rateFrom = QStringLiteral("option");
    QString recordingPath;
    if (rate == 0) {
        rate = RateOfRecordingBeside(path, recordingPath);
        rateFrom = rate ? QStringLiteral("recording") : QStringLiteral("default");
        if (rate == 0) rate = kDefaultRate;
    }

    if (json) {
        QJsonArray list;
        for (const ecg::MitAnnotation& a : read->annotations) {
            QJsonObject o{{"sample", static_cast<qint64>(a.sample)},
                          {"time", static_cast<double>(a.sample) / rate},
                          {"code", a.code},
                          {"mnemonic", QString::fromStdString(ecg::MitMnemonic(a.code))}};
            if (!a.aux.empty()) o.insert("aux", QString::fromLatin1(a.aux.data(), static_cast<qsizetype>(a.aux.size())));
            list.append(o);
        }
        QJsonObject doc{{"file", path}, {"rate", rate}, {"rateFrom", rateFrom}, {"complete", read->complete},
                        {"annotations", list}};
        if (!recordingPath.isEmpty()) doc.insert("recording", recordingPath);
        out << QJsonDocument(doc).toJson(QJsonDocument::Indented);
    } else {
        out << "# " << path << ": " << read->annotations.size() << " annotations, times at " << rate
            << " samples per second"
            << (rateFrom == QLatin1String("recording") ? QStringLiteral(" (from %1)").arg(recordingPath)
                : rateFrom == QLatin1String("default") ? QStringLiteral(" (no recording beside it)")
                                                        : QString())
            << "\n";
        out << "sample\ttime\tcode\tmnemonic\n";
        for (const ecg::MitAnnotation& a : read->annotations) {
            out << a.sample << '\t' << TimeText(a.sample, rate) << '\t' << a.code << '\t'
                << QString::fromStdString(ecg::MitMnemonic(a.code));
            if (!a.aux.empty()) out << '\t' << QString::fromLatin1(a.aux.data(), static_cast<qsizetype>(a.aux.size()));
            out << '\n';
        }
    }
    if (!read->complete) err << path << ": the file ends early; the annotations before that point are listed.\n";
    return 0;
}

}  // namespace cli
