// The recorder's own tachycardia and bradycardia findings (header bytes 56
// and 57) light the window's pictures even when the heart rate lies within
// the thresholds.
#include "WindowFixture.h"
#include "dialogs/SkinPicture.h"
#include "store/DataListModel.h"
#include "store/RecordingLibrary.h"
#include "tests/store/StoreFixtures.h"

#include <QDir>

namespace {

using RecorderFindings = WindowFixture;

// The finding pictures: normal 1, slow 2, fast 3; "-1" in the lit look.
QString Picture(int number, bool lit)
{
    return QStringLiteral("image\\Wave-ic0%1%2.bmp").arg(number).arg(lit ? "-1" : "");
}

TEST_F(RecorderFindings, BytesFiftySixAndFiftySevenLightFastAndSlowInTheWindow)
{
    const struct {
        const char* time;  // also the recording's name
        uint8_t tachy, brady;
        bool fast, slow, normal;
    } cases[] = {
        {"100000", 0, 0, false, false, true},
        {"100100", 1, 0, true, false, false},
        {"100200", 0, 1, false, true, false},
        {"100300", 1, 1, true, true, false},
    };
    using H = DEVICE_RECORD_HEADER;
    for (const auto& c : cases) {
        // Heart rate 72 between the thresholds 50 and 120, no other finding.
        H header = fixtures::recorderHeader(256 * 30);
        for (const int at : {H::NoiseFinding, H::PauseFinding, H::RhythmFinding, H::WaveformFinding})
            header.setU8(at, 0);
        header.setU8(H::TachyFinding, c.tachy);
        header.setU8(H::BradyFinding, c.brady);
        const QString path = state.paths.dataFolder + "/0000A1F3/201305/07/" + c.time + ".edf";
        QDir().mkpath(QFileInfo(path).absolutePath());
        ASSERT_TRUE(WriteDownloadedEdf(path, header, fixtures::littleEndian(fixtures::wave(256 * 30)),
                                       fixtures::series()).ok());
    }

    auto window = open();
    TECGMain& w = *window;
    w.library()->hooks().startExternalAnalyser = [](const QString& p) { return p.left(p.size() - 4) + ".atr"; };
    w.library()->RebuildDataList();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.time);
        const QString time = QString::fromLatin1(c.time);
        const QString caption = time.left(2) + ':' + time.mid(2, 2) + ':' + time.mid(4, 2);
        bool found = false;
        for (DataNode* n : w.library()->model().nodesInOrder())
            if (n->caption == caption) {
                w.library()->model().select(n);
                found = true;
            }
        ASSERT_TRUE(found);
        w.DataListClick();
        EXPECT_EQ(w.HeartRate->text(), "72");
        EXPECT_EQ(w.Fast->pictureName(), Picture(3, c.fast));
        EXPECT_EQ(w.Slow->pictureName(), Picture(2, c.slow));
        EXPECT_EQ(w.OK->pictureName(), Picture(1, c.normal));
    }
}

}  // namespace
