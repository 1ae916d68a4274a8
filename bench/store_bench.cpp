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
#include <QFileInfo>
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

// A library of `count` recordings as a clinic keeps it: 5 devices, 20 months
// each, 25 days each, the rest as recordings per day. The files are empty:
// the scan only sees names.
QString library(int count)
{
    static std::map<int, QString> made;
    if (auto it = made.find(count); it != made.end()) return it->second;
    // TALMON_BENCH_LIBRARIES names a folder that keeps the libraries between
    // runs (for profiling the scan without the cost of making the files).
    const QString keep = qEnvironmentVariable("TALMON_BENCH_LIBRARIES");
    const QString root = (keep.isEmpty() ? scratch().path() : keep) + QStringLiteral("/lib%1").arg(count);
    const QString madeMark = root + QStringLiteral("/complete");
    if (QFile::exists(madeMark)) return made[count] = root;
    const int devices = 5, months = 20, days = 25;
    const int perDay = count / (devices * months * days);
    for (int d = 0; d < devices; ++d)
        for (int m = 0; m < months; ++m)
            for (int day = 1; day <= days; ++day) {
                const QString folder = QStringLiteral("%1/%2/%3/%4")
                                           .arg(root)
                                           .arg(QString::number(0xA1F0 + d, 16).toUpper(), 8, QLatin1Char('0'))
                                           .arg(201301 + (m / 12) * 100 + m % 12)
                                           .arg(day, 2, 10, QLatin1Char('0'));
                QDir().mkpath(folder);
                for (int r = 0; r < perDay; ++r) {
                    QFile f(QStringLiteral("%1/%2.edf").arg(folder).arg(80000 + r * 7, 6, 10, QLatin1Char('0')));
                    f.open(QIODevice::WriteOnly);
                }
            }
    QFile(madeMark).open(QIODevice::WriteOnly);
    made[count] = root;
    return root;
}

constexpr int kSizes[] = {2500, 20000, 100000};

void librarySizes(benchmark::internal::Benchmark* b)
{
    for (int n : kSizes) b->Arg(n);
    b->Unit(benchmark::kMillisecond);
}

// The folder scan into the model alone.
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
}
BENCHMARK(BM_RebuildDataListScan)->Apply(librarySizes);

// The tree widget filled from a scanned model.
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
}
BENCHMARK(BM_RebuildDataListWidgetFill)->Apply(librarySizes);

// The window's start as far as the list goes: scan, fill, and the tree shown
// and painted once.
void BM_DataListStartToShown(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const QString root = library(count);
    for (auto _ : state) {
        auto lib = std::make_unique<RecordingLibrary>(root, RecordingLibrary::Hooks{});
        auto tree = std::make_unique<QTreeWidget>();
        tree->resize(300, 600);
        DataListView view(tree.get(), *lib);
        lib->RebuildDataList();
        view.Fill();
        tree->show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(tree->grab());
        // Tearing the list down is not part of the start.
        state.PauseTiming();
        tree.reset();
        lib.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DataListStartToShown)->Apply(librarySizes)->Iterations(5);

// After a download, a delete or an upload: the list shown is rebuilt from
// disk with the open recording selected and in sight.
void BM_DataListRebuildShown(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    RecordingLibrary lib(library(count), {});
    QTreeWidget tree;
    tree.resize(300, 600);
    DataListView view(&tree, lib);
    lib.RebuildDataList();
    // A recording half-way down is selected: the rebuild finds it again.
    const std::vector<DataNode*> nodes = lib.model().nodesInOrder();
    lib.model().select(nodes[nodes.size() / 2]);
    view.Fill();
    tree.show();
    QApplication::processEvents();
    for (auto _ : state) {
        lib.RebuildDataList();
        view.Sync();
        QApplication::processEvents();
        benchmark::DoNotOptimize(tree.grab());
    }
}
BENCHMARK(BM_DataListRebuildShown)->Apply(librarySizes);

// Deleting one ticked recording from the list shown (the file is put back
// between runs, outside the measure).
void BM_DataListDeleteOneShown(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    RecordingLibrary::Hooks hooks;
    hooks.ask = [](const QString&, bool) { return 1; };
    RecordingLibrary lib(library(count), hooks);
    QTreeWidget tree;
    tree.resize(300, 600);
    DataListView view(&tree, lib);
    lib.RebuildDataList();
    view.Fill();
    tree.show();
    QApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        lib.RebuildDataList();
        view.Sync();
        const std::vector<DataNode*> nodes = lib.model().nodesInOrder();
        DataNode* victim = nodes[nodes.size() / 2];
        const QString path = victim->path;
        lib.DataListCheckChanged(victim, true);
        state.ResumeTiming();
        view.DeleteClick();
        QApplication::processEvents();
        benchmark::DoNotOptimize(tree.grab());
        state.PauseTiming();
        // The delete took the day's folder along when it held nothing else.
        QDir().mkpath(QFileInfo(path).path());
        QFile(path).open(QIODevice::WriteOnly);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DataListDeleteOneShown)->Apply(librarySizes);

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
