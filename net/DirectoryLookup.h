#pragma once
#include "net/UploadTypes.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>

class BlockSocket;
class QTimer;

namespace upload {

// The server query at the service's directory, shared by the upload and the
// firmware fetch: resolves the directory host (a dotted IPv4 address is used
// as it is), sends the ServerQuery for an account and checks the answer. Every
// wait has its deadline; the completion is called exactly once, unless the
// lookup is aborted or destroyed first.
class DirectoryLookup : public QObject {
    Q_OBJECT
public:
    struct Settings {
        QString host;          // HOST_NAME
        quint16 port = 1600;
        QByteArray account;    // already in the service's code page, at most 195 bytes
        int lookupMs = 10000;
        int connectMs = 10000;
        int sendMs = 20000;
        int replyMs = 11000;
        Resolver resolver;     // empty: the system's
    };
    // `failure` is None with a usable address; otherwise LookupFailed,
    // ConnectFailed, SendFailed, ReceiveFailed, ReplyCut, UnknownAccount or
    // BadDirectoryAnswer, and `step` says whether the name lookup or the query failed.
    using Done = std::function<void(Failure failure, Step step, const QHostAddress& server)>;

    explicit DirectoryLookup(QObject* parent = nullptr);
    ~DirectoryLookup() override;

    void start(Settings settings, Done done);
    // Forgets the run: the completion is never called.
    void abort();

private:
    void query(const QHostAddress& directory);
    void finish(Failure failure, const QHostAddress& server = {});

    Settings settings_;
    Done done_;
    BlockSocket* socket_ = nullptr;
    QTimer* lookupDeadline_ = nullptr;
    Step step_ = Step::Lookup;
    int generation_ = 0;
    bool running_ = false;
};

}  // namespace upload
