#include "sim/web/WebService.h"

#include "sim/web/ConnectionTail.h"

#include "device/protocol/FirmwareImage.h"
#include "net/UploadWire.h"
#include "store/AtomicFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <sys/socket.h>

namespace sim {

using upload::kBlockSize;

namespace {
constexpr qint64 kLargestFile = 64LL * 1024 * 1024;
}

bool WebStage::parse(const QString& text, WebStage& stage)
{
    const QStringList parts = text.split(QLatin1Char('@'));
    const QString name = parts.front();
    stage = WebStage{};
    if (name == "directory") stage.kind = Directory;
    else if (name == "check") stage.kind = Check;
    else if (name == "login") stage.kind = Login;
    else if (name == "header") stage.kind = Header;
    else return false;
    if (parts.size() == 2) {
        bool ok = false;
        stage.header = parts[1].toInt(&ok);
        if (!ok || stage.header < 1 || stage.kind != Header) return false;
    }
    return parts.size() <= 2;
}

// One client connection: reads request blocks (and file content after an
// accepted header), answers them and logs what happened.
class WebService::Connection : public QObject {
public:
    Connection(WebService& service, QTcpSocket* socket, bool directory)
        : QObject(&service), service_(service), socket_(socket), directory_(directory)
    {
        socket_->setParent(this);
        entry_["connection"] = service.nextId_++;
        entry_["role"] = directory ? "directory" : "account";
        entry_["local"] = socket_->localAddress().toString();
        connect(socket_, &QTcpSocket::readyRead, this, &Connection::process);
        connect(socket_, &QTcpSocket::disconnected, this, [this] { end(QStringLiteral("client closed")); });
        connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            if (e != QAbstractSocket::RemoteHostClosedError) end(QStringLiteral("socket error"));
        });
    }

