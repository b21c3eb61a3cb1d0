// HTTP over libcurl's multi interface. Each session's transfers run on a thread of their own, so
// data keeps arriving while the program's one thread works on what it has read; every call that
// waits does so in slices of at most 20 ms and runs the wait hook between slices, so that thread
// keeps its windows served while data arrives. Only the session's thread touches the multi handle
// and the easy handles in it; the calling thread hands it commands.

#include "platform/inet/inet.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/text.h"

// Received bytes not yet read, oldest first: a ring, so that taking from the front and adding
// at the back move only the bytes taken or added. It grows only for a delivery that does not fit.
class ByteRing {
public:
    size_t Size() const { return size_; }

    void Push(const uint8_t* bytes, size_t n) {
        // libcurl may deliver an empty file as a call of no bytes, before the ring has a buffer.
        if (n == 0)
            return;
        if (n > capacity_ - size_)
            Grow(size_ + n);
        const size_t tail = (head_ + size_) % capacity_;
        const size_t first = std::min(n, capacity_ - tail);
        std::memcpy(buffer_.get() + tail, bytes, first);
        std::memcpy(buffer_.get(), bytes + first, n - first);
        size_ += n;
    }

    // Moves the first n bytes (at most Size()) to out.
    void Pop(uint8_t* out, size_t n) {
        if (n == 0)
            return;
        const size_t first = std::min(n, capacity_ - head_);
        std::memcpy(out, buffer_.get() + head_, first);
        std::memcpy(out + first, buffer_.get(), n - first);
        head_ = (head_ + n) % capacity_;
        size_ -= n;
    }

private:
    static constexpr size_t kFirstCapacity = 256 * 1024;

    void Grow(size_t needed) {
        size_t capacity = std::max(capacity_, kFirstCapacity);
        while (capacity < needed)
            capacity *= 2;
        auto bigger = std::make_unique_for_overwrite<uint8_t[]>(capacity);
        const size_t held = size_;
        Pop(bigger.get(), held);
        buffer_ = std::move(bigger);
        capacity_ = capacity;
        head_ = 0;
        size_ = held;
    }

    std::unique_ptr<uint8_t[]> buffer_;
    size_t capacity_ = 0;
    size_t head_ = 0;
    size_t size_ = 0;
};

struct InternetObject {
    enum class Kind { Session, Request };
    explicit InternetObject(Kind k) : kind(k) {}
    Kind kind;

    // Session.
    CURLM* multi = nullptr;
    std::string agent;
    DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy;
    std::string proxyBypass;
    std::set<InternetObject*> requests;
    // The session's thread and what the calling thread asks of it, under mutex.
    std::thread thread;
    std::mutex mutex;
    std::condition_variable changed;  // data, headers, an end, or a command done
    std::vector<std::pair<InternetObject*, int>> commands;
    bool stopping = false;

    // Request. Everything below easy is shared with the session's thread, under its mutex.
    InternetObject* session = nullptr;
    CURL* easy = nullptr;
    ByteRing data;      // received, not yet read
    size_t wanted = 0;  // bytes the read under way waits for
    bool paused = false;
    bool headersDone = false;
    bool sawLocation = false;
    bool done = false;
    bool removed = false;  // the session's thread has let go of it
    long code = 0;         // the answer's status once the headers are done
    CURLcode result = CURLE_OK;

    size_t Buffered() const { return data.Size(); }
};

