// Scripted runs of `ecg-cli upload` against the stand-in service `web-sim`,
// both as the real programs: what each run delivers, marks, deletes and says,
// and what the service saw.
#include "store/FhrBlock.h"
#include "store/ProfileFile.h"
#include "tests/store/StoreFixtures.h"
#include "tests/tools/WebSimProcess.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const QString kPassword = QStringLiteral("s3cret-pw");

struct UploadRun {
    int exitCode = -1;
    qint64 elapsedMs = 0;
    QJsonObject result;   // the --json line
    QString err;
    QList<QJsonObject> log;  // the service's connections
    QStringList files;    // the recordings offered, in order
    QList<QByteArray> before;  // their bytes before the upload (marking changes them afterwards)
    QString storeDir, settingsDir, rawLog;
    qint64 peakKb = 0;    // the client's peak resident memory, as last seen while it ran
};

// Recordings opened once (so they carry a signed analysis block) with a note each.
QString MakeRecording(const QString& folder, const QString& time, bool withNote)
{
    const QString path = folder + "/DATA/0000A1F3/201305/07/" + time + ".edf";
    fixtures::writeDownloaded(path, 256 * 40);
    FHR_BLOCK block;
    ReadTrailingBlock(path, block);
    if (!UpdateFhrBlock(path, block, true, ManagerResults{}).ok()) qFatal("fixture: cannot sign %s", qPrintable(path));
    if (withNote) fixtures::writeBytes(path.chopped(4) + ".cmm", QString::fromUtf8("Caf\u00e9 after stairs\r\n").toUtf8());
    return path;
}

struct Case {
    const char* name;
    QStringList simArgs;
    QStringList cliArgs;
    int recordings = 2;
    bool notes = true;
    int expectedConnections = 3;
    std::function<void(const UploadRun&)> check;
    bool missingFirst = false;
    bool noServer = false;  // the case names its own --server
    bool relative = false;  // started from the recordings' folder, naming them relatively
};

// VmHWM of a running process in kB (0 when it is gone).
qint64 PeakKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').front().toLongLong();
    return 0;
}

QString ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());  // closed again when probe goes
}

UploadRun Execute(const Case& c, const QTemporaryDir& dir)
{
    UploadRun run;
    run.storeDir = dir.filePath("store");
    run.settingsDir = dir.filePath("settings");
    QDir().mkpath(run.settingsDir);
    ProfileFile ini(run.settingsDir + "/Heartlet.ini");
    ini.writeString("INFO", "ACCOUNT", "demo");
    ini.writeString("INFO", "PASSWORD", kPassword);
    const QString logPath = dir.filePath("web.log");
    QStringList simArgs{"--account", "demo:" + kPassword, "--store", run.storeDir, "--log", logPath};
    WebSim sim(simArgs + c.simArgs);
    if (c.missingFirst) run.files << dir.filePath("DATA/gone/000000.edf");
    for (int i = 0; i < c.recordings; ++i)
        run.files << MakeRecording(dir.path(), QStringLiteral("1425%1").arg(i, 2, 10, QLatin1Char('0')), c.notes);

    for (const QString& f : run.files) run.before << fixtures::readBytes(f);
    QStringList args{"upload", "--settings", run.settingsDir, "--json"};
    if (!c.noServer) args << "--server" << sim.server();
    for (const QString& a : c.cliArgs) args << (a == "@closed-port" ? ClosedPort() : a);
    QProcess cli;
    for (const QString& f : run.files) {
        if (!c.relative) {
            args << f;
            continue;
        }
        cli.setWorkingDirectory(QFileInfo(f).absolutePath());
        args << QFileInfo(f).fileName();
    }
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"), args);
    cli.waitForStarted(10000);
    const qint64 pid = cli.processId();
    while (!cli.waitForFinished(20) && clock.elapsed() < 60000) run.peakKb = std::max(run.peakKb, PeakKb(pid));
    run.elapsedMs = clock.elapsed();
    run.exitCode = cli.exitCode();
    run.err = QString::fromUtf8(cli.readAllStandardError());
    run.result = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
    // The service logs a connection when it ends, which may be just after the client exits.
    for (int waited = 0; waited < 5000; waited += 50) {
        run.rawLog = QString::fromUtf8(fixtures::readBytes(logPath));
        if (run.rawLog.count('\n') >= c.expectedConnections) break;
        QThread::msleep(50);
    }
    for (const QString& line : run.rawLog.split('\n', Qt::SkipEmptyParts))
        run.log << QJsonDocument::fromJson(line.toUtf8()).object();
    return run;
}

QJsonObject FileResult(const UploadRun& run, int i)
{
    return run.result["files"].toArray()[i].toObject();
}

