// The export of a recording for other EDF readers: EDF+ with one annotation
// per analysed beat, read back by EDFlib; and the recording itself is never
// the output, however it is named.
#include "StoreFixtures.h"
#include "signal/EveryBeat.h"
#include "signal/MitAnnotations.h"
#include "sim/ecg/EcgSynth.h"
#include "store/AnnotationFile.h"
#include "tools/cli/Commands.h"
#include "tools/cli/Rhyscan.h"

#include <QFile>
#include <QTemporaryDir>
#include <edflib.h>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

int Export(const QStringList& args, QString* errText = nullptr)
{
    QString o, e;
    QTextStream out(&o), err(&e);
    const int status = cli::RunExport(args, out, err);
    if (errText) *errText = e;
    return status;
}

QString WriteEcg(const QString& path, const std::vector<int16_t>& samples)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const EdfProblem p =
        WriteDownloadedEdf(path, fixtures::recorderHeader(static_cast<uint32_t>(samples.size())),
                           fixtures::littleEndian(samples), fixtures::series());
    EXPECT_TRUE(p.ok()) << p.message().toStdString();
    return path;
}

TEST(ExportBeats, EdflibReadsOneAnnotationPerBeat)
{
    for (double seconds : {30.0, 7700.0 / 256}) {  // whole seconds: a record per second; else one record
        SCOPED_TRACE(seconds);
        QTemporaryDir dir;
        sim::SynthOptions o;
        o.seconds = seconds;
        o.pattern = sim::EctopyPattern::VentricularTrigeminy;
        const std::vector<int16_t> samples = sim::SynthesiseEcgSamples(o);
        const QString in = WriteEcg(dir.filePath("142530.edf"), samples);
        const QString out = dir.filePath("beats.edf");
        QString errText;
        ASSERT_EQ(Export({in, "--edf", out, "--beats"}, &errText), 0) << errText.toStdString();

        EDF_RECORD record;
        ASSERT_TRUE(ReadRecording(in, record).ok());
        // The beats and classes rhyscan writes beside the recording.
        const std::vector<rhy::CodedBeat> beats = cli::RhyscanBeats(in, record);
        ASSERT_GE(beats.size(), 30u);

        edf_hdr_struct hdr{};
        ASSERT_EQ(edfopen_file_readonly(out.toLocal8Bit().constData(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS), 0)
            << "EDFlib error " << hdr.filetype;
        EXPECT_EQ(hdr.filetype, EDFLIB_FILETYPE_EDFPLUS);
        ASSERT_EQ(hdr.edfsignals, 1);  // the annotation signal is not a signal to EDFlib
        EXPECT_EQ(hdr.signalparam[0].smp_in_file, static_cast<long long>(samples.size()));
        EXPECT_EQ(hdr.startdate_year, 2013);
        ASSERT_EQ(hdr.annotations_in_file, static_cast<long long>(beats.size()));
        int ventricular = 0;
        for (size_t i = 0; i < beats.size(); ++i) {
            edf_annotation_struct a{};
            ASSERT_EQ(edf_get_annotation(hdr.handle, static_cast<int>(i), &a), 0);
            const long long expected = beats[i].sample * EDFLIB_TIME_DIMENSION / 256;
            EXPECT_EQ(a.onset, expected) << i;
            const std::string text = ecg::MitMnemonic(beats[i].code);
            EXPECT_STREQ(a.annotation, text.c_str()) << i;
            ventricular += text == "V";
        }
        EXPECT_GE(ventricular, 5);
        // The samples are those of the recording.
        std::vector<int> back(samples.size());
        ASSERT_EQ(edfread_digital_samples(hdr.handle, 0, static_cast<int>(samples.size()), back.data()),
                  static_cast<int>(samples.size()));
        for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(back[i], samples[i]) << i;
        edfclose_file(hdr.handle);
    }
}

TEST(ExportBeats, TheRecordingItselfIsNeverTheOutput)
{
    QTemporaryDir dir;
    const QString in = dir.filePath("DATA/142530.edf");
    fixtures::writeDownloaded(in, 7680);
    const QByteArray before = fixtures::readBytes(in);
    ASSERT_TRUE(QFile::link(in, dir.filePath("link.edf")));
    ASSERT_EQ(::link(QFile::encodeName(in).constData(), QFile::encodeName(dir.filePath("hardlink.edf")).constData()), 0);
    for (const QString& out : {in, dir.filePath("DATA/../DATA/./142530.edf"), dir.filePath("link.edf"),
                               dir.filePath("hardlink.edf")}) {
        SCOPED_TRACE(out.toStdString());
        QString errText;
        EXPECT_EQ(Export({in, "--edf", out}, &errText), 1);
        EXPECT_FALSE(errText.isEmpty());
        EXPECT_EQ(fixtures::readBytes(in), before);
    }
    // Through a link to the recording as the input, the recording as output.
    EXPECT_EQ(Export({dir.filePath("link.edf"), "--edf", in, "--beats"}), 1);
    EXPECT_EQ(fixtures::readBytes(in), before);
    // Another file is written.
    EXPECT_EQ(Export({in, "--edf", dir.filePath("copy.edf")}), 0);
}

}  // namespace
