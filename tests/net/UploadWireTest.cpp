#include "net/UploadWire.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace upload;

TEST(UploadWire, FieldsSitAtTheirOffsetsAndAFullFieldHasNoTerminator)
{
    const QByteArray account(195, 'a');
    const auto check = BuildRequest(RequestType::CredentialCheck, account, "pw");
    ASSERT_TRUE(check);
    ASSERT_EQ(check->size(), 1024);
    EXPECT_EQ(check->at(0), 's');
    EXPECT_EQ(check->mid(1, 4), QByteArray(4, '\0'));
    EXPECT_EQ(check->mid(5, 195), account);
    EXPECT_EQ(check->mid(200, 3), QByteArray("pw\0", 3));  // byte 200 starts the password
    EXPECT_EQ(check->mid(202), QByteArray(1024 - 202, '\0'));

    EXPECT_FALSE(BuildRequest(RequestType::CredentialCheck, QByteArray(196, 'a'), "pw"));
    EXPECT_FALSE(BuildRequest(RequestType::UploadLogin, "a", QByteArray(101, 'p')));
    EXPECT_TRUE(BuildRequest(RequestType::UploadLogin, "a", QByteArray(100, 'p')));

    const auto header = BuildFileHeader("\\07\\142530.edf", 0x01020304, "0000A1F3");
    ASSERT_TRUE(header);
    EXPECT_EQ(header->at(0), '`');
    EXPECT_EQ(header->mid(200, 4), QByteArray("\x04\x03\x02\x01"));
    EXPECT_EQ(header->mid(300, 9), QByteArray("0000A1F3\0", 9));
    const auto parsed = ParseRequest(*header);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->field1, "\\07\\142530.edf");
    EXPECT_EQ(parsed->field2Number, 0x01020304u);
    EXPECT_TRUE(parsed->reservedZero);
}

TEST(UploadWire, OnlyAWholeBlockCarriesAReplyCode)
{
    QByteArray reply(1024, '\0');
    reply[0] = 5;
    EXPECT_EQ(ReplyCodeOf(reply), 5);
    EXPECT_FALSE(ReplyCodeOf(reply.left(1023)));
    EXPECT_FALSE(ReplyCodeOf(QByteArray()));
}

TEST(UploadWire, DirectoryAnswerMustBeAUsableDottedAddress)
{
    using K = DirectoryAnswer::Kind;
    struct Row {
        QByteArray text;
        K kind;
    } rows[] = {
        {"127.0.0.2", K::Address},       {"10.1.2.3", K::Address},        {"", K::UnknownAccount},
        {"0", K::Malformed},             {"0.0.0.0", K::Malformed},       {"255.255.255.255", K::Malformed},
        {"224.0.0.1", K::Malformed},     {"239.1.1.1", K::Malformed},     {"1.2.3", K::Malformed},
        {"1.2.3.4.5", K::Malformed},     {"1.2.3.256", K::Malformed},     {"0x7f.0.0.1", K::Malformed},
        {"127.0.0.1 ", K::Malformed},    {"host.example", K::Malformed},  {"1..2.3", K::Malformed},
        {"0.0.0.1", K::Malformed},       {"0.255.255.255", K::Malformed}, {"1.0.0.0", K::Address},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        QByteArray block(1024, '\0');
        std::copy(row.text.begin(), row.text.end(), block.begin());
        const DirectoryAnswer a = ParseDirectoryAnswer(block);
        EXPECT_EQ(a.kind, row.kind);
        if (row.kind == K::Address) {
            EXPECT_EQ(a.address.toString().toLatin1(), row.text);
        }
    }
    // No zero byte inside the block: the text never ended.
    EXPECT_EQ(ParseDirectoryAnswer(QByteArray(1024, '7')).kind, K::Malformed);
    EXPECT_EQ(ParseDirectoryAnswer(QByteArray("127.0.0.2\0", 10)).kind, K::Malformed);  // not a whole block
}

TEST(UploadWire, WireNameIsTheLast29CharactersWithBackslashes)
{
    EXPECT_EQ(WireName("/home/u/Documents/talmon/DATA/0000A1F3/201305/07/142530.edf"),
              "0000A1F3\\201305\\07\\142530.edf");
    EXPECT_EQ(WireName("/d/07/142530.edf"), "\\d\\07\\142530.edf");  // shorter: whole
    EXPECT_EQ(WireName("/x/0000A1F3/201305/07/142530.cmm").size(), 29);
}

TEST(UploadWire, ARelativePathGivesTheSameWireNameAsItsFullPath)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("DATA/0000A1F3/201305/07");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder));
    const QString relative = WireName("142530.edf");
    const QString dotted = WireName("./../07/142530.cmm");
    QDir::setCurrent(before);
    EXPECT_EQ(relative, "0000A1F3\\201305\\07\\142530.edf");
    EXPECT_EQ(dotted, "0000A1F3\\201305\\07\\142530.cmm");
}

}  // namespace
