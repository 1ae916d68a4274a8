#include "net/DirectoryLookup.h"

#include "net/BlockSocket.h"
#include "net/NetLog.h"
#include "net/UploadWire.h"

#include <QPointer>
#include <QTimer>

namespace upload {

DirectoryLookup::DirectoryLookup(QObject* parent) : QObject(parent), lookupDeadline_(new QTimer(this))
{
    lookupDeadline_->setSingleShot(true);
    connect(lookupDeadline_, &QTimer::timeout, this, [this] {
        if (running_ && step_ == Step::Lookup) finish(Failure::LookupFailed);
    });
}

DirectoryLookup::~DirectoryLookup() = default;

void DirectoryLookup::start(Settings settings, Done done)
{
    abort();
    settings_ = std::move(settings);
    done_ = std::move(done);
    running_ = true;
    step_ = Step::Lookup;
    const QString host = settings_.host.trimmed();
    const QByteArray latin = host.toLatin1();
    if (const auto dotted = ParseDottedIPv4(latin); dotted && host == QString::fromLatin1(latin)) {
        // Deferred, so that a caller sees the completion after start() returned.
        QTimer::singleShot(0, this, [this, generation = generation_, address = *dotted] {
            if (running_ && generation_ == generation) query(address);
        });
        return;
    }
    if (host.isEmpty()) {
        QTimer::singleShot(0, this, [this, generation = generation_] {
            if (running_ && generation_ == generation) finish(Failure::LookupFailed);
        });
        return;
    }
    lookupDeadline_->start(std::max(0, settings_.lookupMs));
    const Resolver resolver = settings_.resolver ? settings_.resolver : SystemResolver();
    QPointer<DirectoryLookup> self(this);
    resolver(host, [self, generation = generation_](const QList<QHostAddress>& addresses) {
        if (!self || !self->running_ || self->generation_ != generation || self->step_ != Step::Lookup) return;
        self->lookupDeadline_->stop();
        for (const QHostAddress& a : addresses)
            if (a.protocol() == QAbstractSocket::IPv4Protocol) return self->query(a);
        self->finish(Failure::LookupFailed);
    });
}

void DirectoryLookup::abort()
{
    running_ = false;
    ++generation_;  // a name lookup still under way is forgotten
    done_ = nullptr;
    lookupDeadline_->stop();
    if (socket_) {
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
}

void DirectoryLookup::finish(Failure failure, const QHostAddress& server)
{
    if (!running_) return;
    Done done = std::move(done_);
    const Step step = step_;
    // The directory answered: leave in order rather than with a reset.
    if (failure == Failure::None && socket_) socket_->close();
    abort();
    if (done) done(failure, step, server);
}

void DirectoryLookup::query(const QHostAddress& directory)
{
    step_ = Step::Directory;
    socket_ = new BlockSocket(this);
    BlockSocket* s = socket_;
    const Settings& t = settings_;
    s->connectTo(directory, t.port, t.connectMs, [this, s](BlockSocket::Result connected) {
        if (connected != BlockSocket::Result::Ok) return finish(Failure::ConnectFailed);
        const auto request = BuildRequest(RequestType::ServerQuery, settings_.account);
        if (!request) return finish(Failure::SendFailed);
        s->send(*request, settings_.sendMs, [this, s](BlockSocket::Result sent) {
            if (sent != BlockSocket::Result::Ok) return finish(Failure::SendFailed);
            s->receive(kBlockSize, settings_.replyMs, [this](BlockSocket::Result received, const QByteArray& reply) {
                if (received != BlockSocket::Result::Ok)
                    return finish(received == BlockSocket::Result::Closed ? Failure::ReplyCut : Failure::ReceiveFailed);
                const DirectoryAnswer answer = ParseDirectoryAnswer(reply);
                qCDebug(talmonNet) << "directory answered" << answer.text;
                if (answer.kind == DirectoryAnswer::Kind::UnknownAccount) return finish(Failure::UnknownAccount);
                if (answer.kind != DirectoryAnswer::Kind::Address) return finish(Failure::BadDirectoryAnswer);
                finish(Failure::None, answer.address);
            });
        });
    });
}

}  // namespace upload
