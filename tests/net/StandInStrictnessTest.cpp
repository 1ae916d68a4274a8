// The stand-in service holds a client to the exchange the real service
// expects: zero fill outside the fields, one exchange per connection in its
// order, wire names as the service files them, and no block beyond the
// offered image. A client that strays is cut off and the log says why.
#include "net/UploadWire.h"
#include "sim/web/WebService.h"

#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace upload;

QByteArray Raw(RequestType type, int offset = 0, const QByteArray& bytes = {})
{
    QByteArray block = *BuildRequest(type);
    block.replace(offset, bytes.size(), bytes);
    return block;
}

TEST(StandInStrictness, AClientThatStraysFromTheExchangeIsCutOff)
{
    const QByteArray login = *BuildRequest(RequestType::UploadLogin, "demo", "pw", "0000A1F3");
    const QByteArray check = *BuildRequest(RequestType::CredentialCheck, "demo", "pw");
    const QByteArray done = *BuildRequest(RequestType::CheckDone);
    const QByteArray end = *BuildRequest(RequestType::TransferEnd);
    auto header = [](const QByteArray& name) { return *BuildFileHeader(name, 10, "0000A1F3") + QByteArray(10, 'c'); };
    const QByteArray file = header("0000A1F3\\201305\\07\\142530.edf");
    QByteArray loginJunk = login;
    loginJunk.replace(kField1 + 5, 4, "junk");  // after "demo" and its end
    QByteArray sizeJunk = *BuildFileHeader("a.edf", 0, "0000A1F3");
    sizeJunk[kField2 + 4] = 'x';
    const QByteArray query = *BuildRequest(RequestType::ImageQuery);
    const QByteArray block = *BuildRequest(RequestType::BlockRequest);

    struct Row {
        const char* name;
        QHostAddress at;
        QByteArray sent;
        const char* cutOff;  // the log's reason, or nullptr for an exchange in order
        bool holdAfterEnd = false;
    };
    const QHostAddress account = sim::WebService::accountAddress();
    const QHostAddress update = sim::WebService::updateAddress();
    const std::vector<Row> rows = {
        {"login, a file, the transfer end", account, login + file + end, nullptr},
        {"check and CheckDone", account, check + done, nullptr},
        {"offer and both blocks", update, query + block + block, nullptr},
        {"a text with bytes after its end", account, loginJunk, "bad framing"},
        {"a header with bytes after its size", account, login + sizeJunk, "bad framing"},
        {"a transfer end that carries a field", account, login + Raw(RequestType::TransferEnd, kField3, "x"),
         "bad framing"},
        {"CheckDone without a check", account, done, "out of order"},
        {"the login on the check's connection", account, check + done + login, "out of order"},
        {"a header after the transfer end", account, login + end + file, "out of order", true},
        {"a header before the login", account, file, "out of order"},
        {"a wire name of 30 characters", account, login + header("X0000A1F3\\201305\\07\\142530.edf"), "bad wire name"},
        {"a wire name with a slash", account, login + header("07/142530.edf"), "bad wire name"},
        {"a block before the offer", update, block, "block beyond the offered image"},
        {"a block more than the image has", update, query + block + block + block, "block beyond the offered image"},
        {"a second image query", update, query + query, "out of order"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::WebService service;
        service.addAccount("demo", "pw");
        service.faults().waitForClose = row.holdAfterEnd;
        ASSERT_TRUE(service.listen(0, nullptr));
        QTcpSocket client;
        client.connectToHost(row.at, service.port());
        ASSERT_TRUE(client.waitForConnected(3000));
        client.write(row.sent);
        // A stray request ends the connection at once; one in order waits for our close.
        if (!QTest::qWaitFor([&] { return !service.log().isEmpty(); }, 500)) client.disconnectFromHost();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !service.log().isEmpty(); }, 3000));
        const QString reason = service.log().front()["end"].toString();
        if (row.cutOff) {
            EXPECT_EQ(reason.toStdString(), row.cutOff);
        } else {
            for (const char* stray : {"bad framing", "out of order", "bad wire name", "block beyond the offered image"})
                EXPECT_NE(reason.toStdString(), stray);
        }
    }
}

}  // namespace
