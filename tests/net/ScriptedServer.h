#pragma once
// A loopback TCP server that plays a script per connection on its own
// thread, with plain blocking sockets: it can split, glue, trickle, close,
// reset or half-close at any step, independently of the client's event loop.
#include <QByteArray>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace scripted {

struct Act {
    enum Kind {
        Read,         // exactly `count` bytes (fewer when the client ends)
        ReadContent,  // the size announced by the last file header read (`count` bytes `gapMs` apart; 0: at once)
        Write,        // `bytes`, in segments of `count` bytes (0: at once), `gapMs` apart
        Close,        // orderly close; the client's unread bytes make it a reset
        Reset,        // abortive close
        ShutWrite,    // end our sending side, keep reading
        WaitEof,      // read and drop until the client ends its side
        Sleep,        // `count` ms
        Hold,         // neither read nor close until the server is destroyed
    };
    Kind kind;
    int count = 0;
    QByteArray bytes;
    int gapMs = 0;
};

inline Act Do(Act::Kind kind, int count = 0) { return {kind, count, {}, 0}; }
inline Act ReadBlock() { return Do(Act::Read, 1024); }
inline Act Read(int n) { return Do(Act::Read, n); }
inline Act ReadContent() { return Do(Act::ReadContent); }
inline Act ReadContentSlowly(int piece, int gapMs) { return {Act::ReadContent, piece, {}, gapMs}; }
inline Act Send(const QByteArray& bytes, int segment = 0, int gapMs = 0) { return {Act::Write, segment, bytes, gapMs}; }
QByteArray CodeBlock(int code);
QByteArray AnswerBlock(const QByteArray& text);
inline Act Reply(int code, int segment = 0, int gapMs = 0) { return Send(CodeBlock(code), segment, gapMs); }
inline Act Close() { return Do(Act::Close); }
inline Act Reset() { return Do(Act::Reset); }
inline Act ShutWrite() { return Do(Act::ShutWrite); }
inline Act WaitEof() { return Do(Act::WaitEof); }
inline Act Sleep(int ms) { return Do(Act::Sleep, ms); }
inline Act Hold() { return Do(Act::Hold); }

using Script = std::vector<Act>;

class ScriptedServer {
public:
    // Listens on 127.0.0.1, a free port; connections take the scripts in order
    // (a connection beyond the last script is closed at once).
    explicit ScriptedServer(std::vector<Script> scripts);
    ~ScriptedServer();
    std::uint16_t port() const { return port_; }
    int connections() const { return accepted_; }
    // Content bytes the server read with ReadContent, over all connections.
    std::int64_t contentRead() const { return contentRead_; }

private:
    void acceptLoop();
    void play(int fd, const Script& script);
    bool readExactly(int fd, char* into, int n, int* got);

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::deque<Script> scripts_;
    std::mutex mutex_;
    std::vector<int> open_;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::atomic<std::int64_t> contentRead_{0};
};

}  // namespace scripted
