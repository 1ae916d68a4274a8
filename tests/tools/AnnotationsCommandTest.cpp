// `ecg-cli annotations`: the listing of an annotation file, its times at the
// rate of the recording beside it, the option or the default.
#include "signal/MitAnnotations.h"
#include "store/AnnotationFile.h"
#include "tests/store/StoreFixtures.h"
#include "tools/cli/Commands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Listing {
    int status;
    QString out, err;
};

Listing List(const QStringList& args)
{
    Listing l;
    QTextStream out(&l.out), err(&l.err);
    l.status = cli::RunAnnotations(args, out, err);
    return l;
}

struct AnnotationsCommand : ::testing::Test {
    QTemporaryDir dir;
    QString atr;
    void SetUp() override
    {
        atr = dir.filePath("142530.atr");
        std::vector<ecg::MitAnnotation> list(3);
        list[0].code = 28;  // rhythm change at the start
        list[0].aux = "(N";
        list[1].sample = 300;
        list[1].code = 1;
        list[2].sample = 1'000'000;
        list[2].code = 5;
        ASSERT_TRUE(WriteMitAnnotationFile(atr, list).ok());
    }
};

TEST_F(AnnotationsCommand, ListsSampleTimeCodeAndMnemonicAtTheRightRate)
{
    struct Case {
        const char* what;
        QStringList extra;
        int recordingRate;  // 0: no recording beside the file
        const char* row300;
        const char* rowLast;
    };
    for (const Case& c : {Case{"default 256 per second", {}, 0, "300\t0:01.171\t1\tN", "1000000\t1:05:06.250\t5\tV"},
                          Case{"rate of the recording beside it", {}, 128, "300\t0:02.343\t1\tN", "1000000\t2:10:12.500\t5\tV"},
                          Case{"the option wins", {"--rate", "360"}, 128, "300\t0:00.833\t1\tN", "1000000\t46:17.777\t5\tV"}}) {
        SCOPED_TRACE(c.what);
        QFile::remove(dir.filePath("142530.edf"));
        if (c.recordingRate) fixtures::writeDownloaded(dir.filePath("142530.edf"), c.recordingRate * 2, c.recordingRate);
        const Listing l = List(QStringList{atr} + c.extra);
        EXPECT_EQ(l.status, 0) << l.err.toStdString();
        const QStringList lines = l.out.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 5) << l.out.toStdString();
        EXPECT_EQ(lines[1], "sample\ttime\tcode\tmnemonic");
        EXPECT_EQ(lines[2], "0\t0:00.000\t28\t+\t(N");
        EXPECT_EQ(lines[3], c.row300);
        EXPECT_EQ(lines[4], c.rowLast);
    }
}

TEST_F(AnnotationsCommand, JsonListsTheSameAndSaysWhereTheRateCameFrom)
{
    const Listing l = List({atr, "--json"});
    ASSERT_EQ(l.status, 0);
    const QJsonObject doc = QJsonDocument::fromJson(l.out.toUtf8()).object();
    EXPECT_EQ(doc["rate"].toInt(), 256);
    EXPECT_EQ(doc["rateFrom"].toString(), "default");
    EXPECT_TRUE(doc["complete"].toBool());
    const QJsonArray list = doc["annotations"].toArray();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[1]["sample"].toInteger(), 300);
    EXPECT_DOUBLE_EQ(list[1]["time"].toDouble(), 300.0 / 256);
    EXPECT_EQ(list[1]["code"].toInt(), 1);
    EXPECT_EQ(list[1]["mnemonic"].toString(), "N");
    EXPECT_EQ(list[0]["aux"].toString(), "(N");
}

TEST_F(AnnotationsCommand, MissingFileFailsAndAShortFileListsWhatItHolds)
{
    EXPECT_EQ(List({dir.filePath("none.atr")}).status, 1);
    EXPECT_EQ(List({atr, "--rate", "0"}).status, 2);
    EXPECT_EQ(List({}).status, 2);

    QByteArray bytes = fixtures::readBytes(atr);
    bytes.chop(3);  // the closing word and half of the last annotation's word
    fixtures::writeBytes(atr, bytes);
    const Listing l = List({atr});
    EXPECT_EQ(l.status, 0);
    EXPECT_TRUE(l.err.contains("ends early")) << l.err.toStdString();
    EXPECT_EQ(l.out.split('\n', Qt::SkipEmptyParts).size(), 4);  // the first two annotations
}

}  // namespace
