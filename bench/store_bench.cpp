// Recording store: reading and writing a 60-s recording, and rebuilding the
// data list over large libraries (the folder scan and the tree-widget fill
// measured separately).
#include "dialogs/DataListView.h"
#include "store/DataListModel.h"
#include "store/DeviceRecordHeader.h"
#include "store/EdfRecord.h"
#include "store/EdfWriter.h"
#include "store/RecordingLibrary.h"
#include "tests/store/StoreFixtures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <cmath>
#include <map>
#include <memory>

namespace {

QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    return dir;
}

DEVICE_RECORD_HEADER header60s()
{
    return fixtures::recorderHeader(256 * 60);
}

QByteArray samples60s()
{
    return LittleEndianSamples(fixtures::wave(256 * 60));
}

void BM_WriteDownloadedEdf60s(benchmark::State& state)
{
    const QString path = scratch().filePath("write.edf");
    const DEVICE_RECORD_HEADER h = header60s();
    const QByteArray samples = samples60s();
    const QByteArray series(1600, '\0');
    for (auto _ : state) {
        const EdfProblem p = WriteDownloadedEdf(path, h, samples, series);
        if (!p.ok()) state.SkipWithError(qPrintable(p.message()));
    }
}
BENCHMARK(BM_WriteDownloadedEdf60s)->Unit(benchmark::kMicrosecond);

void BM_ReadEdfFile60s(benchmark::State& state)
{
    const QString path = scratch().filePath("read.edf");
    WriteDownloadedEdf(path, header60s(), samples60s(), QByteArray(1600, '\0'));
    for (auto _ : state) {
        EDF_RECORD record;
        const EdfProblem p = ReadEdfFile(path, record);
        if (!p.ok()) state.SkipWithError(qPrintable(p.message()));
        benchmark::DoNotOptimize(record.Channels.data());
    }
}
BENCHMARK(BM_ReadEdfFile60s)->Unit(benchmark::kMicrosecond);

// A library of `count` recordings: 2 devices, 20 months each, 25 days each,
// the rest as recordings per day. The files are tiny: the scan only sees names.
QString library(int count)
{
    static std::map<int, QString> made;
    if (auto it = made.find(count); it != made.end()) return it->second;
    const QString root = scratch().filePath(QStringLiteral("lib%1").arg(count));
    const int perDay = count / (2 * 20 * 25);
    for (int d = 0; d < 2; ++d)
        for (int m = 0; m < 20; ++m)
            for (int day = 1; day <= 25; ++day) {
                const QString folder = QStringLiteral("%1/%2/%3/%4")
                                           .arg(root)
                                           .arg(d + 1, 8, 10, QLatin1Char('0'))
                                           .arg(201301 + (m / 12) * 100 + m % 12)
                                           .arg(day, 2, 10, QLatin1Char('0'));
                QDir().mkpath(folder);
                for (int r = 0; r < perDay; ++r) {
                    QFile f(QStringLiteral("%1/%2.edf").arg(folder).arg(100000 + r * 7, 6, 10, QLatin1Char('0')));
                    f.open(QIODevice::WriteOnly);
                }
            }
    made[count] = root;
    return root;
}

void BM_RebuildDataListScan(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const QString root = library(count);
    DataListModel model;
    for (auto _ : state) {
        RebuildDataList(model, root);
        benchmark::DoNotOptimize(model.nodeCount());
    }
    state.counters["nodes"] = model.nodeCount();
    state.SetComplexityN(count);
}
BENCHMARK(BM_RebuildDataListScan)->Arg(2500)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_RebuildDataListWidgetFill(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    RecordingLibrary lib(library(count), {});
    lib.RebuildDataList();
    QTreeWidget tree;
    DataListView view(&tree, lib);
    for (auto _ : state) {
        view.Fill();
        benchmark::DoNotOptimize(tree.topLevelItem(0));
    }
    state.SetComplexityN(count);
}
BENCHMARK(BM_RebuildDataListWidgetFill)->Arg(2500)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
