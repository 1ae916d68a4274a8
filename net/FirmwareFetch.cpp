#include "net/FirmwareFetch.h"

#include "net/BlockSocket.h"
#include "net/DirectoryLookup.h"
#include "net/FirmwareWire.h"
#include "net/NetLog.h"
#include "net/UploadWire.h"

#include <QTimer>

namespace firmware {

namespace {

FetchFailure FromUpload(upload::Failure failure)
{
    using upload::Failure;
    switch (failure) {
    case Failure::None: return FetchFailure::None;
    case Failure::LookupFailed: return FetchFailure::LookupFailed;
    case Failure::ConnectFailed: return FetchFailure::ConnectFailed;
    case Failure::SendFailed: return FetchFailure::SendFailed;
    case Failure::ReplyCut: return FetchFailure::ReplyCut;
    case Failure::UnknownAccount: return FetchFailure::UnknownAccount;
    case Failure::BadDirectoryAnswer: return FetchFailure::BadDirectoryAnswer;
    default: return FetchFailure::ReceiveFailed;
    }
}

FetchFailure FromReceive(BlockSocket::Result result)
{
    return result == BlockSocket::Result::Closed ? FetchFailure::ReplyCut : FetchFailure::ReceiveFailed;
}

}  // namespace

const char* FailureName(FetchFailure failure)
{
    switch (failure) {
    case FetchFailure::None: return "none";
    case FetchFailure::BadAccount: return "bad-account";
    case FetchFailure::LookupFailed: return "lookup-failed";
    case FetchFailure::ConnectFailed: return "connect-failed";
    case FetchFailure::SendFailed: return "send-failed";
    case FetchFailure::ReceiveFailed: return "receive-failed";
    case FetchFailure::ReplyCut: return "reply-cut";
    case FetchFailure::UnknownAccount: return "unknown-account";
    case FetchFailure::BadDirectoryAnswer: return "bad-directory-answer";
    case FetchFailure::NoImage: return "no-image";
    case FetchFailure::BadSize: return "bad-size";
    case FetchFailure::FileError: return "file-error";
    case FetchFailure::Cancelled: return "cancelled";
    }
    return "?";
}

FetchTimings FetchTimings::Fast()
{
    FetchTimings t;
    t.lookupMs = t.connectMs = t.sendMs = t.replyMs = t.blockMs = 2000;
    return t;
}

FirmwareFetch::FirmwareFetch(FetchRequest request, QObject* parent)
    : QObject(parent), request_(std::move(request)), directory_(new upload::DirectoryLookup(this))
{
}

FirmwareFetch::~FirmwareFetch()
{
    if (running_) {
        running_ = false;
        end();
    }
}

void FirmwareFetch::start()
{
    if (running_) return;
    running_ = true;
    outcome_ = FetchOutcome{};
    // An image left from an earlier attempt must never be taken for this one's.
    QFile::remove(request_.imagePath);
    QByteArray account = request_.account.toLatin1();
    if (QString::fromLatin1(account) != request_.account || account.size() > upload::kField1Size) {
        QTimer::singleShot(0, this, [this] { fail(FetchFailure::BadAccount); });
        return;
    }
    outcome_.step = FetchStep::Lookup;
    upload::DirectoryLookup::Settings settings;
    settings.host = request_.directoryHost;
    settings.port = request_.port;
    settings.account = account;
    settings.lookupMs = request_.timings.lookupMs;
    settings.connectMs = request_.timings.connectMs;
    settings.sendMs = request_.timings.sendMs;
    settings.replyMs = request_.timings.replyMs;
    settings.resolver = request_.resolver;
    directory_->start(std::move(settings), [this](upload::Failure failure, upload::Step step, const QHostAddress& server) {
        outcome_.step = step == upload::Step::Lookup ? FetchStep::Lookup : FetchStep::Directory;
        if (failure != upload::Failure::None) return fail(FromUpload(failure));
        queryImage(server);
    });
}

void FirmwareFetch::cancel()
{
    if (running_) fail(FetchFailure::Cancelled);
}

void FirmwareFetch::queryImage(const QHostAddress& server)
{
    outcome_.step = FetchStep::Connect;
    qCDebug(talmonNet) << "update server" << server.toString();
    socket_ = new BlockSocket(this);
    BlockSocket* s = socket_;
    const FetchTimings& t = request_.timings;
    s->connectTo(server, request_.port, t.connectMs, [this, s, t](BlockSocket::Result connected) {
        if (connected != BlockSocket::Result::Ok) return fail(FetchFailure::ConnectFailed);
        outcome_.step = FetchStep::ImageQuery;
        s->send(*upload::BuildRequest(upload::RequestType::ImageQuery), t.sendMs, [this, s, t](BlockSocket::Result sent) {
            if (sent != BlockSocket::Result::Ok) return fail(FetchFailure::SendFailed);
            s->receive(upload::kBlockSize, t.replyMs, [this](BlockSocket::Result received, const QByteArray& reply) {
                if (received != BlockSocket::Result::Ok) return fail(FromReceive(received));
                const ImageOffer offer = *ParseImageOffer(reply);
                if (!offer.offered) return fail(FetchFailure::NoImage);
                outcome_.size = offer.size;
                qCDebug(talmonNet) << "image offered," << offer.size << "bytes";
                if (!SaneImageSize(offer.size)) return fail(FetchFailure::BadSize);
                file_.setFileName(request_.imagePath);
                if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) return fail(FetchFailure::FileError);
                outcome_.step = FetchStep::Blocks;
                emit progress(0, outcome_.size);
                nextBlock();
            });
        });
    });
}

