// The HTTP session: reads in blocks where only the end of data is short, failed opens for
// answers outside 2xx, failed reads for broken transfers, and waits that can be given up.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/inet/inet.h"
#include "tests/support/http_server.h"

namespace {

class InetTest : public ::testing::Test {
protected:
    void SetUp() override {
        session = InternetOpenA("Test Agent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        ASSERT_NE(session, nullptr);
    }
    void TearDown() override {
        platform::SetInternetWaitHook(nullptr);
        InternetCloseHandle(session);
    }

    std::string Url(const std::string& path) const { return "http://" + server.HostPort() + path; }

    // Every read's length until a read of 0 bytes, a short read or a failure (-1).
    std::vector<int> ReadLengths(HINTERNET request, std::string* data = nullptr) {
        std::vector<int> lengths;
        char buf[1024];
        for (;;) {
            DWORD got = 0;
            if (!InternetReadFile(request, buf, sizeof buf, &got)) {
                lengths.push_back(-1);
                return lengths;
            }
            lengths.push_back(static_cast<int>(got));
            if (data)
                data->append(buf, got);
            if (got < sizeof buf)
                return lengths;
        }
    }

    // The whole body of a path, or "<no open>" when the open fails.
    std::string Fetch(const std::string& path) {
        HINTERNET r = InternetOpenUrlA(session, Url(path).c_str(), nullptr, 0, 0, 0);
        if (!r)
            return "<no open>";
        std::string got;
        ReadLengths(r, &got);
        InternetCloseHandle(r);
        return got;
    }

    HttpTestServer server;
    HINTERNET session = nullptr;
};

TEST_F(InetTest, ReadsFullBlocksAndOnlyTheEndIsShort) {
    std::string body(2500, 'x');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>('a' + i % 26);
    server.SetBody("/file", body);
    HINTERNET r = InternetOpenUrlA(session, Url("/file").c_str(), nullptr, 0, 0, 0);
    ASSERT_NE(r, nullptr);
    std::string got;
    EXPECT_EQ(ReadLengths(r, &got), (std::vector<int>{1024, 1024, 452}));
    EXPECT_EQ(got, body);
    InternetCloseHandle(r);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].userAgent, "Test Agent");
}

TEST_F(InetTest, AMultipleOf1024EndsWithAReadOfNothing) {
    for (long long announced : {HttpTestServer::kBodyLength, HttpTestServer::kNoLength}) {
        HttpTestServer::Response response;
        response.body = std::string(2048, 'z');
        response.announcedLength = announced;
        server.Set("/even", response);
        HINTERNET r = InternetOpenUrlA(session, Url("/even").c_str(), nullptr, 0, 0, 0);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(ReadLengths(r), (std::vector<int>{1024, 1024, 0}));
        InternetCloseHandle(r);
    }
}

// Reads larger than what a request holds back while its reader is behind.
TEST_F(InetTest, AReadLargerThanTheBufferedDataIsWhole) {
    std::string body(700 * 1024, 'x');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>('a' + i % 23);
    server.SetBody("/large", body);
    HINTERNET r = InternetOpenUrlA(session, Url("/large").c_str(), nullptr, 0, 0, 0);
    ASSERT_NE(r, nullptr);
    int waits = 0;
    platform::SetInternetWaitHook([&] { return ++waits < 500; });
    std::string got(body.size() + 1, '\0');
    DWORD n = 0;
    ASSERT_TRUE(InternetReadFile(r, got.data(), static_cast<DWORD>(got.size()), &n));
    got.resize(n);
    EXPECT_EQ(got, body);
    InternetCloseHandle(r);
}

// A reader that falls behind until the transfer is held back, then takes reads of every size,
// some larger than all that is held: the bytes come out whole and in order.
TEST_F(InetTest, ReadsOfMixedSizesAfterTheTransferWasHeldBackKeepEveryByte) {
    std::string body(5 * 1024 * 1024 + 123, '\0');
    uint32_t x = 1;
    for (char& c : body) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 23);
    }
    server.SetBody("/mixed", body);
    HINTERNET r = InternetOpenUrlA(session, Url("/mixed").c_str(), nullptr, 0, 0, 0);
    ASSERT_NE(r, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const DWORD sizes[] = {1, 1000, 4096, 3, 65521, 3 * 1024 * 1024, 777, 1024 * 1024 + 5};
    std::string got;
    std::vector<char> buf(3 * 1024 * 1024);
    for (size_t i = 0; i < 200 && got.size() < body.size(); ++i) {
        const DWORD want = sizes[i % (sizeof sizes / sizeof sizes[0])];
        DWORD n = 0;
        ASSERT_TRUE(InternetReadFile(r, buf.data(), want, &n));
        got.append(buf.data(), n);
        if (n < want)
            break;
    }
    EXPECT_EQ(got.size(), body.size());
    EXPECT_TRUE(got == body) << "the bytes differ";
    InternetCloseHandle(r);
}