// The request types the service saw, per connection: "ServerQuery|CredentialCheck,CheckDone|...".
QString Conversation(const UploadRun& run)
{
    QStringList connections;
    for (const QJsonObject& c : run.log) {
        QStringList types;
        for (const QJsonValue& r : c["requests"].toArray()) types << r.toObject()["type"].toString();
        connections << types.join(',');
    }
    return connections.join('|');
}

void ExpectMarked(const UploadRun& run, int i, bool marked)
{
    FHR_BLOCK block;
    ASSERT_TRUE(ReadFhrBlock(run.files[i], block)) << run.files[i].toStdString();
    EXPECT_EQ(block.uploadedMarker(), marked ? 1 : 0) << "file " << i;
    EXPECT_EQ(FileResult(run, i)["marked"].toBool(), marked) << "file " << i;
}

void ExpectNothingMarked(const UploadRun& run)
{
    for (int i = 0; i < run.files.size(); ++i)
        if (QFile::exists(run.files[i])) ExpectMarked(run, i, false);
}

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class UploadCli : public ::testing::TestWithParam<Case> {};

TEST_P(UploadCli, ScriptedRun)
{
    QTemporaryDir dir;
    const Case& c = GetParam();
    const UploadRun run = Execute(c, dir);
    SCOPED_TRACE(run.err.toStdString() + " / " + Conversation(run).toStdString());
    // The password never shows, neither in the client's output nor in the service's log.
    EXPECT_FALSE(run.err.contains(kPassword));
    EXPECT_FALSE(QJsonDocument(run.result).toJson().contains(kPassword.toUtf8()));
    EXPECT_FALSE(run.rawLog.contains(kPassword));
    c.check(run);
}

