// The upload conversation against the in-process stand-in service on loopback.
#include "net/UploadSession.h"
#include "net/UploadWire.h"
#include "sim/web/WebService.h"
#include "store/FhrBlock.h"
#include "tests/store/StoreFixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

using namespace upload;

class CoreApp : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "net-test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QCoreApplication> app_;
};
[[maybe_unused]] ::testing::Environment* const kApp = ::testing::AddGlobalTestEnvironment(new CoreApp);

struct Result {
    Outcome outcome;
    int pieces = 0;
    bool asked = false;
    bool lookedUp = false;
    QString conversation;  // request types per connection, as the service saw them
};

class UploadSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        service.addAccount("demo", "pw");
        ASSERT_TRUE(service.listen(0, nullptr));
    }

    // A recording stand-in: the session reads only the device ID at 480.
    QString recording(const QString& name, int size = 2000, const QByteArray& note = QByteArray())
    {
        QByteArray bytes(size, 'x');
        bytes.replace(480, 8, "0000A1F3");
        const QString path = dir.filePath(name + ".edf");
        fixtures::writeBytes(path, bytes);
        if (!note.isNull()) fixtures::writeBytes(dir.filePath(name + ".cmm"), note);
        return path;
    }

    Request request(const QStringList& files)
    {
        Request r;
        r.directoryHost = "127.0.0.1";
        r.port = service.port();
        r.account = "demo";
        r.password = "pw";
        r.recordings = files;
        r.timings = Timings::Fast();
        return r;
    }

    Result run(Request r, std::function<void(UploadSession&)> onStart = {}, bool overwrite = true)
    {
        Result result;
        UploadSession session(std::move(r));
        bool done = false;
        QObject::connect(&session, &UploadSession::pieceSent, [&](int, qint64) { ++result.pieces; });
        QObject::connect(&session, &UploadSession::overwriteQuestion, [&] {
            result.asked = true;
            session.answerOverwrite(overwrite);
        });
        QObject::connect(&session, &UploadSession::finished, [&](const Outcome& o) {
            result.outcome = o;
            done = true;
        });
        session.start();
        if (onStart) onStart(session);
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
        // Let the service see the connections end.
        QTest::qWait(100);
        QStringList connections;
        for (const QJsonObject& c : service.log()) {
            QStringList types;
            for (const QJsonValue& v : c["requests"].toArray()) types << v.toObject()["type"].toString();
            connections << types.join(',');
        }
        result.conversation = connections.join('|');
        return result;
    }

    static Delivery deliveryOf(const Outcome& o, int index, bool note = false)
    {
        for (const FileReport& f : o.files)
            if (f.index == index && f.isNote == note) return f.delivery;
        return Delivery::NotOffered;
    }

    QTemporaryDir dir;
    sim::WebService service;
};

struct CodeRow {
    const char* name;
    std::function<void(sim::WebFaults&)> script;
    const char* conversation;
    Failure failure;
    Step step;
    std::vector<Delivery> recordings;  // per recording
};

TEST_F(UploadSessionTest, ReplyCodesAndCutRepliesSteerTheConversation)
{
    const std::vector<CodeRow> rows = {
        {"accepted", [](sim::WebFaults&) {},
         "ServerQuery|CredentialCheck,CheckDone|UploadLogin,FileHeader,FileHeader,TransferEnd", Failure::None,
         Step::Prepare, {Delivery::Delivered, Delivery::Delivered}},
        {"check code 5 goes on without CheckDone", [](sim::WebFaults& f) { f.checkCode = 5; },
         "ServerQuery|CredentialCheck|UploadLogin,FileHeader,FileHeader,TransferEnd", Failure::None, Step::Prepare,
         {Delivery::Delivered, Delivery::Delivered}},
        {"login code 7 sends nothing more", [](sim::WebFaults& f) { f.loginCode = 7; },
         "ServerQuery|CredentialCheck,CheckDone|UploadLogin", Failure::None, Step::Prepare,
         {Delivery::NotOffered, Delivery::NotOffered}},
        {"header code 2 skips that recording", [](sim::WebFaults& f) { f.headerCode = 2; f.headerCodeAt = 1; },
         "ServerQuery|CredentialCheck,CheckDone|UploadLogin,FileHeader,FileHeader,TransferEnd", Failure::None,
         Step::Prepare, {Delivery::Refused, Delivery::Delivered}},
        {"short reply to the check", [](sim::WebFaults& f) { f.shortReply.kind = sim::WebStage::Check; },
         "ServerQuery|CredentialCheck", Failure::ReplyCut, Step::CredentialCheck,
         {Delivery::NotOffered, Delivery::NotOffered}},
        // Closing instead of replying must not turn the header's own type byte into
        // a reply code; and without that reply the first recording is not proved.
        {"close instead of the second header's reply",
         [](sim::WebFaults& f) { f.closeWithoutReply = {sim::WebStage::Header, 2}; },
         "ServerQuery|CredentialCheck,CheckDone|UploadLogin,FileHeader,FileHeader", Failure::ReplyCut,
         Step::FileHeader, {Delivery::SentUnproved, Delivery::NoReply}},
        {"login refused", [](sim::WebFaults& f) { f.loginCode = 4; }, "ServerQuery|CredentialCheck,CheckDone|UploadLogin",
         Failure::Refused, Step::Login, {Delivery::NotOffered, Delivery::NotOffered}},
    };
    for (const CodeRow& row : rows) {
        SCOPED_TRACE(row.name);
        service.faults() = sim::WebFaults{};
        row.script(service.faults());
        const int before = static_cast<int>(service.log().size());
        const Result r = run(request({recording("a"), recording("b")}));
        QStringList mine = r.conversation.split('|').mid(before);
        EXPECT_EQ(mine.join('|').toStdString(), row.conversation);
        EXPECT_EQ(r.outcome.error.failure, row.failure);
        if (row.failure != Failure::None) {
            EXPECT_EQ(r.outcome.error.step, row.step);
        }
        for (int i = 0; i < 2; ++i) EXPECT_EQ(deliveryOf(r.outcome, i), row.recordings[i]) << "recording " << i;
    }
}

