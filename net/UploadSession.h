#pragma once
#include "net/UploadTypes.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <functional>

class BlockSocket;
class QTimer;

namespace upload {

class DirectoryLookup;

// One press of Upload: the server query at the directory, the credential
// check and the transfer connection that carries every recording and its
// note, all asynchronous with a deadline on every wait. The caller gets the
// credentials first (the account dialog is the caller's); the session asks
// the overwrite question through a signal and waits for answerOverwrite().
//
// A file counts as delivered only when all its bytes went out and the
// service then answered the next request on the same connection, or closed
// that connection in order after the transfer end; fileSettled() says so.
class UploadSession : public QObject {
    Q_OBJECT
public:
    explicit UploadSession(Request request, QObject* parent = nullptr);
    ~UploadSession() override;

    // Starts the run; finished() follows exactly once.
    void start();
    // Stops before the next content piece (or at once when waiting); the run
    // then finishes with Failure::Stopped.
    void stop();
    bool running() const { return running_; }

public slots:
    void answerOverwrite(bool overwrite);

signals:
    // The credential check connected to the account server (HOST_IP is this address).
    void accountServerReached(const QString& address);
    // Some recording of the list was uploaded before: overwrite it?
    void overwriteQuestion();
    // A content piece of recording `index` was handed to the system.
    void pieceSent(int index, qint64 bytes);
    // Recording `index` had its turn (accepted or not).
    void turnEnded(int index);
    // A file's delivery is final.
    void fileSettled(const upload::FileReport& report);
    void finished(const upload::Outcome& outcome);

private:
    struct Item;
    void fail(Failure failure, int code = 0);
    void finishRun();
    void after(int ms, std::function<void()> next);
    void prove();
    BlockSocket* newConnection();
    Item loadRecording(int index) const;
    Item loadNote(const Item& recording) const;
    size_t report(const Item& item, Delivery delivery, int code = 0);

    void resolveDirectory();
    void checkCredentials();
    void askOverwrite();
    void openTransfer();
    void nextRecording();
    void offer(const Item& item, std::function<void(bool accepted)> next);
    void sendContent(const Item& item, qint64 offset, std::function<void()> next);
    void endTransfer();

    Request request_;
    QByteArray account_, password_;  // in the service's code page
    Outcome outcome_;
    std::vector<size_t> pending_;    // sent files waiting for the service's proof
    QHostAddress accountServer_;
    DirectoryLookup* directory_ = nullptr;
    BlockSocket* socket_ = nullptr;
    QTimer* pause_ = nullptr;
    Step step_ = Step::Prepare;
    int index_ = -1;
    bool sendingContent_ = false;
    bool running_ = false;
    bool stopRequested_ = false;
    bool awaitingAnswer_ = false;
};

// True when the recording carries an analysis block whose uploaded marker is 1.
bool UploadedBefore(const QString& recordingPath);

}  // namespace upload
