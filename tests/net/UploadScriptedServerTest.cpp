// The upload against servers that split, glue, trickle, close, reset or
// half-close at every step: a recording counts as delivered only when the
// server really took it, a failure is never a success, and every run ends
// within its deadlines.
#include "net/UploadSession.h"
#include "net/UploadWire.h"
#include "tests/net/ScriptedServer.h"
#include "tests/store/StoreFixtures.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace upload;
using namespace scripted;

enum class Expect { Delivered, NotDelivered, Either };

struct Row {
    const char* name;
    Script transfer;  // the second connection to the account server
    Expect first, second;
    bool completes;
};

// The conversation up to the transfer: the directory names this same
// server, whose first connection accepts the credentials.
std::vector<Script> Conversation(const Script& transfer)
{
    return {{ReadBlock(), Send(AnswerBlock("127.0.0.1")), WaitEof()},
            {ReadBlock(), Reply(upload::Accepted), ReadBlock(), WaitEof()},
            transfer};
}

Script Concat(std::initializer_list<Script> parts)
{
    Script all;
    for (const Script& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Script kLogin = {ReadBlock(), Reply(upload::Accepted)};
const Script kFile = {ReadBlock(), Reply(upload::Accepted), ReadContent()};
const Script kEnd = {ReadBlock(), Close()};

class UploadScriptedServerTest : public ::testing::Test {
protected:
    QString recording(const QString& name, int size = 2000)
    {
        QByteArray bytes(size, 'x');
        bytes.replace(480, 8, "0000A1F3");
        const QString path = dir.filePath(name + ".edf");
        fixtures::writeBytes(path, bytes);
        return path;
    }

    Request request(quint16 port)
    {
        Request r;
        r.directoryHost = "127.0.0.1";
        r.port = port;
        r.account = "demo";
        r.password = "pw";
        r.recordings = {recording("a"), recording("b")};
        r.timings = Timings::Fast();
        r.timings.replyMs = r.timings.closeMs = r.timings.sendMs = 1500;
        return r;
    }

    Outcome run(quint16 port, qint64* elapsedMs) { return run(request(port), elapsedMs); }

    Outcome run(const Request& r, qint64* elapsedMs)
    {
        UploadSession session(r);
        Outcome outcome;
        bool done = false;
        QObject::connect(&session, &UploadSession::finished, [&](const Outcome& o) {
            outcome = o;
            done = true;
        });
        QElapsedTimer clock;
        clock.start();
        session.start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 15000));
        *elapsedMs = clock.elapsed();
        return outcome;
    }

    static Delivery deliveryOf(const Outcome& o, int index)
    {
        for (const FileReport& f : o.files)
            if (f.index == index && !f.isNote) return f.delivery;
        return Delivery::NotOffered;
    }

    static void check(Expect expect, Delivery got, const char* which)
    {
        if (expect == Expect::Delivered) {
            EXPECT_EQ(got, Delivery::Delivered) << which;
        } else if (expect == Expect::NotDelivered) {
            EXPECT_NE(got, Delivery::Delivered) << which;
        }
    }

    QTemporaryDir dir;
};

