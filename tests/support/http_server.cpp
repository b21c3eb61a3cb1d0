#include "tests/support/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

const char* ReasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

HttpTestServer::HttpTestServer(int port) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        throw std::runtime_error("socket failed");
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 16) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("cannot listen on loopback");
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    if (::pipe2(wakePipe_, O_CLOEXEC) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("pipe failed");
    }
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    released_.notify_all();
    char b = 0;
    (void)!::write(wakePipe_[1], &b, 1);
    acceptThread_.join();
    for (std::thread& t : workers_)
        t.join();
    ::close(listenFd_);
    ::close(wakePipe_[0]);
    ::close(wakePipe_[1]);
}

std::string HttpTestServer::HostPort() const {
    return "127.0.0.1:" + std::to_string(port_);
}

void HttpTestServer::Set(const std::string& path, Response response) {
    std::lock_guard<std::mutex> lock(mutex_);
    responses_[path] = std::move(response);
}

void HttpTestServer::SetBody(const std::string& path, const std::string& body) {
    Response r;
    r.body = body;
    Set(path, std::move(r));
}

void HttpTestServer::Remove(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    responses_.erase(path);
}

std::vector<HttpTestServer::Request> HttpTestServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

int HttpTestServer::RequestCount(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const Request& r : requests_)
        n += r.path == path;
    return n;
}

bool HttpTestServer::Stalled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stalled_ > 0;
}

void HttpTestServer::ReleaseStalls() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++releaseGeneration_;
        stalled_ = 0;
    }
    released_.notify_all();
}

void HttpTestServer::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        workers_.emplace_back([this, fd] { Serve(fd); });
    }
}

bool HttpTestServer::SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void HttpTestServer::Serve(int fd) {
    // The request head, up to its blank line.
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            break;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        head.append(buf, static_cast<size_t>(n));
    }
    size_t sp1 = head.find(' ');
    size_t sp2 = sp1 == std::string::npos ? std::string::npos : head.find(' ', sp1 + 1);
    if (sp2 == std::string::npos) {
        ::close(fd);
        return;
    }
    Request request;
    request.path = head.substr(sp1 + 1, sp2 - sp1 - 1);
    std::string lowerHead = Lower(head);
    size_t ua = lowerHead.find("\r\nuser-agent:");
    if (ua != std::string::npos) {
        size_t start = head.find_first_not_of(' ', ua + 13);
        request.userAgent = head.substr(start, head.find("\r\n", start) - start);
    }

    Response response;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        auto it = responses_.find(request.path);
        if (it != responses_.end()) {
            response = it->second;
        } else {
            response.status = 404;
            response.body = "not here";
        }
    }

    std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + ReasonPhrase(response.status) + "\r\n";
    long long length = response.announcedLength == kBodyLength ? static_cast<long long>(response.body.size())
                                                                : response.announcedLength;
    if (length >= 0)
        out += "Content-Length: " + std::to_string(length) + "\r\n";
    for (auto& [name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    out += "Connection: close\r\n\r\n";
    size_t bodyBytes = std::min(response.body.size(), response.stallAfter);
    if (SendAll(fd, out.data(), out.size()) && SendAll(fd, response.body.data(), bodyBytes) &&
        response.stallAfter != std::string::npos) {
        std::unique_lock<std::mutex> lock(mutex_);
        ++stalled_;
        int generation = releaseGeneration_;
        released_.wait(lock, [this, generation] { return stopping_ || releaseGeneration_ != generation; });
    }
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}