private:
    const WebFaults& faults() const { return service_.faults_; }

    void process()
    {
        while (!ended_ && !stoppedReading_) {
            if (contentLeft_ > 0) {
                if (!takeContent()) return;
                continue;
            }
            if (socket_->bytesAvailable() < kBlockSize) return;
            handle(socket_->read(kBlockSize));
        }
    }

    bool takeContent()
    {
        qint64 n = std::min<qint64>(contentLeft_, socket_->bytesAvailable());
        const WebFaults& f = faults();
        for (qint64 limit : {f.resetAfterBytes, f.stopReadingAfterBytes})
            if (limit >= 0) n = std::min(n, std::max<qint64>(0, limit - contentBytes_));
        if (n > 0) {
            const QByteArray piece = socket_->read(n);
            file_.append(piece);
            contentBytes_ += piece.size();
            contentLeft_ -= piece.size();
        }
        if (f.resetAfterBytes >= 0 && contentBytes_ >= f.resetAfterBytes) {
            reset();
            return false;
        }
        if (f.stopReadingAfterBytes >= 0 && contentBytes_ >= f.stopReadingAfterBytes) {
            stoppedReading_ = true;
            // Qt would go on taking bytes from the system into its own buffer:
            // a full one-byte buffer makes it stop, and the client's sends stall.
            socket_->setReadBufferSize(1);
            note(QStringLiteral("stopped reading"));
            return false;
        }
        if (contentLeft_ == 0) storeFile();
        return n > 0;
    }

    void handle(const QByteArray& block)
    {
        const auto request = upload::ParseRequest(block);
        QJsonObject r{{"type", TypeName(request->type)}};
        if (!request->framed()) {
            r["framing"] = request->reservedZero ? "bytes outside its fields not zero" : "bytes 1-4 not zero";
            requests_.append(r);
            return end(QStringLiteral("bad framing"));
        }
        using upload::RequestType;
        const auto type = static_cast<RequestType>(request->type);
        if (!inOrder(type)) {
            requests_.append(r);
            return end(QStringLiteral("out of order"));
        }
        switch (type) {
        case RequestType::ServerQuery:
            r["account"] = QString::fromLatin1(request->field1);
            requests_.append(r);
            if (!directory_) return end(QStringLiteral("server query at the account server"));
            phase_ = Phase::Done;
            return reply(WebStage::Directory, directoryAnswer(request->field1));
        case RequestType::CredentialCheck:
        case RequestType::UploadLogin: {
            const bool login = request->type == static_cast<quint8>(RequestType::UploadLogin);
            r["account"] = QString::fromLatin1(request->field1);
            r["password"] = "(redacted)";
            if (login) r["device"] = QString::fromLatin1(request->field3);
            requests_.append(r);
            if (directory_) return end(QStringLiteral("account request at the directory"));
            const bool known = !request->field1.isEmpty() && service_.passwordOf(request->field1) == request->field2 &&
                               service_.accountTable_.contains(request->field1);
            int code = known ? upload::Accepted : upload::InvalidCredentials;
            const int scripted = login ? faults().loginCode : faults().checkCode;
            if (scripted) code = scripted;
            if (login && code == upload::Accepted) account_ = request->field1;
            phase_ = code != upload::Accepted ? Phase::Done : login ? Phase::Transfer : Phase::Checked;
            return reply(login ? WebStage::Login : WebStage::Check, Code(code));
        }
        case RequestType::CheckDone:
            requests_.append(r);
            phase_ = Phase::Done;
            return;
        case RequestType::FileHeader: {
            ++headers_;
            r["name"] = QString::fromLatin1(request->field1);
            r["size"] = static_cast<qint64>(request->field2Number);
            r["device"] = QString::fromLatin1(request->field3);
            requests_.append(r);
            // The service files it under the last 29 characters of the full
            // path, in its own separators.
            if (request->field1.isEmpty() || request->field1.size() > upload::kWireNameLength ||
                request->field1.contains('/'))
                return end(QStringLiteral("bad wire name"));
            int code = upload::Accepted;
            if (faults().headerCode && (faults().headerCodeAt == 0 || faults().headerCodeAt == headers_))
                code = faults().headerCode;
            // The stand-in keeps what it takes in memory: a size no recording
            // has is refused as invalid data instead of being waited for.
            if (request->field2Number > kLargestFile) code = upload::InvalidData;
            if (code == upload::Accepted && faults().resetUnreadAtHeader == headers_) {
                // Takes the header and nothing of the content: the unread bytes make the close a reset.
                reply(WebStage::Header, Code(code));
                stoppedReading_ = true;
                socket_->setReadBufferSize(1);
                QTimer::singleShot(300, this, [this] { reset(QStringLiteral("reset with the content unread")); });
                return;
            }
            if (code == upload::Accepted && faults().answerTwiceAtHeader == headers_) {
                // Sends more than was asked: an answer ahead of the next header,
                // before it took any of this file.
                reply(WebStage::Header, Code(code));
                socket_->write(Code(code));
                stoppedReading_ = true;
                socket_->setReadBufferSize(1);
                note(QStringLiteral("answered twice at a header"));
                return;
            }
            if (code == upload::Accepted && faults().endSideAtHeader == headers_) {
                // Says it is done before the content comes, and never reads it.
                reply(WebStage::Header, Code(code));
                stoppedReading_ = true;
                socket_->setReadBufferSize(1);
                socket_->flush();
                ::shutdown(static_cast<int>(socket_->socketDescriptor()), SHUT_WR);
                note(QStringLiteral("ended its side at a header"));
                return;
            }
            if (code == upload::Accepted) {
                fileName_ = request->field1;
                file_.clear();
                contentLeft_ = request->field2Number;
            }
            reply(WebStage::Header, Code(code));
            if (code == upload::Accepted && contentLeft_ == 0) storeFile();
            return;
        }
        case RequestType::TransferEnd:
            requests_.append(r);
            phase_ = Phase::Done;
            return endTransfer();
        case RequestType::ImageQuery:
        case RequestType::BlockRequest:
            break;  // the update server's requests, at the wrong address
        }
        requests_.append(r);
        end(QStringLiteral("unknown request"));
    }

    // Each connection carries one exchange, in its order: the server query;
    // the credential check with CheckDone after its acceptance; or the login,
    // the files and the transfer end. Nothing follows its end.
    enum class Phase { Fresh, Checked, Transfer, Done };
    bool inOrder(upload::RequestType type) const
    {
        using upload::RequestType;
        switch (type) {
        case RequestType::ServerQuery:
        case RequestType::CredentialCheck:
        case RequestType::UploadLogin: return phase_ == Phase::Fresh;
        case RequestType::CheckDone: return phase_ == Phase::Checked;
        case RequestType::FileHeader:
        case RequestType::TransferEnd: return phase_ == Phase::Transfer;
        default: return true;  // unknown here: refused below
        }
    }

    QByteArray directoryAnswer(const QByteArray& account) const
    {
        QByteArray block(kBlockSize, '\0');
        QByteArray text;
        switch (faults().directory) {
        case WebFaults::DirectoryMode::Normal:
            if (account == service_.upgradeAccount_) text = updateAddress().toString().toLatin1();
            else if (service_.accountTable_.contains(account)) text = accountAddress().toString().toLatin1();
            break;
        case WebFaults::DirectoryMode::Empty: break;
        case WebFaults::DirectoryMode::Garbage: text = "\x7F\x01garbage!!"; break;
        case WebFaults::DirectoryMode::Literal: text = faults().directoryLiteral.left(kBlockSize - 1); break;
        case WebFaults::DirectoryMode::Unterminated: return QByteArray(kBlockSize, '7');
        }
        std::copy(text.begin(), text.end(), block.begin());
        return block;
    }

    static QByteArray Code(int code)
    {
        QByteArray block(kBlockSize, '\0');
        block[0] = static_cast<char>(code);
        return block;
    }

    void reply(WebStage::Kind stage, const QByteArray& block)
    {
        QJsonObject last = requests_.last().toObject();
        const WebFaults& f = faults();
        if (f.silence.matches(stage, headers_)) {
            last["reply"] = "none (silent)";
            requests_.last() = last;
            silent_ = true;
            stoppedReading_ = true;
            return;
        }
        if (f.closeWithoutReply.matches(stage, headers_)) {
            last["reply"] = "none (closed)";
            requests_.last() = last;
            return end(QStringLiteral("closed without reply"));
        }
        if (f.shortReply.matches(stage, headers_)) {
            last["reply"] = "short (100 bytes)";
            requests_.last() = last;
            socket_->write(block.left(100));
            return end(QStringLiteral("closed after a short reply"));
        }
        last["reply"] = stage == WebStage::Directory ? QJsonValue(QString::fromLatin1(block.left(block.indexOf('\0'))))
                                                     : QJsonValue(static_cast<int>(static_cast<quint8>(block[0])));
        requests_.last() = last;
        if (f.trickleMs <= 0) {
            socket_->write(block);
            return;
        }
        QPointer<QTcpSocket> socket(socket_);
        for (int i = 0; i < 4; ++i)
            QTimer::singleShot(f.trickleMs * i, this, [socket, piece = block.mid(i * 256, 256)] {
                if (socket) socket->write(piece);
            });
    }

    void storeFile()
    {
        const QString stored = CleanedName(fileName_);
        QJsonObject f{{"name", QString::fromLatin1(fileName_)},
                      {"stored", stored},
                      {"size", file_.size()},
                      {"sha256", QString::fromLatin1(QCryptographicHash::hash(file_, QCryptographicHash::Sha256).toHex())}};
        if (!service_.storeFolder_.isEmpty()) {
            const QString folder = service_.storeFolder_ + QLatin1Char('/') + CleanedName(account_);
            QDir().mkpath(folder);
            QSaveFile out(folder + QLatin1Char('/') + stored);
            QString error;
            const bool ok = out.open(QIODevice::WriteOnly) && out.write(file_) == file_.size() && CommitWhole(out, &error);
            if (!ok) f["storeError"] = error.isEmpty() ? out.errorString() : error;
        }
        files_.append(f);
        file_.clear();
        contentLeft_ = 0;
    }

    void note(const QString& what) { entry_["note"] = what; }

    void endTransfer()
    {
        const WebFaults& f = faults();
        if (f.holdAfterEnd || f.floodAfterEnd > 0) {
            // The connection goes on without this object, which logs now.
            new ConnectionTail(socket_, f.floodAfterEnd, f.holdAfterEnd ? 60000 : 30000, &service_);
            return end(f.holdAfterEnd ? QStringLiteral("held open after the transfer end")
                                      : QStringLiteral("flooded after the transfer end"));
        }
        // Qt closes in order once the client ends its side.
        if (f.waitForClose) return;
        // Everything before it has been read: closing in order tells the client so.
        socket_->disconnectFromHost();
    }

    void reset(const QString& how = QStringLiteral("reset after content bytes"))
    {
        // Abort with linger 0 so the client sees a reset, not an orderly close.
        const qintptr fd = socket_->socketDescriptor();
        if (fd >= 0) {
            struct linger l{1, 0};
            ::setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        socket_->abort();
        end(how);
    }

    void end(const QString& how)
    {
        if (ended_) return;
        ended_ = true;
        entry_["requests"] = requests_;
        entry_["files"] = files_;
        if (contentLeft_ > 0) entry_["incompleteFile"] = QJsonObject{{"name", QString::fromLatin1(fileName_)},
                                                                     {"received", file_.size()},
                                                                     {"missing", contentLeft_}};
        entry_["contentBytes"] = contentBytes_;
        entry_["end"] = how;
        service_.record(entry_);
        if (socket_->state() != QAbstractSocket::UnconnectedState) socket_->disconnectFromHost();
        deleteLater();
    }

    static QString TypeName(quint8 type)
    {
        switch (type) {
        case 0x6D: return QStringLiteral("ServerQuery");
        case 0x73: return QStringLiteral("CredentialCheck");
        case 0x02: return QStringLiteral("CheckDone");
        case 0x61: return QStringLiteral("UploadLogin");
        case 0x60: return QStringLiteral("FileHeader");
        case 0x07: return QStringLiteral("TransferEnd");
        case 0x6E: return QStringLiteral("ImageQuery");
        case 0x6F: return QStringLiteral("BlockRequest");
        default: return QStringLiteral("unknown 0x%1").arg(type, 2, 16, QLatin1Char('0'));
        }
    }

    WebService& service_;
    QTcpSocket* socket_;
    bool directory_;
    QJsonObject entry_;
    QJsonArray requests_;
    QJsonArray files_;
    QByteArray account_;
    QByteArray fileName_;
    QByteArray file_;
    qint64 contentLeft_ = 0;
    qint64 contentBytes_ = 0;
    int headers_ = 0;
    Phase phase_ = Phase::Fresh;
    bool silent_ = false;
    bool stoppedReading_ = false;
    bool ended_ = false;
};