void FirmwareFetch::nextBlock()
{
    if (outcome_.downloaded >= outcome_.size) {
        // Flushed and closed before the caller reads it back.
        const bool written = file_.flush();
        file_.close();
        if (!written) return fail(FetchFailure::FileError);
        socket_->close();
        running_ = false;
        end();
        QTimer::singleShot(0, this, [this, outcome = outcome_] { emit finished(outcome); });
        return;
    }
    // Sane sizes need at most six blocks; the count is a second guard.
    if (outcome_.blocks >= kMostBlocks) return fail(FetchFailure::BadSize);
    ++outcome_.blocks;
    const FetchTimings& t = request_.timings;
    BlockSocket* s = socket_;
    // Bytes that came before the request are no part of its block: taken,
    // they would shift the rest of the image.
    if (s->unaskedBytes() != 0) return fail(FetchFailure::ReceiveFailed);
    s->send(*upload::BuildRequest(upload::RequestType::BlockRequest), t.sendMs, [this, s, t](BlockSocket::Result sent) {
        if (sent != BlockSocket::Result::Ok) return fail(FetchFailure::SendFailed);
        // A block counts only when all of it arrived: a short one would put
        // bytes that never came into the image.
        s->receive(kBlockBytes, t.blockMs, [this](BlockSocket::Result received, const QByteArray& block) {
            if (received != BlockSocket::Result::Ok) return fail(FromReceive(received));
            const int taken = BytesTaken(outcome_.size, outcome_.downloaded);
            if (file_.write(block.constData(), taken) != taken) return fail(FetchFailure::FileError);
            outcome_.downloaded += taken;
            emit progress(outcome_.downloaded, outcome_.size);
            if (running_) nextBlock();  // a slot of progress() may have cancelled
        });
    });
}

void FirmwareFetch::fail(FetchFailure failure)
{
    if (!running_) return;
    running_ = false;
    outcome_.failure = failure;
    qCDebug(talmonNet) << "firmware fetch ends:" << int(failure) << "at step" << int(outcome_.step);
    end();
    file_.close();
    QFile::remove(request_.imagePath);
    QTimer::singleShot(0, this, [this, outcome = outcome_] { emit finished(outcome); });
}

void FirmwareFetch::end()
{
    directory_->abort();
    if (socket_) {
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
    if (file_.isOpen()) {
        file_.close();
        QFile::remove(request_.imagePath);
    }
}

}  // namespace firmware
