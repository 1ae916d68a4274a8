// The firmware fetch against the in-process stand-in service on loopback.
#include "net/FirmwareFetch.h"
#include "net/FirmwareWire.h"
#include "sim/web/WebService.h"
#include "tests/net/ScriptedServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <functional>

namespace {

using namespace firmware;

QByteArray Pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + i / 97) & 0xFF);
    return bytes;
}

struct FetchRun {
    FetchOutcome outcome;
    QList<qint64> progress;
    bool fileLeft = false;
    QByteArray file;
};

class FirmwareFetchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        service.setFirmwareImage(Pattern(30000));
        imagePath = dir.filePath("tmp.rom");
    }

    FetchRequest request() const
    {
        FetchRequest r;
        r.directoryHost = "127.0.0.1";
        r.port = service.port();
        r.imagePath = imagePath;
        r.timings = FetchTimings::Fast();
        r.timings.blockMs = r.timings.replyMs = 400;  // a stall ends quickly
        return r;
    }

    FetchRun run(FetchRequest r, std::function<void(FirmwareFetch&, qint64)> onProgress = {})
    {
        FetchRun result;
        FirmwareFetch fetch(std::move(r));
        bool done = false;
        QObject::connect(&fetch, &FirmwareFetch::progress, [&](qint64 downloaded, quint32 size) {
            EXPECT_LE(downloaded, qint64(size));
            result.progress << downloaded;
            if (onProgress) onProgress(fetch, downloaded);
        });
        QObject::connect(&fetch, &FirmwareFetch::finished, [&](const FetchOutcome& o) {
            result.outcome = o;
            done = true;
        });
        fetch.start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
        QFile file(imagePath);
        result.fileLeft = file.exists();
        if (file.open(QIODevice::ReadOnly)) result.file = file.readAll();
        return result;
    }

    QTemporaryDir dir;
    QString imagePath;
    sim::WebService service;
};

TEST_F(FirmwareFetchTest, BlocksAreTakenUpToTheOfferedSize)
{
    struct Row {
        const char* name;
        int trickleMs;
    } rows[] = {{"whole blocks", 0}, {"trickled blocks", 15}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        service.faults().update.trickleMs = row.trickleMs;
        if (!service.port()) {
            ASSERT_TRUE(service.listen(0, nullptr));
        }
        QFile::remove(imagePath);
        // Whatever was there before belongs to no attempt of this run.
        QFile stale(imagePath);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("stale");
        stale.close();

        FetchRequest r = request();
        r.timings.blockMs = 5000;
        const FetchRun result = run(r);
        EXPECT_TRUE(result.outcome.ok()) << int(result.outcome.failure);
        EXPECT_EQ(result.outcome.blocks, 3);
        EXPECT_EQ(result.outcome.size, 30000u);
        EXPECT_EQ(result.progress, (QList<qint64>{0, 12000, 24000, 30000}));
        EXPECT_EQ(result.file, service.firmwareImage());
    }
}

TEST_F(FirmwareFetchTest, FailuresEndWithAReasonAndLeaveNoImageFile)
{
    struct Row {
        const char* name;
        std::function<void(sim::WebFaults&)> script;
        FetchFailure failure;
        FetchStep step;
        QString account = QStringLiteral("firmware_server");
        // A server that closed between blocks may be seen at the next request or at its reply.
        bool closedBetweenBlocks = false;
    };
    const std::vector<Row> rows = {
        {"no image offered", [](sim::WebFaults& f) { f.update.noImage = true; }, FetchFailure::NoImage,
         FetchStep::ImageQuery},
        {"size of nothing", [](sim::WebFaults& f) { f.update.offeredSize = 0; }, FetchFailure::BadSize,
         FetchStep::ImageQuery},
        {"size beyond any image", [](sim::WebFaults& f) { f.update.offeredSize = 128 + 65536; },
         FetchFailure::BadSize, FetchStep::ImageQuery},
        {"silent offer", [](sim::WebFaults& f) { f.update.stallOffer = true; }, FetchFailure::ReceiveFailed,
         FetchStep::ImageQuery},
        {"stall at the second block", [](sim::WebFaults& f) { f.update.stallAtBlock = 2; },
         FetchFailure::ReceiveFailed, FetchStep::Blocks},
        {"short second block", [](sim::WebFaults& f) { f.update.shortBlockAt = 2; }, FetchFailure::ReplyCut,
         FetchStep::Blocks},
        {"closed after one block", [](sim::WebFaults& f) { f.update.closeAfterBlocks = 1; }, FetchFailure::ReplyCut,
         FetchStep::Blocks, QStringLiteral("firmware_server"), true},
        // An offer larger than what the server then sends must not be padded.
        {"offer larger than the image", [](sim::WebFaults& f) { f.update.offeredSize = 40000; f.update.closeAfterBlocks = 3; },
         FetchFailure::ReplyCut, FetchStep::Blocks, QStringLiteral("firmware_server"), true},
        {"directory garbage", [](sim::WebFaults& f) { f.directory = sim::WebFaults::DirectoryMode::Garbage; },
         FetchFailure::BadDirectoryAnswer, FetchStep::Directory},
        {"directory broadcast", [](sim::WebFaults& f) {
             f.directory = sim::WebFaults::DirectoryMode::Literal;
             f.directoryLiteral = "255.255.255.255";
         }, FetchFailure::BadDirectoryAnswer, FetchStep::Directory},
        {"unknown upgrade account", [](sim::WebFaults&) {}, FetchFailure::UnknownAccount, FetchStep::Directory,
         QStringLiteral("no_such_server")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::WebService server;
        server.setFirmwareImage(Pattern(30000));
        row.script(server.faults());
        ASSERT_TRUE(server.listen(0, nullptr));
        FetchRequest r = request();
        r.port = server.port();
        r.account = row.account;
        const FetchRun result = run(r);
        if (row.closedBetweenBlocks && result.outcome.failure == FetchFailure::SendFailed)
            EXPECT_GT(result.outcome.downloaded, 0);
        else
            EXPECT_EQ(result.outcome.failure, row.failure);
        EXPECT_EQ(result.outcome.step, row.step);
        EXPECT_FALSE(result.fileLeft);
        for (qint64 p : result.progress) EXPECT_LE(p, qint64(result.outcome.size));
    }
}

TEST_F(FirmwareFetchTest, CancelDuringTheDownloadRemovesThePartialImage)
{
    service.faults().update.trickleMs = 10;
    ASSERT_TRUE(service.listen(0, nullptr));
    const FetchRun result = run(request(), [](FirmwareFetch& fetch, qint64 downloaded) {
        if (downloaded >= 12000) fetch.cancel();
    });
    EXPECT_EQ(result.outcome.failure, FetchFailure::Cancelled);
    EXPECT_EQ(result.outcome.downloaded, 12000);
    EXPECT_FALSE(result.fileLeft);
}

TEST(FirmwareWireTest, OfferAndBlockArithmetic)
{
    QByteArray reply(1024, '\0');
    reply[0] = 1;
    reply[1] = char(0x30);
    reply[2] = char(0x75);  // 30000
    EXPECT_EQ(ParseImageOffer(reply)->size, 30000u);
    EXPECT_FALSE(ParseImageOffer(reply.left(1023)));
    reply[0] = 2;
    EXPECT_FALSE(ParseImageOffer(reply)->offered);
    EXPECT_EQ(BytesTaken(30000, 24000), 6000);
    EXPECT_EQ(BytesTaken(30000, 12000), 12000);
    EXPECT_EQ(BytesTaken(30000, 30000), 0);
    EXPECT_TRUE(SaneImageSize(128 + 65535));
    EXPECT_FALSE(SaneImageSize(128 + 65536));
    EXPECT_FALSE(SaneImageSize(0));
}

}  // namespace

