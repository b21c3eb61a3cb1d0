#pragma once
// A scripted HTTP server on loopback for tests: it serves the answers set for each path, 404 for
// the rest, and records what was asked. Answers can misbehave on purpose: announce a length
// other than the body's, send no length, or send part of the body and then hold the connection
// without a further byte (a stalled transfer) until the server stops or releases it.
//
// It runs on threads of its own, so code under test can talk to it from the test's thread.

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class HttpTestServer {
public:
    static constexpr long long kBodyLength = -1;  // announce the body's own length
    static constexpr long long kNoLength = -2;    // announce none; the end of data closes

    struct Response {
        int status = 200;
        std::string body;
        long long announcedLength = kBodyLength;
        // Send this many bytes of the body, then hold the connection.
        size_t stallAfter = std::string::npos;
        std::vector<std::pair<std::string, std::string>> headers;
    };

    struct Request {
        std::string path;
        std::string userAgent;
    };

    // Listens on 127.0.0.1 at the given port (0 for any free one).
    explicit HttpTestServer(int port = 0);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int Port() const { return port_; }
    // "127.0.0.1:<port>", the form a server name takes in the update files.
    std::string HostPort() const;

    void Set(const std::string& path, Response response);
    void SetBody(const std::string& path, const std::string& body);
    void Remove(const std::string& path);

    std::vector<Request> Requests() const;
    int RequestCount(const std::string& path) const;
    // True while some answer holds its connection at its stall point.
    bool Stalled() const;
    // Lets every answer stalled now end (without the rest of its body); later ones stall again.
    void ReleaseStalls();

private:
    void AcceptLoop();
    void Serve(int fd);
    bool SendAll(int fd, const char* data, size_t size);

    int port_ = 0;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::thread acceptThread_;
    std::vector<std::thread> workers_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::map<std::string, Response> responses_;
    std::vector<Request> requests_;
    bool stopping_ = false;
    int releaseGeneration_ = 0;
    int stalled_ = 0;
};
