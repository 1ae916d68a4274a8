#include "net/UploadSession.h"

#include "net/BlockSocket.h"
#include "net/DirectoryLookup.h"
#include "net/NetLog.h"
#include "net/UploadWire.h"
#include "store/FhrBlock.h"
#include "store/LegacyCodePage.h"
#include "store/SideFiles.h"

#include <QFile>
#include <QHostInfo>
#include <QStringDecoder>
#include <QTimer>
#include <memory>

namespace upload {

// A file ready to offer: its bytes as they will go out, taken from the open
// file, so the size in the header is exactly what is sent.
struct UploadSession::Item {
    int index = 0;
    bool isNote = false;
    QString path;
    QByteArray bytes;
    QByteArray wireName;
    QByteArray deviceId;
    bool readable = false;
    bool charactersReplaced = false;
};

namespace {

// Far above any recording; keeps a mistaken pick of a huge file from filling memory.
constexpr qint64 kLargestFile = 256LL * 1024 * 1024;

bool IsEndingRefusal(int code, bool atLogin)
{
    switch (code) {
    case InvalidCredentials: case InvalidData: case AccountExpired: case FileLocked: return true;
    case DeviceNotRegistered: return !atLogin;
    default: return false;
    }
}

QByteArray DeviceIdOf(const QByteArray& recording)
{
    const QByteArray id = recording.mid(kDeviceIdOffset, 8);
    const qsizetype zero = id.indexOf('\0');
    return zero < 0 ? id : id.left(zero);
}

QByteArray ReadWhole(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = false;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestFile) return {};
    QByteArray bytes = file.readAll();
    *ok = file.error() == QFileDevice::NoError;
    return bytes;
}

}  // namespace

Timings Timings::Fast()
{
    Timings t;
    t.beforeHeaderMs = t.beforeNoteMs = t.beforeEndMs = 0;
    t.lookupMs = t.connectMs = 3000;
    t.replyMs = t.sendMs = t.closeMs = 3000;
    return t;
}

bool Outcome::allDelivered(int recordingCount) const
{
    if (!error.ok() || diskFull || loginSentNoFiles || overwriteDeclined) return false;
    int delivered = 0;
    for (const FileReport& f : files) {
        if (f.isNote && f.delivery != Delivery::Delivered) return false;
        if (!f.isNote && f.delivery == Delivery::Delivered) ++delivered;
    }
    return delivered == recordingCount;
}

Resolver SystemResolver()
{
    return [](const QString& host, std::function<void(QList<QHostAddress>)> done) {
        QHostInfo::lookupHost(host, [done = std::move(done)](const QHostInfo& info) {
            QList<QHostAddress> v4;
            for (const QHostAddress& a : info.addresses())
                if (a.protocol() == QAbstractSocket::IPv4Protocol) v4 << a;
            done(v4);
        });
    };
}

bool UploadedBefore(const QString& recordingPath)
{
    FHR_BLOCK block;
    return ReadFhrBlock(recordingPath, block) && block.uploadedMarker() == 1;
}

UploadSession::UploadSession(Request request, QObject* parent)
    : QObject(parent), request_(std::move(request)), directory_(new DirectoryLookup(this)), pause_(new QTimer(this))
{
    pause_->setSingleShot(true);
}

UploadSession::~UploadSession() = default;

void UploadSession::after(int ms, std::function<void()> next)
{
    pause_->disconnect();
    connect(pause_, &QTimer::timeout, this, [this, next = std::move(next)] {
        if (running_) next();
    });
    pause_->start(std::max(0, ms));
}

void UploadSession::start()
{
    if (running_) return;
    running_ = true;
    stopRequested_ = false;
    outcome_ = Outcome{};
    pending_.clear();
    index_ = -1;
    step_ = Step::Prepare;
    const auto account = LegacyCodePage::encode(request_.account, request_.languageId);
    const auto password = LegacyCodePage::encode(request_.password, request_.languageId);
    account_ = account.bytes;
    password_ = password.bytes;
    // Checked before any connection: a cut account or password would be
    // another account's, and a replaced character another password.
    if (!account.lossless || !password.lossless)
        return fail(Failure::CredentialsNotInCodePage);
    if (account_.size() > kField1Size) return fail(Failure::AccountTooLong);
    if (password_.size() > kField2Size) return fail(Failure::PasswordTooLong);
    // Deferred, so that the caller has connected to the signals of a run that ends at once.
    after(0, [this] { resolveDirectory(); });
}

