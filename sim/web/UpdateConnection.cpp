#include "sim/web/UpdateConnection.h"

#include "net/FirmwareWire.h"
#include "net/UploadWire.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace sim {

UpdateConnection::UpdateConnection(QTcpSocket* socket, const QByteArray& image, const UpdateFaults& faults,
                                   QJsonObject entry, Log log, QObject* parent)
    : QObject(parent), socket_(socket), image_(image), faults_(faults), entry_(std::move(entry)), log_(std::move(log))
{
    socket_->setParent(this);
    entry_["role"] = "update";
    connect(socket_, &QTcpSocket::readyRead, this, &UpdateConnection::process);
    connect(socket_, &QTcpSocket::disconnected, this, [this] { end(QStringLiteral("client closed")); });
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError) end(QStringLiteral("socket error"));
    });
}

void UpdateConnection::process()
{
    while (!ended_ && !silent_ && socket_->bytesAvailable() >= upload::kBlockSize)
        handle(socket_->read(upload::kBlockSize));
}

void UpdateConnection::handle(const QByteArray& block)
{
    const auto request = upload::ParseRequest(block);
    using upload::RequestType;
    if (!request->framed()) {
        requests_.append(QJsonObject{{"type", request->type}, {"framing", "bytes outside its fields not zero"}});
        return end(QStringLiteral("bad framing"));
    }
    if (request->type == quint8(RequestType::ImageQuery)) {
        QJsonObject r{{"type", "ImageQuery"}};
        if (queried_) {
            requests_.append(r);
            return end(QStringLiteral("out of order"));
        }
        queried_ = true;
        if (faults_.stallOffer) {
            r["reply"] = "none (silent)";
            requests_.append(r);
            silent_ = true;
            return;
        }
        QByteArray reply(upload::kBlockSize, '\0');
        const quint32 size = faults_.offeredSize >= 0 ? quint32(faults_.offeredSize) : quint32(image_.size());
        if (!faults_.noImage) {
            reply[0] = 1;
            for (int i = 0; i < 4; ++i) reply[1 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
        }
        if (!faults_.noImage) offered_ = size;
        r["reply"] = faults_.noImage ? QJsonValue("no image") : QJsonValue(qint64(size));
        requests_.append(r);
        socket_->write(reply);
        return;
    }
    if (request->type == quint8(RequestType::BlockRequest)) {
        requests_.append(QJsonObject{{"type", "BlockRequest"}, {"block", blocksSent_ + 1}});
        // A client asks for the blocks of an offered image, and no more.
        const qint64 needed = (offered_ + firmware::kBlockBytes - 1) / firmware::kBlockBytes;
        if (offered_ < 0 || blocksSent_ >= needed) return end(QStringLiteral("block beyond the offered image"));
        return sendBlock();
    }
    requests_.append(QJsonObject{{"type", request->type}});
    end(QStringLiteral("unknown request"));
}

void UpdateConnection::sendBlock()
{
    const int number = ++blocksSent_;
    if (faults_.stallAtBlock == number) {
        silent_ = true;
        entry_["note"] = "stalled";
        return;
    }
    QByteArray block = image_.mid(qint64(number - 1) * firmware::kBlockBytes, firmware::kBlockBytes);
    block.append(QByteArray(firmware::kBlockBytes - block.size(), '\0'));
    if (faults_.shortBlockAt == number) {
        socket_->write(block.left(firmware::kBlockBytes / 2));
        return end(QStringLiteral("closed after a short block"));
    }
    const bool closeAfter = faults_.closeAfterBlocks >= 0 && number >= faults_.closeAfterBlocks;
    if (faults_.trickleMs <= 0) {
        socket_->write(block);
        if (closeAfter) end(QStringLiteral("closed after blocks"));
        return;
    }
    constexpr int kPieces = 12;
    const int piece = firmware::kBlockBytes / kPieces;
    QPointer<QTcpSocket> socket(socket_);
    for (int i = 0; i < kPieces; ++i)
        QTimer::singleShot(faults_.trickleMs * i, this, [this, socket, bytes = block.mid(i * piece, piece), last = i == kPieces - 1,
                                                         closeAfter] {
            if (!socket || ended_) return;
            socket->write(bytes);
            if (last && closeAfter) end(QStringLiteral("closed after blocks"));
        });
}

void UpdateConnection::end(const QString& how)
{
    if (ended_) return;
    ended_ = true;
    entry_["requests"] = requests_;
    entry_["blocks"] = blocksSent_;
    entry_["end"] = how;
    log_(entry_);
    if (socket_->state() != QAbstractSocket::UnconnectedState) socket_->disconnectFromHost();
    deleteLater();
}

}  // namespace sim
