#include "store/AnnotationFile.h"

#include "store/EdfWriter.h"
#include "store/RecordingAnalysis.h"

#include <QFile>
#include <algorithm>

QString AnnotationPath(const QString& recordingPath)
{
    return recordingPath.left(std::max<qsizetype>(0, recordingPath.size() - 4)) + QStringLiteral(".atr");
}

std::optional<ecg::MitAnnotationRead> ReadMitAnnotationFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    return ecg::ParseMitAnnotations(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size()));
}

EdfProblem WriteMitAnnotationFile(const QString& path, const std::vector<ecg::MitAnnotation>& annotations)
{
    const std::vector<std::uint8_t> image = ecg::EncodeMitAnnotations(annotations);
    return WriteFileAtomically(path, QByteArray(reinterpret_cast<const char*>(image.data()),
                                                static_cast<qsizetype>(image.size())));
}

std::vector<ecg::MitAnnotation> BeatAnnotations(const std::vector<ecg::TypedBeat>& beats)
{
    std::vector<ecg::MitAnnotation> out;
    out.reserve(beats.size());
    for (const ecg::TypedBeat& b : beats) {
        ecg::MitAnnotation a;
        a.sample = b.sample;
        a.code = ecg::MitCodeOfBeatType(b.type);
        out.push_back(a);
    }
    return out;
}

std::vector<ecg::TypedBeat> EveryBeatOfRecording(const QString& path, const EDF_RECORD& record)
{
    if (record.Channels.empty()) return {};
    FHR_BLOCK block;
    const bool hadBlock = ReadBlockForAnalysis(path, block);
    const EDF_CHANNEL& ch = record.Channels[0];
    return ecg::AnalyseEveryBeat(ch.Samples, ch.SampleRate, ch.DigMin, ch.DigMax, PauseThresholdOf(block, hadBlock));
}
