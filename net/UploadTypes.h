#pragma once
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

// Facts an upload reports; the windows and the command line choose the words.
namespace upload {

// Which request or wait of the conversation a failure belongs to.
enum class Step {
    Prepare,         // before any connection
    Lookup,          // the directory host's name
    Directory,       // the server query
    CredentialCheck, // first connection to the account server (CheckDone included)
    Login,           // second connection, the upload login
    FileHeader,
    Content,
    TransferEnd,
};

enum class Failure {
    None,
    AccountTooLong,       // more than 195 bytes on the wire
    PasswordTooLong,      // more than 100 bytes on the wire
    CredentialsNotInCodePage,  // a character the service's code page cannot carry
    LookupFailed,         // the name does not resolve (or not within the deadline)
    ConnectFailed,
    SendFailed,           // refused, reset, or not taken within the deadline
    ReceiveFailed,        // no whole reply within the deadline, or the connection broke
    ReplyCut,             // the server closed before a whole reply arrived
    UnknownAccount,       // the directory answered an empty text
    BadDirectoryAnswer,   // not a usable dotted IPv4 address
    Refused,              // a reply code that ends the upload (see `replyCode`)
    Stopped,              // the user closed the dialog during the run
};

struct Error {
    Failure failure = Failure::None;
    Step step = Step::Prepare;
    int replyCode = 0;
    bool ok() const { return failure == Failure::None; }
};

// What became of one file of the list.
enum class Delivery {
    NotOffered,   // its turn never came
    Unreadable,   // could not be opened or read: no header was sent for it
    NoReply,      // its header was sent, but no whole reply came: nothing of it went
    Refused,      // the service answered its header with another code than 1
    SentUnproved, // every byte was sent, but the service never confirmed it
    Delivered,    // every byte was sent and the service then answered on the same
                  // connection (or closed it in order after the transfer end)
};

struct FileReport {
    int index = 0;        // position of the recording in the list
    bool isNote = false;  // the recording's note, not the recording
    QString path;
    Delivery delivery = Delivery::NotOffered;
    int replyCode = 0;    // the header's reply code when refused
    bool noteCharactersReplaced = false;  // some note characters had no place in the code page
};

struct Outcome {
    Error error;
    bool overwriteDeclined = false;  // the user kept the earlier upload
    bool diskFull = false;           // the service answered code 5 to a file header
    bool loginSentNoFiles = false;   // the login reply was neither accepted nor a refusal
    bool reachedLast = false;        // the last recording had its turn
    std::vector<FileReport> files;   // recordings and notes, in the order they were handled
    // Every recording of the list (and every note that was offered) is delivered.
    bool allDelivered(int recordingCount) const;
};

// Waits of the upload, in milliseconds. The pacing waits are the service's;
// the deadlines bound every wait on the network.
struct Timings {
    int beforeHeaderMs = 200;
    int beforeNoteMs = 200;
    int beforeEndMs = 10;
    int lookupMs = 10000;
    int connectMs = 10000;
    int replyMs = 11000;    // a whole reply block
    int sendMs = 20000;     // one request or content piece taken by the system
    int closeMs = 11000;    // the service's close after the transfer end
    static Timings Fast();  // tests: no pacing, short deadlines
};

// Resolves a host name to IPv4 addresses; calls `done` once (an empty list
// when the name does not resolve). The upload bounds the wait itself.
using Resolver = std::function<void(const QString& host, std::function<void(QList<QHostAddress>)> done)>;
// The system's resolver (QHostInfo).
Resolver SystemResolver();

struct Request {
    QString directoryHost;       // HOST_NAME: a dotted IPv4 address or a host name
    quint16 port = 1600;
    QString account;
    QString password;
    QStringList recordings;      // full paths, in data-list order
    int languageId = 1033;       // chooses the code page of texts on the wire
    Timings timings;
    Resolver resolver;           // empty: the system's
};

}  // namespace upload