const Case kCases[] = {
    {"HappyPath", {}, {}, 2, true, 3, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 0);
         EXPECT_EQ(run.result["result"].toString(), "Upload completed!");
         EXPECT_EQ(Conversation(run), "ServerQuery|CredentialCheck,CheckDone|"
                                      "UploadLogin,FileHeader,FileHeader,FileHeader,FileHeader,TransferEnd");
         // Stored byte for byte under the backslash name the service gets.
         const QJsonArray received = run.log[2]["files"].toArray();
         ASSERT_EQ(received.size(), 4);
         for (int i = 0; i < 2; ++i) {
             const QJsonObject f = received[2 * i].toObject();
             const QString wire = "\\" + QStringLiteral("201305\\07\\1425%1.edf").arg(i, 2, 10, QLatin1Char('0'));
             EXPECT_TRUE(f["name"].toString().endsWith(wire)) << f["name"].toString().toStdString();
             EXPECT_EQ(f["name"].toString().size(), 29);
             const QByteArray local = run.before[i];
             EXPECT_TRUE(fixtures::readBytes(run.storeDir + "/demo/" + f["stored"].toString()) == local);
             EXPECT_EQ(f["sha256"].toString(),
                       QString::fromLatin1(QCryptographicHash::hash(local, QCryptographicHash::Sha256).toHex()));
             EXPECT_TRUE(FileResult(run, i)["delivered"].toBool());
         }
         // The recorder's ID goes in field 3 of the login and of every header.
         const QString device = QString::fromLatin1(run.before[0].mid(480, 8));
         ASSERT_EQ(device.size(), 8);
         int withDevice = 0;
         for (const QJsonValue& v : run.log[2]["requests"].toArray()) {
             const QJsonObject r = v.toObject();
             if (r["type"] == "UploadLogin" || r["type"] == "FileHeader") {
                 EXPECT_EQ(r["device"].toString(), device) << r["type"].toString().toStdString();
                 ++withDevice;
             }
         }
         EXPECT_EQ(withDevice, 5);
         // The note goes in the language's code page: "é" is one byte.
         EXPECT_EQ(received[1].toObject()["size"].toInt(), QByteArray("Caf\xE9 after stairs\r\n").size());
         // The marker is set once the service has the file.
         ExpectMarked(run, 0, true);
         ExpectMarked(run, 1, true);
         QProcess info;
         info.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"), {"info", "--json", run.files[1]});
         info.waitForFinished(30000);
         const QJsonObject o = QJsonDocument::fromJson(info.readAllStandardOutput()).object();
         EXPECT_EQ(o["recorder"].toObject()["uploaded"].toInt(), 1);
         ProfileFile ini(run.settingsDir + "/Heartlet.ini");
         EXPECT_EQ(ini.readString("INFO", "HOST_IP"), "127.0.0.2");
         struct stat st {};
         ASSERT_EQ(::stat(QFile::encodeName(ini.path()).constData(), &st), 0);
         EXPECT_EQ(st.st_mode & 0777, 0600u);
     }},
    {"DeleteAfterDelivery", {}, {"--delete-after"}, 2, true, 3, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 0);
         EXPECT_EQ(run.result["result"].toString(), "All ECG data shall be deleted from the software.");
         for (const QString& f : run.files) {
             EXPECT_FALSE(QFile::exists(f));
             EXPECT_FALSE(QFile::exists(f.chopped(4) + ".cmm"));
         }
     }},
    {"ResetDuringSecondFile", {"--reset-after", "30000"}, {"--delete-after"}, 2, false, 3, [](const UploadRun& run) {
         // File 1 (23,574 bytes with its block) is proved by the reply to file 2's
         // header; file 2 broke off. Nothing unproved is deleted.
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_FALSE(QFile::exists(run.files[0]));
         EXPECT_TRUE(QFile::exists(run.files[1]));
         ExpectMarked(run, 1, false);
         EXPECT_EQ(FileResult(run, 1)["delivered"].toBool(), false);
         EXPECT_EQ(run.result["result"].toString(), "Upload failed!");
     }},
    {"ResetDuringSecondFileMarksOnlyTheFirst", {"--reset-after", "30000"}, {}, 2, false, 3, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         ExpectMarked(run, 0, true);
         ExpectMarked(run, 1, false);
     }},
    {"SilenceAfterLogin", {"--silent-at", "login"}, {"--timeout", "2"}, 2, true, 2, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_EQ(run.result["message"].toString(), "Data receiving error!");
         EXPECT_LT(run.elapsedMs, 8000);
         ExpectNothingMarked(run);
     }},
    {"AccountRefused", {"--check-code", "2"}, {}, 2, true, 2, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_EQ(run.result["message"].toString(), "Invalid ID or password!");
         EXPECT_EQ(Conversation(run), "ServerQuery|CredentialCheck");
         ExpectNothingMarked(run);
     }},
    {"DirectoryEmpty", {"--directory-answer", "empty"}, {}, 1, false, 1, [](const UploadRun& run) {
         EXPECT_EQ(run.result["message"].toString(), "Invalid name or password.");
         EXPECT_EQ(Conversation(run), "ServerQuery");
     }},
    {"DirectoryGarbage", {"--directory-answer", "garbage"}, {}, 1, false, 1, [](const UploadRun& run) {
         EXPECT_EQ(run.result["message"].toString(), "Fail to connect to server, please try again later.");
         EXPECT_EQ(Conversation(run), "ServerQuery");
     }},
    {"DirectoryUnterminated", {"--directory-answer", "unterminated"}, {}, 1, false, 1, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_EQ(Conversation(run), "ServerQuery");
     }},
    {"DirectoryZero", {"--directory-answer", "0"}, {}, 1, false, 1, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_EQ(Conversation(run), "ServerQuery");
     }},
    {"DirectoryBroadcast", {"--directory-answer", "255.255.255.255"}, {}, 1, false, 1, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_EQ(Conversation(run), "ServerQuery");
     }},
    {"RefusedPort", {}, {"--server", "@closed-port"}, 1, false, 0, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_EQ(run.result["message"].toString(), "Fail to connect to server, please try again later.");
     }, false, true},
    {"UnknownHost", {}, {"--server", "no-such-host.invalid", "--timeout", "3"}, 1, false, 0, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_EQ(run.result["message"].toString(), "DNS Error.");
     }, false, true},
    {"DiskFullAtSecondFile", {"--header-code", "5@2"}, {}, 3, false, 3, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_EQ(run.result["notice"].toString(), "Free hard disk space is full!");
         EXPECT_EQ(Conversation(run), "ServerQuery|CredentialCheck,CheckDone|UploadLogin,FileHeader,FileHeader,TransferEnd");
         ExpectMarked(run, 0, true);
         ExpectMarked(run, 1, false);
         ExpectMarked(run, 2, false);
     }},
    {"DeleteAfterWithRefusedLogin", {"--login-code", "2"}, {"--delete-after"}, 2, true, 3, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_EQ(run.result["message"].toString(), "Invalid ID or password!");
         for (const QString& f : run.files) {
             EXPECT_TRUE(QFile::exists(f));
             EXPECT_TRUE(QFile::exists(f.chopped(4) + ".cmm"));
         }
     }},
    {"MissingFileIsNeverOffered", {}, {}, 1, false, 3, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);  // not every recording was delivered
         EXPECT_EQ(FileResult(run, 0)["result"].toString(), "unreadable");
         EXPECT_TRUE(FileResult(run, 1)["delivered"].toBool());
         EXPECT_EQ(Conversation(run), "ServerQuery|CredentialCheck,CheckDone|UploadLogin,FileHeader,TransferEnd");
         EXPECT_TRUE(run.err.contains("There was a problem opening the file"));
     }, true},
    // A service that reads until we end our side, or keeps the connection
    // open regardless: the last recording is proved by the close, or by every
    // byte acknowledged, within a second instead of failing after eleven.
    {"ServerWaitsForOurClose", {"--wait-for-close"}, {"--delete-after"}, 2, true, 3, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 0);
         EXPECT_EQ(run.result["result"].toString(), "All ECG data shall be deleted from the software.");
         for (const QString& f : run.files) EXPECT_FALSE(QFile::exists(f));
         EXPECT_LT(run.elapsedMs, 5000);
     }},
    {"ServerHoldsTheConnectionOpen", {"--hold-after-end"}, {}, 2, true, 3, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 0);
         EXPECT_EQ(run.result["result"].toString(), "Upload completed!");
         ExpectMarked(run, 0, true);
         ExpectMarked(run, 1, true);
         EXPECT_LT(run.elapsedMs, 5000);
     }},
    // The service took the last header, read none of the content and reset:
    // nothing of that recording is deleted or marked.
    {"ResetWithTheLastContentUnread", {"--reset-unread-at-header", "2"}, {"--delete-after"}, 2, false, 3,
     [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_FALSE(QFile::exists(run.files[0]));  // proved by the reply to the second header
         EXPECT_TRUE(QFile::exists(run.files[1]));
         ExpectMarked(run, 1, false);
         EXPECT_EQ(FileResult(run, 1)["result"].toString(), "sent-unconfirmed");
         EXPECT_EQ(run.result["result"].toString(), "Upload failed!");
     }},
    {"ResetWithTheOnlyContentUnread", {"--reset-unread-at-header", "1"}, {"--delete-after"}, 1, false, 3,
     [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_TRUE(QFile::exists(run.files[0]));
         ExpectMarked(run, 0, false);
     }},
    // An answer that was waiting before the second header proves nothing about the first file.
    {"ServerAnswersAHeaderTwiceAndReadsNoContent", {"--answer-twice-at-header", "1"}, {"--delete-after"}, 2, false, 2,
     [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         for (int i = 0; i < 2; ++i) {
             EXPECT_TRUE(QFile::exists(run.files[i]));
             ExpectMarked(run, i, false);
         }
         EXPECT_EQ(FileResult(run, 0)["result"].toString(), "sent-unconfirmed");
         EXPECT_EQ(run.result["result"].toString(), "Upload failed!");
     }},
    {"ServerEndsItsSideBeforeTheLastContent", {"--end-side-at-header", "2"}, {"--delete-after"}, 2, false, 3,
     [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 1);
         EXPECT_TRUE(QFile::exists(run.files[1]));
         EXPECT_EQ(FileResult(run, 1)["result"].toString(), "sent-unconfirmed");
     }},
    // Bytes nobody asked for are dropped as they come: memory stays flat.
    {"FloodAfterTheTransferEnd", {"--flood-after-end", "1073741824"}, {}, 1, false, 3, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 0);
         ExpectMarked(run, 0, true);
         EXPECT_GT(run.peakKb, 0);
         EXPECT_LT(run.peakKb, 64 * 1024);
     }},
    // Started from the recordings' folder: the service still gets the device and date folders.
    {"RelativePathsSendFullWireNames", {}, {}, 2, true, 3, [](const UploadRun& run) {
         EXPECT_EQ(run.exitCode, 0);
         const QJsonArray received = run.log[2]["files"].toArray();
         ASSERT_EQ(received.size(), 4);
         EXPECT_EQ(received[0].toObject()["name"].toString(), "0000A1F3\\201305\\07\\142500.edf");
         EXPECT_EQ(received[1].toObject()["name"].toString(), "0000A1F3\\201305\\07\\142500.cmm");
         ExpectMarked(run, 0, true);
     }, false, false, true},
};

