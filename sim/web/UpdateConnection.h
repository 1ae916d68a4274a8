#pragma once
#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <functional>

class QTcpSocket;

namespace sim {

// Scripted misbehaviour of the stand-in update server.
struct UpdateFaults {
    bool noImage = false;        // ImageQuery is answered "no image"
    qint64 offeredSize = -1;     // announce this size instead of the image's
    int closeAfterBlocks = -1;   // close the connection once this many blocks went out
    int shortBlockAt = 0;        // the K-th block goes out half, then the connection closes
    int stallAtBlock = 0;        // the K-th block request is never answered
    bool stallOffer = false;     // ImageQuery is never answered
    int trickleMs = 0;           // blocks go out in twelve pieces this far apart
};

// One client of the update server: answers ImageQuery with the image's size
// and each BlockRequest with the next 12,000 bytes of the image (zero past its
// end), and logs the conversation as one JSON object.
class UpdateConnection : public QObject {
public:
    using Log = std::function<void(const QJsonObject&)>;
    UpdateConnection(QTcpSocket* socket, const QByteArray& image, const UpdateFaults& faults, QJsonObject entry,
                     Log log, QObject* parent);

private:
    void process();
    void handle(const QByteArray& block);
    void sendBlock();
    void end(const QString& how);

    QTcpSocket* socket_;
    QByteArray image_;
    UpdateFaults faults_;
    QJsonObject entry_;
    QJsonArray requests_;
    Log log_;
    int blocksSent_ = 0;
    qint64 offered_ = -1;  // the size offered; -1 before an offer
    bool queried_ = false;
    bool silent_ = false;
    bool ended_ = false;
};

}  // namespace sim