namespace platform {
namespace {

// Bytes a request holds before the transfer is paused until the reader catches up; it goes on
// once half of them are read.
constexpr size_t kBufferLimit = 1024 * 1024;
constexpr int kWaitSliceMs = 20;
constexpr long kConnectTimeoutSeconds = 30;
// A transfer that moves no byte for this long is broken.
constexpr long kStallSeconds = 60;
constexpr long kMaxRedirects = 5;

// What the calling thread asks of a session's thread.
enum Command { kAdd, kRemove, kResume };

struct InetState {
    std::set<InternetObject*> live;
    InternetWaitHook hook;
    bool inHook = false;
    bool unavailable = false;
    bool curlReady = false;
};

InetState& Inet() {
    static InetState state;
    return state;
}

bool Live(InternetObject* h, InternetObject::Kind kind) {
    return h && Inet().live.count(h) && h->kind == kind;
}

bool StartCurl() {
    if (!Inet().curlReady)
        Inet().curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return Inet().curlReady;
}

// The callbacks run on the session's thread.
size_t OnBody(char* ptr, size_t size, size_t count, void* user) {
    auto* r = static_cast<InternetObject*>(user);
    size_t n = size * count;
    std::lock_guard<std::mutex> lock(r->session->mutex);
    // A read larger than the limit must be able to gather all it waits for.
    if (r->Buffered() >= std::max(kBufferLimit, r->wanted)) {
        r->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    r->data.Push(reinterpret_cast<const uint8_t*>(ptr), n);
    if (!r->headersDone)
        curl_easy_getinfo(r->easy, CURLINFO_RESPONSE_CODE, &r->code);
    r->headersDone = true;
    r->session->changed.notify_all();
    return n;
}

// Header lines of every answer, redirects and interim answers included. The headers are done
// at the blank line of the answer that is not followed further.
size_t OnHeader(char* ptr, size_t size, size_t count, void* user) {
    auto* r = static_cast<InternetObject*>(user);
    size_t n = size * count;
    if (StartsWithNoCase(std::string_view(ptr, n), "HTTP/")) {
        r->sawLocation = false;
    } else if (StartsWithNoCase(std::string_view(ptr, n), "location:")) {
        r->sawLocation = true;
    } else if ((n == 2 && ptr[0] == '\r' && ptr[1] == '\n') || (n == 1 && ptr[0] == '\n')) {
        long code = 0;
        curl_easy_getinfo(r->easy, CURLINFO_RESPONSE_CODE, &code);
        bool followed = code >= 300 && code < 400 && r->sawLocation;
        if (code >= 200 && !followed) {
            std::lock_guard<std::mutex> lock(r->session->mutex);
            r->code = code;
            r->headersDone = true;
            r->session->changed.notify_all();
        }
    }
    return n;
}

void CollectFinished(InternetObject* session) {
    int left = 0;
    while (CURLMsg* m = curl_multi_info_read(session->multi, &left)) {
        if (m->msg != CURLMSG_DONE)
            continue;
        char* priv = nullptr;
        curl_easy_getinfo(m->easy_handle, CURLINFO_PRIVATE, &priv);
        auto* r = reinterpret_cast<InternetObject*>(priv);
        long code = 0;
        curl_easy_getinfo(m->easy_handle, CURLINFO_RESPONSE_CODE, &code);
        std::lock_guard<std::mutex> lock(session->mutex);
        r->done = true;
        r->result = m->data.result;
        if (!r->headersDone)
            r->code = code;
        session->changed.notify_all();
    }
}

// The session's thread: carries out the commands, then moves the transfers on and sleeps until
// the network or a command wakes it.
void RunTransfers(InternetObject* session) {
    std::vector<std::pair<InternetObject*, int>> commands;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(session->mutex);
            if (session->stopping)
                return;
            commands.swap(session->commands);
        }
        for (auto [r, command] : commands) {
            if (command == kAdd && curl_multi_add_handle(session->multi, r->easy) != CURLM_OK) {
                std::lock_guard<std::mutex> lock(session->mutex);
                r->done = true;
                r->result = CURLE_FAILED_INIT;
            } else if (command == kResume) {
                curl_easy_pause(r->easy, CURLPAUSE_CONT);  // may deliver held data at once
            } else if (command == kRemove) {
                curl_multi_remove_handle(session->multi, r->easy);
                std::lock_guard<std::mutex> lock(session->mutex);
                r->removed = true;
            }
        }
        if (!commands.empty()) {
            std::lock_guard<std::mutex> lock(session->mutex);
            session->changed.notify_all();
        }
        commands.clear();
        int running = 0;
        if (curl_multi_perform(session->multi, &running) == CURLM_OK)
            CollectFinished(session);
        curl_multi_poll(session->multi, nullptr, 0, 1000, nullptr);
    }
}

void Send(InternetObject* r, Command command) {
    InternetObject* session = r->session;
    {
        std::lock_guard<std::mutex> lock(session->mutex);
        session->commands.emplace_back(r, command);
    }
    curl_multi_wakeup(session->multi);
}

// Lets a paused transfer go on once the reader has taken enough. Under the session's mutex.
bool ShouldResume(const InternetObject* r) {
    return r->paused && r->Buffered() < std::max(r->wanted, kBufferLimit / 2);
}

enum class ReadOutcome { Waiting, Failed, Taken };

// A read's bytes when they are there (or the data has ended), under the session's mutex;
// resume is set when the transfer may go on.
ReadOutcome TakeBuffered(InternetObject* file, void* buffer, size_t wanted, DWORD* bytesRead, bool* resume) {
    if (file->Buffered() < wanted && !file->done)
        return ReadOutcome::Waiting;
    // A broken transfer is a failed read, not an early end of the data.
    if (file->done && file->result != CURLE_OK && file->Buffered() < wanted)
        return ReadOutcome::Failed;
    const size_t n = std::min(wanted, file->Buffered());
    file->data.Pop(static_cast<uint8_t*>(buffer), n);
    *bytesRead = static_cast<DWORD>(n);
    if (ShouldResume(file)) {
        file->paused = false;
        *resume = true;
    }
    return ReadOutcome::Taken;
}

// Waits until ready() holds (checked under the session's mutex), running the wait hook between
// slices. False when the hook gave the call up or the request went away meanwhile.
template <typename Ready>
bool Drive(InternetObject* r, Ready ready) {
    InternetObject* session = r->session;
    for (;;) {
        bool resume = false;
        {
            std::unique_lock<std::mutex> lock(session->mutex);
            if (ShouldResume(r)) {
                r->paused = false;
                resume = true;
            }
            if (!resume) {
                if (ready())
                    return true;
                if (session->changed.wait_for(lock, std::chrono::milliseconds(kWaitSliceMs), ready))
                    return true;
            }
        }
        if (resume) {
            Send(r, kResume);
            continue;
        }
        InetState& s = Inet();
        if (s.hook && !s.inHook) {
            s.inHook = true;
            bool goOn = s.hook();
            s.inHook = false;
            if (!goOn || !Live(r, InternetObject::Kind::Request))
                return false;
        }
    }
}

// Ends the sessions' threads before the process's exit handlers run (the TLS library's among
// them), for a program that ends while a session is still open.
void StopSessionThreads() {
    for (InternetObject* h : Inet().live) {
        if (h->kind != InternetObject::Kind::Session || !h->thread.joinable())
            continue;
        {
            std::lock_guard<std::mutex> lock(h->mutex);
            h->stopping = true;
        }
        curl_multi_wakeup(h->multi);
        h->thread.join();
    }
}

// The environment's bypass list with the loopback names added: a proxy never reaches them.
std::string NoProxyList() {
    std::string list = "localhost,127.0.0.1,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            list += ',';
            list += v;
            break;
        }
    }
    return list;
}