// How the service ends the transfer decides whether the last recording is
// proved: an orderly close, or acknowledged bytes on a connection it keeps
// open, prove it; a reset never does.
TEST_F(UploadSessionTest, TheLastRecordingIsProvedOnlyByAnOrderlyEndNeverByAReset)
{
    struct Row {
        const char* name;
        std::function<void(sim::WebFaults&)> script;
        Delivery first, last;
        bool completes;
    } rows[] = {
        {"closes after reading", [](sim::WebFaults&) {}, Delivery::Delivered, Delivery::Delivered, true},
        {"waits for our close", [](sim::WebFaults& f) { f.waitForClose = true; }, Delivery::Delivered,
         Delivery::Delivered, true},
        {"keeps the connection open", [](sim::WebFaults& f) { f.holdAfterEnd = true; }, Delivery::Delivered,
         Delivery::Delivered, true},
        {"floods after the end", [](sim::WebFaults& f) { f.floodAfterEnd = 256LL * 1024 * 1024; },
         Delivery::Delivered, Delivery::Delivered, true},
        {"resets with the first content unread", [](sim::WebFaults& f) { f.resetUnreadAtHeader = 1; },
         Delivery::SentUnproved, Delivery::NoReply, false},
        {"resets with the last content unread", [](sim::WebFaults& f) { f.resetUnreadAtHeader = 2; },
         Delivery::Delivered, Delivery::SentUnproved, false},
        // Its close came before the last content: it is no word that it read it.
        {"ends its side before the last content", [](sim::WebFaults& f) { f.endSideAtHeader = 2; },
         Delivery::Delivered, Delivery::SentUnproved, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        service.faults() = sim::WebFaults{};
        row.script(service.faults());
        Request req = request({recording("a"), recording("b")});
        req.timings.closeMs = 8000;  // longer than any run may take
        QElapsedTimer clock;
        qint64 transferEndAt = -1;
        clock.start();
        const Result r = run(std::move(req), [&](UploadSession& s) {
            QObject::connect(&s, &UploadSession::turnEnded, [&](int index) {
                if (index == 1) transferEndAt = clock.elapsed();
            });
        });
        const qint64 ended = clock.elapsed() - 100;  // run() lingers 100 ms after the end
        EXPECT_EQ(deliveryOf(r.outcome, 0), row.first);
        EXPECT_EQ(deliveryOf(r.outcome, 1), row.last);
        EXPECT_EQ(r.outcome.allDelivered(2), row.completes);
        if (row.completes) {
            ASSERT_GE(transferEndAt, 0);
            EXPECT_LT(ended - transferEndAt, 1000) << "the end took too long after the last recording";
        }
    }
}

TEST_F(UploadSessionTest, TrickledRepliesAreReadWhole)
{
    service.faults().trickleMs = 150;
    const Result r = run(request({recording("a")}));
    EXPECT_TRUE(r.outcome.error.ok());
    EXPECT_TRUE(r.outcome.allDelivered(1));
}

TEST_F(UploadSessionTest, NotesGoInTheCodePageAndEmptyOnesStayHome)
{
    const QString a = recording("a", 2000, QString::fromUtf8("\u00e9t\u00e9 \u03a9\r\n").toUtf8());
    const QString b = recording("b", 2000, QByteArray(""));
    const Result r = run(request({a, b}));
    EXPECT_TRUE(r.outcome.error.ok());
    EXPECT_EQ(r.conversation.split('|').last(), "UploadLogin,FileHeader,FileHeader,FileHeader,TransferEnd");
    const QJsonArray files = service.log().last()["files"].toArray();
    ASSERT_EQ(files.size(), 3);
    EXPECT_EQ(files[1].toObject()["size"].toInt(), 7);  // "\xE9t\xE9 ?\r\n": sized after the conversion
    bool replaced = false;
    for (const FileReport& f : r.outcome.files)
        if (f.isNote) replaced = f.noteCharactersReplaced;
    EXPECT_TRUE(replaced);
    EXPECT_EQ(deliveryOf(r.outcome, 0, true), Delivery::Delivered);
}

TEST_F(UploadSessionTest, StopEndsTheContentBeforeTheNextPiece)
{
    int pieces = 0;
    Request req = request({recording("big", 100 * 1000)});
    const Result r = run(std::move(req), [&](UploadSession& s) {
        QObject::connect(&s, &UploadSession::pieceSent, [&s, &pieces](int, qint64) {
            if (++pieces == 2) s.stop();
        });
    });
    EXPECT_EQ(r.outcome.error.failure, Failure::Stopped);
    EXPECT_EQ(r.pieces, 2);
    EXPECT_EQ(deliveryOf(r.outcome, 0), Delivery::NotOffered);
}

TEST_F(UploadSessionTest, AServerThatStopsReadingEndsTheUploadWithinTheDeadline)
{
    service.faults().stopReadingAfterBytes = 0;
    Request req = request({recording("huge", 32 * 1024 * 1024)});
    req.timings.sendMs = 1000;
    const Result r = run(std::move(req));
    EXPECT_FALSE(r.outcome.allDelivered(1));
    EXPECT_EQ(r.outcome.error.failure, Failure::SendFailed);
    EXPECT_EQ(r.outcome.error.step, Step::Content);
}

TEST_F(UploadSessionTest, HostNamesGoThroughTheResolverWithADeadline)
{
    struct Row {
        QString host;
        bool answers;
        bool resolverCalled;
        Failure failure;
    } rows[] = {
        {"127.0.0.1", true, false, Failure::None},
        {"directory.example", true, true, Failure::None},
        {"silent.example", false, true, Failure::LookupFailed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.host.toStdString());
        bool called = false;
        Request req = request({recording("a")});
        req.directoryHost = row.host;
        req.timings.lookupMs = 300;
        req.resolver = [&](const QString&, std::function<void(QList<QHostAddress>)> done) {
            called = true;
            if (row.answers) done({QHostAddress("127.0.0.1")});
        };
        const Result r = run(std::move(req));
        EXPECT_EQ(called, row.resolverCalled);
        EXPECT_EQ(r.outcome.error.failure, row.failure);
    }
}

TEST_F(UploadSessionTest, ARecordingUploadedBeforeAsksFirst)
{
    const QString path = dir.filePath("DATA/0000A1F3/201305/07/142530.edf");
    fixtures::writeDownloaded(path, 256 * 31);
    FHR_BLOCK block;
    ReadTrailingBlock(path, block);
    ASSERT_TRUE(UpdateFhrBlock(path, block, true, ManagerResults{}).ok());
    ASSERT_TRUE(SetUploadedMarker(path, 1).ok());

    Result kept = run(request({path}), {}, false);
    EXPECT_TRUE(kept.asked);
    EXPECT_TRUE(kept.outcome.overwriteDeclined);
    EXPECT_FALSE(kept.conversation.contains("UploadLogin"));

    Result sent = run(request({path}), {}, true);
    EXPECT_TRUE(sent.asked);
    EXPECT_TRUE(sent.outcome.allDelivered(1));
}

}  // namespace

namespace {

// The stand-in keeps what it takes in memory: it refuses a header whose size
// no recording has, instead of taking gigabytes.
TEST_F(UploadSessionTest, TheStandInRefusesAFileHeaderOfImpossibleSize)
{
    QTcpSocket client;
    client.connectToHost(sim::WebService::accountAddress(), service.port());
    ASSERT_TRUE(client.waitForConnected(3000));
    auto exchange = [&](const QByteArray& request) {
        client.write(request);
        EXPECT_TRUE(QTest::qWaitFor([&] { return client.bytesAvailable() >= kBlockSize; }, 3000));
        return ReplyCodeOf(client.read(kBlockSize)).value_or(-1);
    };
    EXPECT_EQ(exchange(*BuildRequest(RequestType::UploadLogin, "demo", "pw", "0000A1F3")), Accepted);
    EXPECT_EQ(exchange(*BuildFileHeader("0000A1F3\\201305\\07\\142530.edf", 0xFFFFFFF0u, "0000A1F3")), InvalidData);
    EXPECT_EQ(exchange(*BuildFileHeader("0000A1F3\\201305\\07\\142531.edf", 10, "0000A1F3")), Accepted);
}

}  // namespace