INSTANTIATE_TEST_SUITE_P(Table, UploadCli, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

// The account field holds 195 bytes: one more is refused before anything is sent.
TEST(UploadCliLengths, AccountOf195BytesIsSentAnd196IsRefusedBeforeConnecting)
{
    for (int length : {195, 196}) {
        SCOPED_TRACE(length);
        QTemporaryDir dir;
        const QString account(length, QLatin1Char('a'));
        const QString logPath = dir.filePath("web.log");
        WebSim sim({"--account", account + ":pw", "--log", logPath});
        const QString recording = MakeRecording(dir.path(), "142500", false);
        fixtures::writeBytes(dir.filePath("pw"), "pw\n");
        QProcess cli;
        cli.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"),
                  {"upload", "--settings", dir.filePath("settings"), "--server", sim.server(), "--account", account,
                   "--password-file", dir.filePath("pw"), "--json", recording});
        cli.waitForFinished(60000);
        const QJsonObject o = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
        if (length == 195) {
            EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        } else {
            EXPECT_EQ(cli.exitCode(), 1);
            EXPECT_EQ(o["message"].toString(), "Invalid ID or password!");
            QThread::msleep(200);
            EXPECT_FALSE(QFile::exists(logPath));  // not even the directory was asked
        }
    }
}

}  // namespace