void CloseRequest(InternetObject* r) {
    InternetObject* session = r->session;
    Send(r, kRemove);
    {
        std::unique_lock<std::mutex> lock(session->mutex);
        session->changed.wait(lock, [r] { return r->removed; });
    }
    session->requests.erase(r);
    curl_easy_cleanup(r->easy);
    Inet().live.erase(r);
    delete r;
}

}  // namespace

void SetInternetWaitHook(InternetWaitHook hook) {
    Inet().hook = std::move(hook);
}

void SetInternetUnavailable(bool unavailable) {
    Inet().unavailable = unavailable;
}

std::string EscapeForUrl(std::string_view text, const char* extra) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        bool escape = b <= 0x20 || b >= 0x7F || std::strchr("\"<>\\^`{|}", b) || (extra && std::strchr(extra, b));
        if (escape) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace platform

using platform::Inet;
using platform::Live;

HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass, DWORD) {
    if (Inet().unavailable || !platform::StartCurl())
        return nullptr;
    static const bool stopAtExit = std::atexit(platform::StopSessionThreads) == 0;
    (void)stopAtExit;
    CURLM* multi = curl_multi_init();
    if (!multi)
        return nullptr;
    auto* s = new InternetObject(InternetObject::Kind::Session);
    s->multi = multi;
    s->agent = agent ? agent : "";
    s->accessType = accessType;
    s->proxy = proxy ? proxy : "";
    s->proxyBypass = proxyBypass ? proxyBypass : "";
    s->thread = std::thread(platform::RunTransfers, s);
    Inet().live.insert(s);
    return s;
}

