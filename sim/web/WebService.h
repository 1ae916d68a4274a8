#pragma once
#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include "sim/web/UpdateConnection.h"

class QTcpServer;
class QTcpSocket;

namespace sim {

// Where in the conversation a scripted fault strikes.
struct WebStage {
    enum Kind { None, Directory, Check, Login, Header } kind = None;
    int header = 0;  // for Header: the k-th file header of the transfer (1-based); 0 = every one
    bool matches(Kind k, int headerNumber) const
    {
        return kind == k && (k != Header || header == 0 || header == headerNumber);
    }
    // "directory", "check", "login", "header" or "header@K"; nullopt-like None on a bad text.
    static bool parse(const QString& text, WebStage& stage);
};

// Scripted misbehaviour of the stand-in service.
struct WebFaults {
    enum class DirectoryMode { Normal, Empty, Garbage, Unterminated, Literal };
    DirectoryMode directory = DirectoryMode::Normal;
    QByteArray directoryLiteral;     // the text for Literal ("0", "0.0.0.0", ...)
    int checkCode = 0;               // 0: answer by the account table
    int loginCode = 0;
    int headerCode = 0;              // 0: accept
    int headerCodeAt = 0;            // the k-th header gets headerCode; 0 = every one
    WebStage closeWithoutReply;      // close the connection instead of replying
    WebStage shortReply;             // send 100 bytes of the reply, then close
    WebStage silence;                // never reply, keep the connection open
    qint64 resetAfterBytes = -1;     // reset the transfer after this many content bytes
    qint64 stopReadingAfterBytes = -1;  // stop reading the transfer after this many content bytes
    int trickleMs = 0;               // replies go out in four pieces this far apart
    int resetUnreadAtHeader = 0;     // accept the K-th file header, read nothing more, reset
    int endSideAtHeader = 0;         // accept the K-th file header, end the sending side, read nothing more
    int answerTwiceAtHeader = 0;     // accept the K-th file header with two replies, then read nothing more
    bool waitForClose = false;       // after the transfer end, close only once the client ended its side
    bool holdAfterEnd = false;       // after the transfer end, keep the connection open whatever the client does
    qint64 floodAfterEnd = 0;        // after the transfer end, send this many unasked bytes, then close
    bool refuseAccount = false;      // nothing listens at the account server's address
    UpdateFaults update;             // the update server's misbehaviour
};

// A stand-in for the web service on loopback: the directory on 127.0.0.1
// answers every known account with the account server's address 127.0.0.2
// (another address, so a client that ignores the answer is caught), and the
// account server there checks credentials and takes the files. Both listen
// on the same port, as the real service does on 1600. Every request block is
// checked for the framing; received files are stored under cleaned names with
// their SHA-256; every connection is logged as one JSON object (passwords
// redacted).
class WebService : public QObject {
    Q_OBJECT
public:
    explicit WebService(QObject* parent = nullptr);
    ~WebService() override;

    // The account table; with no entry, "demo" with password "demo".
    void addAccount(const QByteArray& name, const QByteArray& password);
    void setStoreFolder(const QString& folder) { storeFolder_ = folder; }
    void setLogFile(const QString& path) { logFile_ = path; }
    WebFaults& faults() { return faults_; }
    // The update server: the directory answers the upgrade account (default
    // "firmware_server") with its address, 127.0.0.3, on the same port. It
    // offers `imageFile` (default: a valid image of 20,000 body bytes).
    void setUpgradeAccount(const QByteArray& account) { upgradeAccount_ = account; }
    void setFirmwareImage(const QByteArray& imageFile) { firmwareImage_ = imageFile; }
    const QByteArray& firmwareImage() const { return firmwareImage_; }
    static QByteArray DefaultFirmwareImage();

    // Listens on both addresses; port 0 picks a free one for both.
    bool listen(quint16 port, QString* error);
    quint16 port() const { return port_; }
    static QHostAddress directoryAddress() { return QHostAddress(QStringLiteral("127.0.0.1")); }
    static QHostAddress accountAddress() { return QHostAddress(QStringLiteral("127.0.0.2")); }
    static QHostAddress updateAddress() { return QHostAddress(QStringLiteral("127.0.0.3")); }

    // Every finished connection, oldest first.
    const QList<QJsonObject>& log() const { return log_; }
    // The name a received file is stored under: the wire name with every
    // character outside letters, digits, "." "-" "_" replaced by "_".
    static QString CleanedName(const QByteArray& wireName);

signals:
    void connectionLogged(const QJsonObject& entry);

private:
    class Connection;
    friend class Connection;
    void accept(QTcpServer* server, bool directory);
    void record(const QJsonObject& entry);
    QByteArray passwordOf(const QByteArray& account) const;

    QTcpServer* directory_ = nullptr;
    QTcpServer* accounts_ = nullptr;
    QTcpServer* update_ = nullptr;
    QByteArray upgradeAccount_ = "firmware_server";
    QByteArray firmwareImage_;
    QHash<QByteArray, QByteArray> accountTable_;
    QString storeFolder_;
    QString logFile_;
    WebFaults faults_;
    quint16 port_ = 0;
    int nextId_ = 1;
    QList<QJsonObject> log_;
};

}  // namespace sim
