#pragma once
// A small scripted stream server for the radio tests, on 127.0.0.1 only. Each accepted
// connection plays the next Reply of the script (the last one repeats): a status line and
// headers, then audio cut by ICY metadata blocks, and then an end, a drop or a stall. Every
// loop is bounded: sends time out, the server stops in its destructor.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace radiotest {

inline std::string readFile(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

struct Reply {
    std::string raw;                       // when set: sent as it is, then the socket closes
    std::string status = "ICY 200 OK";     // the status line
    std::vector<std::string> headers;      // further header lines
    int metaInt = 0;                       // 0: no metadata blocks
    std::vector<std::string> titles;       // metadata texts, one per block, the last repeats
    std::string audio;                     // looped as the body
    size_t audioBytes = 64u << 20;         // audio bytes before the end
    enum End { Close, Stall } end = Close; // after audioBytes
    int answerDelayMs = 0;                 // before the response
    int bytesPerSecond = 0;                // after a first 16 KB; 0: as fast as the client reads
    bool silent = false;                   // never answers
};

class IcyServer {
  public:
    explicit IcyServer(std::vector<Reply> script) : script_(std::move(script)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(fd_, 16);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~IcyServer() {
        stop_ = true;
        acceptor_.join();
        for (auto &t : workers_)
            t.join();
        ::close(fd_);
    }
    int port() const { return port_; }
    std::string url(const std::string &path = "/stream") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int connections() const { return connections_.load(); }
    // Connections whose client went away (closed its end) while the server still sent.
    int clientsGone() const { return clientsGone_.load(); }
    std::string request(size_t i) {
        std::lock_guard<std::mutex> g(m_);
        return i < requests_.size() ? requests_[i] : std::string();
    }

  private:
    void acceptLoop() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                continue;
            const int index = connections_++;
            const Reply &r = script_[std::min<size_t>(size_t(index), script_.size() - 1)];
            workers_.emplace_back([this, c, &r] { serve(c, r); });
        }
    }

    // Sends all of data unless the server stops or the client goes; false then.
    bool sendAll(int c, const char *data, size_t n) {
        while (n > 0) {
            if (stop_)
                return false;
            pollfd p{c, POLLOUT, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t k = ::send(c, data, n, MSG_NOSIGNAL);
            if (k <= 0) {
                ++clientsGone_;
                return false;
            }
            data += k;
            n -= size_t(k);
        }
        return true;
    }

    void serve(int c, const Reply &r) {
        std::string req;
        char buf[4096];
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (req.find("\r\n\r\n") == std::string::npos && !stop_ &&
               std::chrono::steady_clock::now() < until && req.size() < 65536) {
            pollfd p{c, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t k = ::recv(c, buf, sizeof buf, 0);
            if (k <= 0)
                break;
            req.append(buf, size_t(k));
        }
        {
            std::lock_guard<std::mutex> g(m_);
            requests_.push_back(req);
        }
        waitMs(r.silent ? 1 << 30 : r.answerDelayMs);
        if (r.raw.size()) {
            sendAll(c, r.raw.data(), r.raw.size());
        } else if (!stop_) {
            std::string head = r.status + "\r\n";
            for (const auto &h : r.headers)
                head += h + "\r\n";
            if (r.metaInt > 0)
                head += "icy-metaint:" + std::to_string(r.metaInt) + "\r\n";
            head += "\r\n";
            if (sendAll(c, head.data(), head.size()))
                body(c, r);
        }
        ::shutdown(c, SHUT_RDWR);
        ::close(c);
    }

    void body(int c, const Reply &r) {
        size_t sent = 0, at = 0, block = 0;
        std::string out;
        const auto start = std::chrono::steady_clock::now();
        while (sent < r.audioBytes && !stop_ && !r.audio.empty()) {
            size_t take = std::min<size_t>(4096, r.audioBytes - sent);
            if (r.metaInt > 0)
                take = std::min(take, size_t(r.metaInt) - sent % size_t(r.metaInt));
            out.clear();
            for (size_t i = 0; i < take; ++i)
                out.push_back(r.audio[(at + i) % r.audio.size()]);
            at += take;
            sent += take;
            if (r.metaInt > 0 && sent % size_t(r.metaInt) == 0) {
                std::string text;
                if (!r.titles.empty())
                    text = r.titles[std::min(block, r.titles.size() - 1)];
                ++block;
                const size_t blocks = std::min<size_t>((text.size() + 15) / 16, 255);
                text.resize(blocks * 16, '\0');
                out.push_back(char(blocks));
                out += text;
            }
            if (!sendAll(c, out.data(), out.size()))
                return;
            if (r.bytesPerSecond > 0 && sent > 16384)
                waitMs(int((sent - 16384) * 1000 / size_t(r.bytesPerSecond)) -
                       int(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count()));
        }
        if (r.end == Reply::Stall)
            waitMs(1 << 30);
    }

    void waitMs(int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stop_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    std::vector<Reply> script_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0}, clientsGone_{0};
    std::thread acceptor_;
    std::vector<std::thread> workers_; // acceptor thread only, joined after it
    std::mutex m_;
    std::vector<std::string> requests_; // --- protected by m_
};

} // namespace radiotest