TEST_F(InetTest, AnswersOutside2xxFailTheOpen) {
    for (int status : {404, 500, 302}) {
        HttpTestServer::Response response;
        response.status = status;
        response.body = "no";
        server.Set("/status", response);
        EXPECT_EQ(Fetch("/status"), "<no open>") << status;
    }
    EXPECT_EQ(Fetch("/unknown"), "<no open>");
    server.Set("/empty", HttpTestServer::Response{204, "", HttpTestServer::kBodyLength, std::string::npos, {}});
    EXPECT_EQ(Fetch("/empty"), "");
    // The last success code still opens.
    server.Set("/edge", HttpTestServer::Response{299, "edge", HttpTestServer::kBodyLength, std::string::npos, {}});
    EXPECT_EQ(Fetch("/edge"), "edge");
    // Nobody listening.
    HttpTestServer closed;
    std::string url = "http://" + closed.HostPort() + "/";
    EXPECT_EQ(InternetOpenUrlA(nullptr, url.c_str(), nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(InternetOpenUrlA(session, "ftp://127.0.0.1/x", nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(InternetOpenUrlA(session, "file:///etc/passwd", nullptr, 0, 0, 0), nullptr);
}

TEST_F(InetTest, RedirectsAreFollowedOverHttpOnly) {
    server.SetBody("/target", "arrived");
    HttpTestServer::Response moved;
    moved.status = 301;
    moved.headers = {{"Location", Url("/target")}};
    server.Set("/moved", moved);
    EXPECT_EQ(Fetch("/moved"), "arrived");
    moved.headers = {{"Location", "file:///etc/passwd"}};
    server.Set("/moved", moved);
    EXPECT_EQ(Fetch("/moved"), "<no open>");
}

TEST_F(InetTest, ABodyShorterThanAnnouncedIsAFailedRead) {
    HttpTestServer::Response response;
    response.body = std::string(1500, 'b');
    response.announcedLength = 4000;
    server.Set("/short", response);
    HINTERNET r = InternetOpenUrlA(session, Url("/short").c_str(), nullptr, 0, 0, 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(ReadLengths(r), (std::vector<int>{1024, -1}));
    InternetCloseHandle(r);
}

TEST_F(InetTest, NamesWithSpacesAreEscaped) {
    server.SetBody("/with%20space.txt", "spaced");
    EXPECT_EQ(Fetch("/with space.txt"), "spaced");
}

TEST_F(InetTest, TheWaitHookRunsDuringAStallAndCanGiveTheReadUp) {
    HttpTestServer::Response response;
    response.body = std::string(5000, 's');
    response.stallAfter = 1500;
    server.Set("/stall", response);
    HINTERNET r = InternetOpenUrlA(session, Url("/stall").c_str(), nullptr, 0, 0, 0);
    ASSERT_NE(r, nullptr);
    int calls = 0;
    platform::SetInternetWaitHook([&] {
        ++calls;
        return !server.Stalled() || calls < 3;
    });
    EXPECT_EQ(ReadLengths(r), (std::vector<int>{1024, -1}));
    EXPECT_GE(calls, 3);
    InternetCloseHandle(r);
}

TEST_F(InetTest, ClosingTheSessionClosesItsRequests) {
    server.SetBody("/a", "aaa");
    HINTERNET r = InternetOpenUrlA(session, Url("/a").c_str(), nullptr, 0, 0, 0);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(InternetCloseHandle(session));
    DWORD got = 0;
    char buf[8];
    EXPECT_FALSE(InternetReadFile(r, buf, sizeof buf, &got));
    EXPECT_FALSE(InternetCloseHandle(r));
    session = InternetOpenA("Test Agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
}

TEST(InetSession, CanBeMadeUnavailable) {
    platform::SetInternetUnavailable(true);
    EXPECT_EQ(InternetOpenA("x", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0), nullptr);
    platform::SetInternetUnavailable(false);
    HINTERNET s = InternetOpenA("x", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    EXPECT_NE(s, nullptr);
    InternetCloseHandle(s);
}

}  // namespace
