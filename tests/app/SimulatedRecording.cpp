#include "SimulatedRecording.h"

#include "device/protocol/RecordHeader.h"
#include "device/protocol/RecordingStream.h"
#include "sim/recorder/RecordingFactory.h"
#include "store/EdfWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

QString StoreSimulatedRecording(const QString& dataFolder)
{
    const device::protocol::DEVICE_INFO_BLOCK recorder = sim::DefaultRecorderInfo();  // ID 0012AB34
    sim::RecordingPlan plan;
    plan.heartRateBpm = 75;
    const sim::SimRecording rec = sim::MakeRecording(plan, recorder);
    const auto stored = device::protocol::ConvertRecordHeader(rec.wireHeader);
    DEVICE_RECORD_HEADER header;
    std::copy(stored.begin(), stored.end(), header.Bytes.begin());
    const QByteArray samples = LittleEndianSamples(rec.samples);
    const auto series = device::protocol::SeriesAreaFromAnnotation(rec.annotation);
    const QString path = dataFolder + "0012AB34/201305/21/101530.edf";
    QDir().mkpath(QFileInfo(path).path());
    const EdfProblem problem = WriteDownloadedEdf(
        path, header, samples, QByteArray(reinterpret_cast<const char*>(series.data()), int(series.size())));
    EXPECT_TRUE(problem.ok()) << problem.message().toStdString();
    return path;
}

bool ClickFirstRecording(QTreeWidget& list)
{
    QTreeWidgetItem* item = list.topLevelItem(0);
    if (!item)
        return false;
    while (item->childCount() > 0)
        item = item->child(0);
    list.expandAll();
    const QRect r = list.visualItemRect(item);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(r.right() - 10, r.center().y()));
    return true;
}