TEST_F(UploadScriptedServerTest, DeliveryIsProvedOnlyByWhatTheServerReallyDid)
{
    QByteArray withExtras = CodeBlock(upload::Accepted);
    withExtras.replace(1, 14, " OK\r\nVersion 2");
    const std::vector<Row> rows = {
        {"closes after the transfer end", Concat({kLogin, kFile, kFile, kEnd}), Expect::Delivered, Expect::Delivered,
         true},
        {"every reply in 7-byte segments 1 ms apart",
         {ReadBlock(), Reply(upload::Accepted, 7, 1), ReadBlock(), Reply(upload::Accepted, 7, 1), ReadContent(), ReadBlock(),
          Reply(upload::Accepted, 7, 1), ReadContent(), ReadBlock(), Close()},
         Expect::Delivered, Expect::Delivered, true},
        {"replies before the whole request arrived",
         Concat({kLogin, {Read(1), Reply(upload::Accepted), Read(1023), ReadContent()}, kFile, kEnd}), Expect::Delivered,
         Expect::Delivered, true},
        {"a reply with text after its code", Concat({kLogin, {ReadBlock(), Send(withExtras), ReadContent()}, kFile, kEnd}),
         Expect::Delivered, Expect::Delivered, true},
        {"floods after the transfer end, then closes",
         Concat({kLogin, kFile, kFile, {ReadBlock(), Send(QByteArray(4 << 20, 'Z')), Close()}}), Expect::Delivered,
         Expect::Delivered, true},
        {"ends its side after the transfer end, then waits for ours",
         Concat({kLogin, kFile, kFile, {ReadBlock(), ShutWrite(), WaitEof()}}), Expect::Delivered, Expect::Delivered,
         true},
        {"waits for our end, then closes", Concat({kLogin, kFile, kFile, {ReadBlock(), WaitEof(), Close()}}),
         Expect::Delivered, Expect::Delivered, true},
        // Its close may reach us before or after the transfer end: it read the
        // last file either way, but only a close after the end is its word.
        {"ends its side after the last content", Concat({kLogin, kFile, kFile, {ShutWrite(), ReadBlock(), WaitEof()}}),
         Expect::Delivered, Expect::Either, false},
        {"closes before the login reply", {ReadBlock(), Close()}, Expect::NotDelivered, Expect::NotDelivered, false},
        {"closes after the login reply", Concat({kLogin, {Close()}}), Expect::NotDelivered, Expect::NotDelivered, false},
        {"resets after the login reply", Concat({kLogin, {Reset()}}), Expect::NotDelivered, Expect::NotDelivered, false},
        {"closes after the header, before its reply", Concat({kLogin, {ReadBlock(), Close()}}), Expect::NotDelivered,
         Expect::NotDelivered, false},
        {"closes after the header's reply", Concat({kLogin, {ReadBlock(), Reply(upload::Accepted), Close()}}),
         Expect::NotDelivered, Expect::NotDelivered, false},
        {"closes in the middle of the file", Concat({kLogin, {ReadBlock(), Reply(upload::Accepted), Read(1000), Close()}}),
         Expect::NotDelivered, Expect::NotDelivered, false},
        {"resets in the middle of the file", Concat({kLogin, {ReadBlock(), Reply(upload::Accepted), Read(1000), Reset()}}),
         Expect::NotDelivered, Expect::NotDelivered, false},
        {"closes after the first file's last byte", Concat({kLogin, kFile, {Close()}}), Expect::NotDelivered,
         Expect::NotDelivered, false},
        {"resets after the last file's last byte", Concat({kLogin, kFile, kFile, {Reset()}}), Expect::Delivered,
         Expect::NotDelivered, false},
        {"resets after reading the transfer end", Concat({kLogin, kFile, kFile, {ReadBlock(), Reset()}}),
         Expect::Delivered, Expect::NotDelivered, false},
        {"never reads after the login", Concat({kLogin, {Hold()}}), Expect::NotDelivered, Expect::NotDelivered, false},
        {"trickles the header's reply", Concat({kLogin, {ReadBlock(), Reply(upload::Accepted, 1, 20), Hold()}}),
         Expect::NotDelivered, Expect::NotDelivered, false},
        // Bytes that were waiting before a header went out are no answer to it.
        {"answers the next header before reading this file",
         Concat({kLogin, {ReadBlock(), Reply(upload::Accepted), Reply(upload::Accepted), Read(500), Hold()}}), Expect::NotDelivered,
         Expect::NotDelivered, false},
        {"glues the first header's reply to the login's",
         {ReadBlock(), Send(CodeBlock(upload::Accepted) + CodeBlock(upload::Accepted)), ReadBlock(), ReadContent(), Hold()},
         Expect::NotDelivered, Expect::NotDelivered, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedServer server(Conversation(row.transfer));
        qint64 elapsed = 0;
        const Outcome o = run(server.port(), &elapsed);
        check(row.first, deliveryOf(o, 0), "first recording");
        check(row.second, deliveryOf(o, 1), "second recording");
        if (row.second != Expect::Either) {
            EXPECT_EQ(o.allDelivered(2), row.completes);
        }
        // Every wait has its deadline (1.5 s here): no run waits for more than two.
        EXPECT_LT(elapsed, 4000);
    }
}

// Before any file: the directory and the credential check, split, padded,
// cut or silent. A failure there connects no further and ends within its deadline.
TEST_F(UploadScriptedServerTest, TheDirectoryAndTheCheckEndInTimeAndGoNoFurtherOnFailure)
{
    const Script directoryAnswer = {ReadBlock(), Send(AnswerBlock("127.0.0.1")), WaitEof()};
    const Script checkAccepted = {ReadBlock(), Reply(upload::Accepted), ReadBlock(), WaitEof()};
    const Script transfer = Concat({kLogin, kFile, kFile, kEnd});
    struct EarlyRow {
        const char* name;
        Script directory, check;
        bool completes;
        int connections;  // how far the client went
    };
    const std::vector<EarlyRow> rows = {
        {"answer in 3-byte segments", {ReadBlock(), Send(AnswerBlock("127.0.0.1"), 3, 1), WaitEof()}, checkAccepted, true, 3},
        {"answer with bytes after its end", {ReadBlock(), Send(AnswerBlock(QByteArray("127.0.0.1\0v2 extra", 18))), WaitEof()},
         checkAccepted, true, 3},
        {"answer and more glued to it", {ReadBlock(), Send(AnswerBlock("127.0.0.1") + AnswerBlock("x")), WaitEof()},
         checkAccepted, true, 3},
        {"directory closes before answering", {ReadBlock(), Close()}, {}, false, 1},
        {"directory resets before answering", {ReadBlock(), Reset()}, {}, false, 1},
        {"directory answers half, then closes", {ReadBlock(), Send(AnswerBlock("127.0.0.1").left(512)), Close()}, {}, false, 1},
        {"directory never reads", {Hold()}, {}, false, 1},
        {"directory trickles its answer", {ReadBlock(), Send(AnswerBlock("127.0.0.1"), 1, 20), WaitEof()}, {}, false, 1},
        {"check reply with more glued to it", directoryAnswer,
         {ReadBlock(), Send(CodeBlock(upload::Accepted) + CodeBlock(9)), ReadBlock(), WaitEof()}, true, 3},
        {"check resets before its reply", directoryAnswer, {ReadBlock(), Reset()}, false, 2},
        {"check closes before its reply", directoryAnswer, {ReadBlock(), Close()}, false, 2},
        {"check never replies", directoryAnswer, {ReadBlock(), Hold()}, false, 2},
    };
    for (const EarlyRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedServer server({row.directory, row.check, transfer});
        qint64 elapsed = 0;
        const Outcome o = run(server.port(), &elapsed);
        EXPECT_EQ(o.allDelivered(2), row.completes);
        EXPECT_EQ(o.error.ok(), row.completes);
        EXPECT_EQ(server.connections(), row.connections);
        EXPECT_LT(elapsed, 4000);
    }
}

// A slow line is no dead one: the wait for the last bytes to be taken lasts
// as long as the server keeps taking them.
TEST_F(UploadScriptedServerTest, ASlowButSteadyServerIsWaitedFor)
{
    const Script slowFile = {ReadBlock(), Reply(upload::Accepted), ReadContentSlowly(4096, 10)};
    ScriptedServer server(Conversation(Concat({kLogin, slowFile, kEnd})));
    Request r = request(server.port());
    r.recordings = {recording("big", 1 << 20)};
    r.timings.sendMs = 400;  // far less than the whole file takes at about 400 kB/s
    qint64 elapsed = 0;
    const Outcome o = run(r, &elapsed);
    EXPECT_TRUE(o.error.ok()) << int(o.error.failure) << " at step " << int(o.error.step);
    EXPECT_TRUE(o.allDelivered(1));
}

}  // namespace