WebService::WebService(QObject* parent) : QObject(parent) {}

WebService::~WebService() = default;

QByteArray WebService::DefaultFirmwareImage()
{
    // A body that is not all alike, so that a shifted or repeated block shows.
    std::vector<std::uint8_t> body(20000);
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
    const std::vector<std::uint8_t> file = device::protocol::BuildFirmwareImageFile(body);
    return QByteArray(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
}

void WebService::addAccount(const QByteArray& name, const QByteArray& password)
{
    accountTable_.insert(name, password);
}

QByteArray WebService::passwordOf(const QByteArray& account) const
{
    return accountTable_.value(account);
}

QString WebService::CleanedName(const QByteArray& wireName)
{
    QString cleaned;
    for (char c : wireName) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '-' || c == '_';
        cleaned.append(keep ? QLatin1Char(c) : QLatin1Char('_'));
    }
    if (cleaned.isEmpty() || cleaned.startsWith(QLatin1Char('.'))) cleaned.prepend(QLatin1Char('_'));
    return cleaned;
}

bool WebService::listen(quint16 port, QString* error)
{
    if (accountTable_.isEmpty()) addAccount("demo", "demo");
    if (firmwareImage_.isNull()) firmwareImage_ = DefaultFirmwareImage();
    // With a free port chosen for the directory, the other addresses may
    // have it taken already; a few tries find one free on all three.
    for (int attempt = 0; attempt < 20; ++attempt) {
        delete directory_;
        delete accounts_;
        delete update_;
        directory_ = new QTcpServer(this);
        accounts_ = new QTcpServer(this);
        update_ = new QTcpServer(this);
        if (!directory_->listen(directoryAddress(), port)) {
            if (error) *error = directory_->errorString();
            return false;
        }
        port_ = directory_->serverPort();
        QTcpServer* failed = nullptr;
        if (!faults_.refuseAccount && !accounts_->listen(accountAddress(), port_)) failed = accounts_;
        else if (!update_->listen(updateAddress(), port_)) failed = update_;
        if (!failed) break;
        if (port != 0 || attempt == 19) {
            if (error) *error = failed->errorString();
            return false;
        }
    }
    connect(directory_, &QTcpServer::newConnection, this, [this] { accept(directory_, true); });
    connect(accounts_, &QTcpServer::newConnection, this, [this] { accept(accounts_, false); });
    connect(update_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = update_->nextPendingConnection())
            new UpdateConnection(socket, firmwareImage_, faults_.update, QJsonObject{{"connection", nextId_++}},
                                 [this](const QJsonObject& entry) { record(entry); }, this);
    });
    return true;
}

void WebService::accept(QTcpServer* server, bool directory)
{
    while (QTcpSocket* socket = server->nextPendingConnection()) new Connection(*this, socket, directory);
}

void WebService::record(const QJsonObject& entry)
{
    log_.append(entry);
    if (!logFile_.isEmpty()) {
        QFile file(logFile_);
        if (file.open(QIODevice::Append)) file.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
    }
    emit connectionLogged(entry);
}

}  // namespace sim
