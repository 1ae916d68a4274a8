#pragma once
#include "net/UploadTypes.h"

#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QString>

class BlockSocket;

namespace upload {
class DirectoryLookup;
}

// Facts a firmware fetch reports; the upgrade window and the command line choose the words.
namespace firmware {

// Which part of the fetch a failure belongs to.
enum class FetchStep {
    Prepare,     // before any connection
    Lookup,      // the directory host's name
    Directory,   // the server query for the update server
    Connect,     // the connection to the update server
    ImageQuery,  // is an image offered, and how large
    Blocks,      // the image's blocks
};

enum class FetchFailure {
    None,
    BadAccount,          // the update account does not fit the request's field
    LookupFailed,
    ConnectFailed,
    SendFailed,
    ReceiveFailed,       // no whole reply or block within its deadline, or the connection broke
    ReplyCut,            // the server closed before a whole reply or block arrived
    UnknownAccount,      // the directory does not know the update account
    BadDirectoryAnswer,  // not a usable dotted IPv4 address
    NoImage,             // the update server offers no image
    BadSize,             // the offered size is 0 or larger than any valid image
    FileError,           // the image file could not be written
    Cancelled,
};

struct FetchOutcome {
    FetchFailure failure = FetchFailure::None;
    FetchStep step = FetchStep::Prepare;
    quint32 size = 0;        // the offered size
    qint64 downloaded = 0;   // bytes written to the image file
    int blocks = 0;          // blocks requested
    bool ok() const { return failure == FetchFailure::None; }
};

// A short technical name of a failure, for logs and the command line ("no-image", "reply-cut" ...).
const char* FailureName(FetchFailure failure);

// Deadlines of the fetch's waits, in milliseconds.
struct FetchTimings {
    int lookupMs = 10000;
    int connectMs = 10000;
    int sendMs = 10000;
    int replyMs = 11000;   // the directory's answer and the image offer
    int blockMs = 15000;   // one whole 12,000-byte block
    static FetchTimings Fast();  // tests: short deadlines
};

struct FetchRequest {
    QString directoryHost;              // HOST_NAME
    quint16 port = 1600;                // the directory's and the update server's
    QString account = QStringLiteral("firmware_server");  // UPGRADE_ACCOUNT
    QString imagePath;                  // "tmp.rom" in the settings folder
    FetchTimings timings;
    upload::Resolver resolver;          // empty: the system's
};

// One download of the offered firmware image into `imagePath`: the directory
// names the update server, which tells the image's size and sends it in
// blocks of 12,000 bytes (of the last block only the missing bytes count).
// The image file is removed when the fetch starts and again on every failure
// or cancel, so a file that remains is always the whole offered image; the
// caller removes it when done with it.
class FirmwareFetch : public QObject {
    Q_OBJECT
public:
    explicit FirmwareFetch(FetchRequest request, QObject* parent = nullptr);
    ~FirmwareFetch() override;

    // Starts the download; finished() follows exactly once (never from inside start()).
    void start();
    // Ends a running download at once with Failure::Cancelled.
    void cancel();
    bool running() const { return running_; }

signals:
    // After each block: bytes in the image file, and the offered size (downloaded <= size).
    void progress(qint64 downloaded, quint32 size);
    void finished(const firmware::FetchOutcome& outcome);

private:
    void queryImage(const QHostAddress& server);
    void nextBlock();
    void fail(FetchFailure failure);
    void end();

    FetchRequest request_;
    FetchOutcome outcome_;
    upload::DirectoryLookup* directory_ = nullptr;
    BlockSocket* socket_ = nullptr;
    QFile file_;
    bool running_ = false;
};

}  // namespace firmware