namespace {

using namespace scripted;

// The update server as servers may really behave: blocks split or glued,
// more sent than asked, an image cut short. What lands in "tmp.rom" is the
// offered image, byte for byte, or nothing at all.
TEST(FirmwareFetchScripted, TheImageFileHoldsTheOfferedBytesOrNothing)
{
    const QByteArray image = Pattern(30000);
    QByteArray offer(1024, '\0');
    offer[0] = 1;
    offer[1] = char(0x30);
    offer[2] = char(0x75);  // 30000
    auto block = [&](int k, int extra = 0) { return image.mid(k * 12000, 12000 + extra).leftJustified(12000 + extra, '\0'); };
    struct Row {
        const char* name;
        Script blocks;
        bool whole;            // the fetch succeeds with the image
        QByteArray offerTail = {};  // bytes glued to the offer
    };
    const std::vector<Row> rows = {
        {"blocks as asked", {ReadBlock(), Send(block(0)), ReadBlock(), Send(block(1)), ReadBlock(), Send(block(2)), WaitEof()},
         true},
        {"blocks in 1000-byte segments 1 ms apart",
         {ReadBlock(), Send(block(0), 1000, 1), ReadBlock(), Send(block(1), 1000, 1), ReadBlock(), Send(block(2), 1000, 1),
          WaitEof()},
         true},
        {"a fourth block nobody asked for",
         {ReadBlock(), Send(block(0)), ReadBlock(), Send(block(1)), ReadBlock(), Send(block(2) + block(3)), WaitEof()},
         true},
        {"blocks one byte longer than asked",
         {ReadBlock(), Send(block(0, 1)), ReadBlock(), Send(block(1, 1)), ReadBlock(), Send(block(2, 1)), WaitEof()}, false},
        {"an offer longer than its block", {ReadBlock(), Send(block(0)), ReadBlock(), Send(block(1)), ReadBlock(),
                                            Send(block(2)), WaitEof()},
         false, "\x01\x02"},
        {"cut after two blocks", {ReadBlock(), Send(block(0)), ReadBlock(), Send(block(1)), ReadBlock(), Close()}, false},
        {"cut in the last block", {ReadBlock(), Send(block(0)), ReadBlock(), Send(block(1)), ReadBlock(),
                                   Send(block(2).left(5000)), Close()},
         false},
        {"the last block never completes", {ReadBlock(), Send(block(0)), ReadBlock(), Send(block(1)), ReadBlock(),
                                            Send(block(2).left(6000)), Hold()},
         false},
        {"reset in the second block", {ReadBlock(), Send(block(0)), ReadBlock(), Send(block(1).left(100)), Reset()}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Script update = {ReadBlock(), Send(offer + row.offerTail)};
        update.insert(update.end(), row.blocks.begin(), row.blocks.end());
        ScriptedServer server({{ReadBlock(), Send(AnswerBlock("127.0.0.1")), WaitEof()}, update});
        QTemporaryDir dir;
        FetchRequest r;
        r.directoryHost = "127.0.0.1";
        r.port = server.port();
        r.imagePath = dir.filePath("tmp.rom");
        r.timings = FetchTimings::Fast();
        r.timings.blockMs = 1000;
        FirmwareFetch fetch(r);
        FetchOutcome outcome;
        bool done = false;
        QObject::connect(&fetch, &FirmwareFetch::finished, [&](const FetchOutcome& o) {
            outcome = o;
            done = true;
        });
        fetch.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
        QFile file(r.imagePath);
        EXPECT_EQ(outcome.ok(), row.whole) << FailureName(outcome.failure);
        if (row.whole) {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), image);
        } else {
            EXPECT_FALSE(file.exists());
        }
    }
}

}  // namespace
