#include "tests/net/ScriptedServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace scripted {

QByteArray CodeBlock(int code)
{
    QByteArray block(1024, '\0');
    block[0] = static_cast<char>(code);
    return block;
}

QByteArray AnswerBlock(const QByteArray& text)
{
    QByteArray block(1024, '\0');
    block.replace(0, text.size(), text);
    return block.left(1024);
}

ScriptedServer::ScriptedServer(std::vector<Script> scripts) : scripts_(scripts.begin(), scripts.end())
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && ::listen(listener_, 8) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &length) == 0)
        port_ = ntohs(at.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

ScriptedServer::~ScriptedServer()
{
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    {
        std::lock_guard lock(mutex_);
        for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : threads_) t.join();
    ::close(listener_);
}

void ScriptedServer::acceptLoop()
{
    while (!stopping_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++accepted_;
        Script script;
        {
            std::lock_guard lock(mutex_);
            if (!scripts_.empty()) {
                script = scripts_.front();
                scripts_.pop_front();
            }
            open_.push_back(fd);
        }
        threads_.emplace_back([this, fd, script] { play(fd, script); });
    }
}

// Blocking reads that still notice the server going away.
bool ScriptedServer::readExactly(int fd, char* into, int n, int* got)
{
    *got = 0;
    while (*got < n && !stopping_) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const ssize_t r = ::recv(fd, into + *got, static_cast<size_t>(n - *got), 0);
        if (r <= 0) return false;
        *got += static_cast<int>(r);
    }
    return *got == n;
}

void ScriptedServer::play(int fd, const Script& script)
{
    std::uint32_t announced = 0;
    QByteArray request;
    bool closed = false;
    for (const Act& act : script) {
        if (stopping_ || closed) break;
        switch (act.kind) {
        case Act::Read: {
            QByteArray block(act.count, '\0');
            int got = 0;
            readExactly(fd, block.data(), act.count, &got);
            // A request may be read in parts: the header's size counts once it is whole.
            request += block.left(got);
            for (; request.size() >= 1024; request.remove(0, 1024))
                if (request[0] == 0x60)
                    announced = std::uint8_t(request[200]) | std::uint8_t(request[201]) << 8 |
                                std::uint8_t(request[202]) << 16 | std::uint32_t(std::uint8_t(request[203])) << 24;
            break;
        }
        case Act::ReadContent: {
            const int piece = act.count > 0 ? act.count : static_cast<int>(announced);
            QByteArray content(piece, '\0');
            for (std::int64_t left = announced; left > 0 && !stopping_;) {
                int got = 0;
                const bool whole = readExactly(fd, content.data(), static_cast<int>(std::min<std::int64_t>(piece, left)), &got);
                contentRead_ += got;
                left -= got;
                if (!whole) break;
                if (act.gapMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(act.gapMs));
            }
            break;
        }
        case Act::Write: {
            const int segment = act.count > 0 ? act.count : static_cast<int>(act.bytes.size());
            for (qsizetype at = 0; at < act.bytes.size() && !stopping_; at += segment) {
                if (at > 0 && act.gapMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(act.gapMs));
                // Each segment its own TCP segment, so the client sees it split.
                const int one = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                ::send(fd, act.bytes.constData() + at, static_cast<size_t>(std::min<qsizetype>(segment, act.bytes.size() - at)),
                       MSG_NOSIGNAL);
            }
            break;
        }
        case Act::Close: closed = true; break;
        case Act::Reset: {
            const linger hard{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            closed = true;
            break;
        }
        case Act::ShutWrite: ::shutdown(fd, SHUT_WR); break;
        case Act::WaitEof: {
            char drop[4096];
            while (!stopping_) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 50) <= 0) continue;
                if (::recv(fd, drop, sizeof drop, 0) <= 0) break;
            }
            break;
        }
        case Act::Sleep: std::this_thread::sleep_for(std::chrono::milliseconds(act.count)); break;
        case Act::Hold:
            while (!stopping_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            break;
        }
    }
    {
        std::lock_guard lock(mutex_);
        std::erase(open_, fd);
    }
    // With unread bytes the system resets instead of closing in order.
    ::close(fd);
}

}  // namespace scripted