void UploadSession::stop()
{
    if (!running_) return;
    stopRequested_ = true;
    // Between pieces the content loop notices the flag; every other wait ends now.
    if (!sendingContent_) fail(Failure::Stopped);
}

void UploadSession::answerOverwrite(bool overwrite)
{
    if (!running_ || !awaitingAnswer_) return;
    awaitingAnswer_ = false;
    if (!overwrite) {
        outcome_.overwriteDeclined = true;
        return finishRun();
    }
    openTransfer();
}

void UploadSession::fail(Failure failure, int code)
{
    if (!running_) return;
    outcome_.error = Error{failure, step_, code};
    qCDebug(talmonNet) << "upload ends:" << int(failure) << "at step" << int(step_) << "code" << code;
    finishRun();
}

void UploadSession::finishRun()
{
    if (!running_) return;
    running_ = false;
    awaitingAnswer_ = false;
    sendingContent_ = false;
    pause_->stop();
    if (socket_) {
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
    directory_->abort();
    // Sent, but never confirmed by the service: it may hold them or not.
    for (size_t i : pending_) emit fileSettled(outcome_.files[i]);
    pending_.clear();
    QTimer::singleShot(0, this, [this, outcome = outcome_] { emit finished(outcome); });
}

void UploadSession::prove()
{
    for (size_t i : pending_) {
        outcome_.files[i].delivery = Delivery::Delivered;
        emit fileSettled(outcome_.files[i]);
    }
    pending_.clear();
}

BlockSocket* UploadSession::newConnection()
{
    if (socket_) {
        socket_->close();
        socket_->deleteLater();
    }
    socket_ = new BlockSocket(this);
    return socket_;
}

void UploadSession::resolveDirectory()
{
    step_ = Step::Lookup;
    const Timings& t = request_.timings;
    DirectoryLookup::Settings settings;
    settings.host = request_.directoryHost;
    settings.port = request_.port;
    settings.account = account_;
    settings.lookupMs = t.lookupMs;
    settings.connectMs = t.connectMs;
    settings.sendMs = t.sendMs;
    settings.replyMs = t.replyMs;
    settings.resolver = request_.resolver;
    directory_->start(std::move(settings), [this](Failure failure, Step step, const QHostAddress& server) {
        step_ = step;
        if (failure != Failure::None) return fail(failure);
        accountServer_ = server;
        checkCredentials();
    });
}

void UploadSession::checkCredentials()
{
    step_ = Step::CredentialCheck;
    const Timings& t = request_.timings;
    BlockSocket* s = newConnection();
    s->connectTo(accountServer_, request_.port, t.connectMs, [this, s, t](BlockSocket::Result connected) {
        if (connected != BlockSocket::Result::Ok) return fail(Failure::ConnectFailed);
        emit accountServerReached(accountServer_.toString());
        const QByteArray check = *BuildRequest(RequestType::CredentialCheck, account_, password_);
        s->send(check, t.sendMs, [this, s, t](BlockSocket::Result sent) {
            if (sent != BlockSocket::Result::Ok) return fail(Failure::SendFailed);
            s->receive(kBlockSize, t.replyMs, [this, s, t](BlockSocket::Result received, const QByteArray& reply) {
                if (received != BlockSocket::Result::Ok)
                    return fail(received == BlockSocket::Result::Closed ? Failure::ReplyCut : Failure::ReceiveFailed);
                const int code = *ReplyCodeOf(reply);
                if (IsEndingRefusal(code, false)) return fail(Failure::Refused, code);
                if (code != Accepted) return askOverwrite();  // goes on without CheckDone
                s->send(*BuildRequest(RequestType::CheckDone), t.sendMs, [this](BlockSocket::Result doneSent) {
                    if (doneSent != BlockSocket::Result::Ok) return fail(Failure::SendFailed);
                    askOverwrite();
                });
            });
        });
    });
}

void UploadSession::askOverwrite()
{
    if (socket_) socket_->close();
    for (const QString& path : request_.recordings) {
        if (UploadedBefore(path)) {
            awaitingAnswer_ = true;
            emit overwriteQuestion();
            return;
        }
    }
    openTransfer();
}

void UploadSession::openTransfer()
{
    step_ = Step::Login;
    const Timings& t = request_.timings;
    QByteArray firstDevice;
    if (!request_.recordings.isEmpty()) {
        QFile first(request_.recordings.front());
        if (first.open(QIODevice::ReadOnly)) firstDevice = DeviceIdOf(first.read(kDeviceIdOffset + 8));
    }
    BlockSocket* s = newConnection();
    s->connectTo(accountServer_, request_.port, t.connectMs, [this, s, t, firstDevice](BlockSocket::Result connected) {
        if (connected != BlockSocket::Result::Ok) return fail(Failure::ConnectFailed);
        const auto login = BuildRequest(RequestType::UploadLogin, account_, password_, firstDevice);
        if (!login) return fail(Failure::SendFailed);
        s->send(*login, t.sendMs, [this, s, t](BlockSocket::Result sent) {
            if (sent != BlockSocket::Result::Ok) return fail(Failure::SendFailed);
            s->receive(kBlockSize, t.replyMs, [this](BlockSocket::Result received, const QByteArray& reply) {
                if (received != BlockSocket::Result::Ok)
                    return fail(received == BlockSocket::Result::Closed ? Failure::ReplyCut : Failure::ReceiveFailed);
                const int code = *ReplyCodeOf(reply);
                if (IsEndingRefusal(code, true)) return fail(Failure::Refused, code);
                if (code != Accepted) {
                    // The service takes no file on this login; nothing more is sent.
                    outcome_.loginSentNoFiles = true;
                    return finishRun();
                }
                index_ = -1;
                nextRecording();
            });
        });
    });
}

UploadSession::Item UploadSession::loadRecording(int index) const
{
    Item item;
    item.index = index;
    item.path = request_.recordings.at(index);
    item.bytes = ReadWhole(item.path, &item.readable);
    item.wireName = LegacyCodePage::encode(WireName(item.path), request_.languageId).bytes;
    item.deviceId = DeviceIdOf(item.bytes);
    return item;
}

UploadSession::Item UploadSession::loadNote(const Item& recording) const
{
    Item note;
    note.index = recording.index;
    note.isNote = true;
    note.path = NotePath(recording.path);
    note.deviceId = recording.deviceId;
    note.wireName = LegacyCodePage::encode(WireName(note.path), request_.languageId).bytes;
    const QByteArray stored = ReadWhole(note.path, &note.readable);
    // Notes are kept in UTF-8 here; the service reads the language's code page.
    // A note that is not UTF-8 was written in that code page already.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(stored);
    if (utf8.hasError()) {
        note.bytes = stored;
    } else {
        const auto encoded = LegacyCodePage::encode(text, request_.languageId);
        note.bytes = encoded.bytes;
        note.charactersReplaced = !encoded.lossless;
    }
    return note;
}

size_t UploadSession::report(const Item& item, Delivery delivery, int code)
{
    FileReport r;
    r.index = item.index;
    r.isNote = item.isNote;
    r.path = item.path;
    r.delivery = delivery;
    r.replyCode = code;
    r.noteCharactersReplaced = item.charactersReplaced;
    outcome_.files.push_back(r);
    if (delivery != Delivery::SentUnproved) emit fileSettled(r);
    return outcome_.files.size() - 1;
}

void UploadSession::nextRecording()
{
    ++index_;
    if (index_ >= request_.recordings.size()) return endTransfer();
    after(request_.timings.beforeHeaderMs, [this] {
        const Item recording = loadRecording(index_);
        const bool last = index_ == request_.recordings.size() - 1;
        if (!recording.readable) {
            // Never offered: a header with a size that is not the file's would
            // put the service out of step with the stream.
            report(recording, Delivery::Unreadable);
            emit turnEnded(index_);
            outcome_.reachedLast = outcome_.reachedLast || last;
            return nextRecording();
        }
        offer(recording, [this, recording, last](bool accepted) {
            emit turnEnded(index_);
            outcome_.reachedLast = outcome_.reachedLast || last;
            after(request_.timings.beforeNoteMs, [this, recording, accepted] {
                if (!accepted) return nextRecording();
                const Item note = loadNote(recording);
                if (!note.readable || note.bytes.isEmpty()) return nextRecording();
                offer(note, [this](bool) { nextRecording(); });
            });
        });
    });
}

void UploadSession::offer(const Item& item, std::function<void(bool accepted)> next)
{
    step_ = Step::FileHeader;
    const Timings& t = request_.timings;
    const auto header = BuildFileHeader(item.wireName, static_cast<std::uint32_t>(item.bytes.size()), item.deviceId);
    if (!header) {
        report(item, Delivery::Unreadable);
        return next(false);
    }
    BlockSocket* s = socket_;
    // The reply to this header is the proof for the files before it: bytes
    // already waiting were sent before the server read them, so they prove
    // nothing, and the conversation is out of step.
    if (s->unaskedBytes() != 0) return fail(Failure::ReceiveFailed);
    s->send(*header, t.sendMs, [this, s, t, item, next = std::move(next)](BlockSocket::Result sent) mutable {
        if (sent != BlockSocket::Result::Ok) return fail(Failure::SendFailed);
        s->receive(kBlockSize, t.replyMs, [this, item, next = std::move(next)](BlockSocket::Result received,
                                                                            const QByteArray& reply) mutable {
            // Without a whole reply the stream is out of step: the transfer ends here.
            if (received != BlockSocket::Result::Ok) {
                report(item, Delivery::NoReply);
                return fail(received == BlockSocket::Result::Closed ? Failure::ReplyCut : Failure::ReceiveFailed);
            }
            // The service answered the request after the earlier files: it has them.
            prove();
            const int code = *ReplyCodeOf(reply);
            if (code == DiskFull) {
                outcome_.diskFull = true;
                report(item, Delivery::Refused, code);
                return endTransfer();
            }
            if (code != Accepted) {
                report(item, Delivery::Refused, code);
                return next(false);
            }
            step_ = Step::Content;
            sendingContent_ = true;
            sendContent(item, 0, [this, item, next = std::move(next)] {
                sendingContent_ = false;
                pending_.push_back(report(item, Delivery::SentUnproved));
                // The pauses that follow count from the last byte on the line, not
                // from the last byte handed to the system.
                socket_->awaitAcknowledged(request_.timings.sendMs, [this, next](BlockSocket::Result left) {
                    if (left != BlockSocket::Result::Ok) return fail(Failure::SendFailed);
                    // A server that ended its side before it read this file would
                    // later look like one that closed in order after reading it.
                    if (socket_->peerHasEnded()) return fail(Failure::ReplyCut);
                    next(true);
                });
            });
        });
    });
}

void UploadSession::sendContent(const Item& item, qint64 offset, std::function<void()> next)
{
    if (stopRequested_) {
        sendingContent_ = false;
        return fail(Failure::Stopped);
    }
    if (offset >= item.bytes.size()) return next();
    const QByteArray piece = item.bytes.mid(offset, kPieceSize);
    socket_->send(piece, request_.timings.sendMs,
                  [this, item, offset, size = piece.size(), next = std::move(next)](BlockSocket::Result sent) mutable {
                      if (sent != BlockSocket::Result::Ok) {
                          sendingContent_ = false;
                          return fail(Failure::SendFailed);
                      }
                      if (!item.isNote) emit pieceSent(item.index, size);
                      sendContent(item, offset + size, std::move(next));
                  });
}

void UploadSession::endTransfer()
{
    after(request_.timings.beforeEndMs, [this] {
        step_ = Step::TransferEnd;
        const Timings& t = request_.timings;
        BlockSocket* s = socket_;
        if (s->peerHasEnded()) return fail(Failure::ReplyCut);
        s->send(*BuildRequest(RequestType::TransferEnd), t.sendMs, [this, s, t](BlockSocket::Result sent) {
            if (sent != BlockSocket::Result::Ok) return fail(Failure::SendFailed);
            // The proof for the last file: the service closes in order once it has
            // read everything, or, keeping the connection open, has acknowledged
            // every byte without a reset. A reset proves nothing.
            s->awaitClose(t.closeMs, [this](BlockSocket::Result closed) {
                if (closed == BlockSocket::Result::Ok) prove();
                finishRun();
            });
        });
    });
}

}  // namespace upload