HINTERNET InternetOpenUrlA(HINTERNET session, const char* url, const char*, DWORD, DWORD, DWORD_PTR) {
    if (!Live(session, InternetObject::Kind::Session) || !url)
        return nullptr;
    CURL* easy = curl_easy_init();
    if (!easy)
        return nullptr;
    auto* r = new InternetObject(InternetObject::Kind::Request);
    r->session = session;
    r->easy = easy;
    // What a browser would send for the same address.
    std::string escaped = platform::EscapeForUrl(url);
    std::string noProxy = platform::NoProxyList();
    curl_easy_setopt(easy, CURLOPT_URL, escaped.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, reinterpret_cast<char*>(r));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, platform::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, r);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, platform::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, r);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, platform::kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, platform::kConnectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, platform::kStallSeconds);
    if (!session->agent.empty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, session->agent.c_str());
    switch (session->accessType) {
    case INTERNET_OPEN_TYPE_DIRECT:
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
        break;
    case INTERNET_OPEN_TYPE_PROXY:
        curl_easy_setopt(easy, CURLOPT_PROXY, session->proxy.c_str());
        curl_easy_setopt(easy, CURLOPT_NOPROXY, session->proxyBypass.c_str());
        break;
    default:
        curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy.c_str());
        break;
    }
    session->requests.insert(r);
    Inet().live.insert(r);
    platform::Send(r, platform::kAdd);

    bool answered = platform::Drive(r, [r] { return r->headersDone || r->done; });
    if (!answered || !Live(r, InternetObject::Kind::Request)) {
        if (Live(r, InternetObject::Kind::Request))
            platform::CloseRequest(r);
        return nullptr;
    }
    long code = 0;
    bool failedEarly = false;
    {
        std::lock_guard<std::mutex> lock(session->mutex);
        code = r->code;
        failedEarly = r->done && r->result != CURLE_OK && !r->headersDone;
    }
    if (failedEarly || code < 200 || code > 299) {
        platform::CloseRequest(r);
        return nullptr;
    }
    return r;
}

BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD bytesToRead, DWORD* bytesRead) {
    if (bytesRead)
        *bytesRead = 0;
    if (!Live(file, InternetObject::Kind::Request) || !bytesRead || (!buffer && bytesToRead))
        return FALSE;
    const size_t wanted = bytesToRead;
    InternetObject* session = file->session;
    using platform::ReadOutcome;
    ReadOutcome outcome;
    bool resume = false;
    {
        // Most reads find their bytes there already: one pass under the mutex.
        std::lock_guard<std::mutex> lock(session->mutex);
        file->wanted = wanted;
        outcome = platform::TakeBuffered(file, buffer, wanted, bytesRead, &resume);
    }
    if (outcome == ReadOutcome::Waiting) {
        if (!platform::Drive(file, [file, wanted] { return file->Buffered() >= wanted || file->done; }))
            return FALSE;
        if (!Live(file, InternetObject::Kind::Request))
            return FALSE;
        std::lock_guard<std::mutex> lock(session->mutex);
        outcome = platform::TakeBuffered(file, buffer, wanted, bytesRead, &resume);
    }
    if (resume)
        platform::Send(file, platform::kResume);
    return outcome == ReadOutcome::Taken ? TRUE : FALSE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
    if (Live(handle, InternetObject::Kind::Request)) {
        platform::CloseRequest(handle);
        return TRUE;
    }
    if (!Live(handle, InternetObject::Kind::Session))
        return FALSE;
    std::set<InternetObject*> requests = handle->requests;
    for (InternetObject* r : requests)
        platform::CloseRequest(r);
    {
        std::lock_guard<std::mutex> lock(handle->mutex);
        handle->stopping = true;
    }
    curl_multi_wakeup(handle->multi);
    if (handle->thread.joinable())
        handle->thread.join();
    curl_multi_cleanup(handle->multi);
    Inet().live.erase(handle);
    delete handle;
    return TRUE;
}
