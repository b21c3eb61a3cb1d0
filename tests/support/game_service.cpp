#include "tests/support/game_service.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/win/platform.h"

namespace {

constexpr uint8_t kLead = 0x1B;
constexpr size_t kMaxBody = 2048;

// The service's own reading of the frame checksum, kept apart from the client's so that a
// mistake in one cannot hide in the other.
uint16_t FrameChecksum(const uint8_t* p, size_t n) {
    uint8_t a = 0x7E, b = 0x7E;
    for (size_t i = 0; i < n; ++i) {
        a = static_cast<uint8_t>(a + p[i]);
        b = static_cast<uint8_t>(b + a);
    }
    return static_cast<uint16_t>((static_cast<uint8_t>(256 - ((a + b) & 0xFF)) << 8) | b);
}

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t Be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }
void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x >> 8));
    v.push_back(static_cast<uint8_t>(x));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x >> 16);
    Put16(v, x);
}
// A text in a field of width bytes, zero padded, cut to width - 1.
void PutText(std::vector<uint8_t>& v, const std::string& s, size_t width) {
    size_t n = std::min(s.size(), width - 1);
    v.insert(v.end(), s.begin(), s.begin() + static_cast<long>(n));
    v.insert(v.end(), width - n, 0);
}
std::string Text(const std::vector<uint8_t>& body, size_t off, size_t width) {
    std::string s;
    for (size_t i = off; i < body.size() && i < off + width && body[i]; ++i)
        s += static_cast<char>(body[i]);
    return s;
}
std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
void NonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

GameService::GameService(int streamPort, int datagramPort) {
    startNanos_ = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    a.sin_port = htons(static_cast<uint16_t>(streamPort));
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listenFd_, 16) != 0)
        return;
    socklen_t l = sizeof a;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &l);
    streamPort_ = ntohs(a.sin_port);
    NonBlocking(listenFd_);
    udpFd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    a.sin_port = htons(static_cast<uint16_t>(datagramPort));
    if (::bind(udpFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return;
    l = sizeof a;
    ::getsockname(udpFd_, reinterpret_cast<sockaddr*>(&a), &l);
    datagramPort_ = ntohs(a.sin_port);
    NonBlocking(udpFd_);
    ok_ = true;
}

GameService::~GameService() {
    StopThread();
    RemoveMessageSource();
    for (Session& s : sessions_)
        if (s.fd >= 0)
            ::close(s.fd);
    if (listenFd_ >= 0)
        ::close(listenFd_);
    if (udpFd_ >= 0)
        ::close(udpFd_);
}

uint32_t GameService::NowMs() const {
    uint64_t now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return static_cast<uint32_t>((now - startNanos_) / 1000000);
}

// ---- Running ---------------------------------------------------------------------------------

void GameService::Poll() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    PollLocked();
}

void GameService::PollLocked() {
    if (!ok_)
        return;
    AcceptLocked();
    for (size_t i = 0; i < sessions_.size(); ++i)
        if (sessions_[i].fd >= 0)
            ReadStreamLocked(static_cast<int>(i));
    ReadDatagramsLocked();
}

void GameService::InstallAsMessageSource(uint32_t stepMs) {
    RemoveMessageSource();
    sourceHandle_ = platform::AddMessageSource([this, stepMs] {
        Poll();
        if (stepMs)
            platform::AdvanceVirtualClock(stepMs);
    });
}

void GameService::RemoveMessageSource() {
    if (sourceHandle_)
        platform::RemoveMessageSource(sourceHandle_);
    sourceHandle_ = 0;
}

void GameService::StartThread() {
    stop_ = false;
    thread_ = std::thread([this] {
        while (true) {
            {
                std::lock_guard<std::recursive_mutex> lock(mutex_);
                if (stop_)
                    return;
                PollLocked();
            }
            pollfd fds[2] = {{listenFd_, POLLIN, 0}, {udpFd_, POLLIN, 0}};
            ::poll(fds, 2, 2);
        }
    });
}

void GameService::StopThread() {
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        stop_ = true;
    }
    if (thread_.joinable())
        thread_.join();
}

void GameService::AcceptLocked() {
    for (;;) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Session s;
        s.fd = fd;
        sessions_.push_back(s);
    }
}

void GameService::ReadStreamLocked(int client) {
    Session& s = sessions_[static_cast<size_t>(client)];
    uint8_t buf[4096];
    for (;;) {
        ssize_t n = ::recv(s.fd, buf, sizeof buf, 0);
        if (n > 0) {
            s.in.insert(s.in.end(), buf, buf + n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            ::close(s.fd);
            s.fd = -1;
        }
        break;
    }
    TakeStreamFramesLocked(client);
}

void GameService::TakeStreamFramesLocked(int client) {
    std::vector<uint8_t>& in = sessions_[static_cast<size_t>(client)].in;
    while (in.size() >= 2) {
        size_t at = (in[0] == kLead && in[1] == kLead) ? 2 : 0;
        if (in.size() < at + 12)
            return;
        size_t length = Be16(&in[at]);
        if (length > kMaxBody) {
            in.clear();  // out of step: nothing after it can be read
            return;
        }
        if (in.size() < at + length + 12)
            return;
        std::vector<uint8_t> raw(in.begin(), in.begin() + static_cast<long>(at + length + 12));
        in.erase(in.begin(), in.begin() + static_cast<long>(at + length + 12));
        const uint8_t* f = raw.data() + at;
        Frame fr{TCP, client, at == 2, Be16(f + 10 + length) == FrameChecksum(f, length + 10),
                 static_cast<uint16_t>(length), Be16(f + 2), Be16(f + 4), Be16(f + 6), f[9],
                 std::vector<uint8_t>(f + 10, f + 10 + length)};
        HandleLocked(fr, raw);
        if (sessions_.size() <= static_cast<size_t>(client))
            return;
    }
}

int GameService::SessionForUdpLocked(uint32_t address, uint16_t port, const std::vector<uint8_t>& frame, bool lead) {
    for (size_t i = 0; i < sessions_.size(); ++i)
        if (sessions_[i].hasUdp && sessions_[i].udpAddress == address && sessions_[i].udpPort == port)
            return static_cast<int>(i);
    uint16_t clientId = frame.size() >= 6 ? Be16(&frame[4]) : 0;
    if (!lead && clientId) {
        for (size_t i = 0; i < sessions_.size(); ++i) {
            if (sessions_[i].id == clientId && !sessions_[i].hasUdp) {
                sessions_[i].hasUdp = true;
                sessions_[i].udpAddress = address;
                sessions_[i].udpPort = port;
                return static_cast<int>(i);
            }
        }
    }
    Session s;
    s.hasUdp = true;
    s.udpAddress = address;
    s.udpPort = port;
    s.datagramOnly = true;
    sessions_.push_back(s);
    return static_cast<int>(sessions_.size() - 1);
}

void GameService::ReadDatagramsLocked() {
    uint8_t buf[65536];
    for (;;) {
        sockaddr_in from{};
        socklen_t l = sizeof from;
        ssize_t n = ::recvfrom(udpFd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &l);
        if (n <= 0)
            return;
        size_t at = 0;
        size_t total = static_cast<size_t>(n);
        // One datagram may hold several frames (a client's flushed ring).
        while (at + 12 <= total) {
            bool lead = buf[at] == kLead && buf[at + 1] == kLead;
            size_t f0 = at + (lead ? 2 : 0);
            if (f0 + 12 > total)
                break;
            size_t length = Be16(buf + f0);
            if (length > kMaxBody || f0 + length + 12 > total)
                break;
            std::vector<uint8_t> raw(buf + at, buf + f0 + length + 12);
            std::vector<uint8_t> frameBytes(buf + f0, buf + f0 + length + 12);
            int client = SessionForUdpLocked(from.sin_addr.s_addr, from.sin_port, frameBytes, lead);
            const uint8_t* f = buf + f0;
            Frame fr{UDP, client, lead, Be16(f + 10 + length) == FrameChecksum(f, length + 10),
                     static_cast<uint16_t>(length), Be16(f + 2), Be16(f + 4), Be16(f + 6), f[9],
                     std::vector<uint8_t>(f + 10, f + 10 + length)};
            HandleLocked(fr, raw);
            at = f0 + length + 12;
        }
    }
}

// ---- Answers ---------------------------------------------------------------------------------

void GameService::HandleLocked(const Frame& frame, const std::vector<uint8_t>& raw) {
    frames_.push_back(frame);
    CaptureLocked('c', frame.transport, raw);
    if (replaying_) {
        if (replayNext_ < replay_.size()) {
            for (const std::string& line : replay_[replayNext_]) {
                char t = 0;
                char hex[8192] = {};
                unsigned ms;
                char way;
                if (std::sscanf(line.c_str(), "%u %c %c %8191s", &ms, &way, &t, hex) != 4)
                    continue;
                std::vector<uint8_t> bytes;
                for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
                    char pair[3] = {hex[i], hex[i + 1], 0};
                    bytes.push_back(static_cast<uint8_t>(std::strtoul(pair, nullptr, 16)));
                }
                if (t == 't')
                    WriteStreamLocked(frame.client, bytes, false);
                else
                    WriteDatagramLocked(frame.client, bytes);
            }
        }
        ++replayNext_;
        return;
    }
    if (silent_)
        return;
    auto h = handlers_.find(frame.code);
    if (h != handlers_.end() && h->second(*this, frame))
        return;
    AnswerLocked(frame);
    RelayLocked(frame);
}

void GameService::AnswerLocked(const Frame& f) {
    Session& s = sessions_[static_cast<size_t>(f.client)];
    const std::vector<uint8_t>& b = f.body;
    std::vector<uint8_t> out;
    switch (f.code) {
    case 15: {  // F_CONNECT
        std::string account = Lower(Text(b, 75, 20));
        std::string password = Text(b, 5, 50);
        int refusal = 0;
        auto it = accounts_.find(account);
        if (!anyAccount_) {
            if (it == accounts_.end())
                refusal = 2;
            else if (it->second.refusal)
                refusal = it->second.refusal;
            else if (it->second.password != password)
                refusal = 1;
        }
        if (refusal) {
            out.push_back(static_cast<uint8_t>(refusal));
            out.insert(out.end(), version_, version_ + 4);
            SendLocked(f.client, 132, out, 0xFFFF, TCP);
            return;
        }
        s.accepted = true;
        s.account = account;
        out.push_back(0);
        out.insert(out.end(), version_, version_ + 4);
        out.insert(out.end(), account.begin(), account.end());
        out.push_back(0);
        SendLocked(f.client, 130, out, 0xFFFF, TCP);
        return;
    }
    case 184: {  // F_PLAYER_ENTER
        if (!s.id)
            s.id = nextId_++;
        s.place = b.size() > 2 ? b[2] : 0;
        out = {static_cast<uint8_t>(s.id), static_cast<uint8_t>(s.id >> 8)};
        SendLocked(f.client, 128, out, 0xFFFF, TCP);
        for (auto& [id, place] : scriptedPlaces_) {
            if (place != s.place)
                continue;
            std::vector<uint8_t> j;
            Put16(j, id);
            j.push_back(static_cast<uint8_t>(place));
            j.push_back(0);
            PutText(j, "Player" + std::to_string(id), 12);
            j.insert(j.end(), 8, 0);
            SendLocked(f.client, 3, j, 0xFFFF, TCP);
        }
        return;
    }
    case 4:  // F_PLAYER_EXIT
        s.place = -1;
        return;
    case 23:  // F_OPEN_GAME
        SendLocked(f.client, 133, {}, 0xFFFF, TCP);
        if (s.place == 255)
            for (auto& [code, body] : lobby_)
                SendLocked(f.client, code, body, 0xFFFF, TCP);
        return;
    case 8:
    case 64:  // world requests
        for (auto& [code, body] : world_)
            SendLocked(f.client, code, body, 0xFFFF, TCP);
        SendLocked(f.client, 131, {}, 0xFFFF, TCP);
        return;
    case 188: {  // F_ESTABLISH_DATAGRAM
        PutText(out, "127.0.0.1", 20);
        Put32(out, datagramPort_);
        SendLocked(f.client, 135, out, 0xFFFF, TCP);
        return;
    }
    case 11: {  // SEND_PING
        Put32(out, b.size() >= 4 ? Be32(b.data()) : 0);
        Put32(out, 1);
        Put32(out, 2);
        Put32(out, 3);
        SendLocked(f.client, 129, out, 0xFFFF, TCP);
        return;
    }
    case 84: {  // F_REQUEST_CHARACTER
        std::string account = Lower(Text(b, 0, 20));
        int slot = b.size() > 20 ? b[20] : 0;
        auto it = accounts_.find(account);
        PutText(out, account, 20);
        out.push_back(static_cast<uint8_t>(slot));
        if (it != accounts_.end() && it->second.characters.count(slot)) {
            out.insert(out.end(), 3, 0);
            std::vector<uint8_t> rec = it->second.characters[slot];
            rec.resize(250);
            out.insert(out.end(), rec.begin(), rec.end());
            SendLocked(f.client, 85, out, 0xFFFF, TCP);
        } else {
            out.insert(out.end(), {1, 0, 0});
            PutText(out, "No character", 32);
            SendLocked(f.client, 86, out, 0xFFFF, TCP);
        }
        return;
    }
    case 87: {  // F_SEND_CHARACTER
        std::string account = Lower(Text(b, 0, 20));
        int slot = b.size() > 20 ? b[20] : 0;
        if (b.size() >= 274)
            accounts_[account].characters[slot] = std::vector<uint8_t>(b.begin() + 24, b.begin() + 274);
        PutText(out, account, 20);
        out.push_back(static_cast<uint8_t>(slot));
        SendLocked(f.client, 88, out, 0xFFFF, TCP);
        return;
    }
    case 99:
    case 106: {  // a query answers "taken", a check answers "acceptable"
        std::string name = Text(b, 0, 30);
        PutText(out, name, 30);
        PutText(out, Text(b, 30, 24), 20);
        if (f.code == 99)
            out.push_back(names_.count(name) && names_[name] ? 1 : 0);
        else
            out.push_back(illegalNames_.count(name) ? 0 : 1);
        SendLocked(f.client, f.code == 99 ? 100 : 107, out, 0xFFFF, TCP);
        return;
    }
    case 101:
        names_[Text(b, 0, 30)] = true;
        return;
    case 104:
        names_.erase(Text(b, 0, 30));
        return;
    default:
        return;
    }
}

void GameService::RelayLocked(const Frame& f) {
    const Session& from = sessions_[static_cast<size_t>(f.client)];
    if (!from.id || from.place < 0 || f.destination == 0 || f.destination == 0xFFFE)
        return;
    for (size_t i = 0; i < sessions_.size(); ++i) {
        const Session& to = sessions_[i];
        if (static_cast<int>(i) == f.client || to.place != from.place || !to.id)
            continue;
        if (f.destination != 0xFFFF && f.destination != to.id)
            continue;
        SendLocked(static_cast<int>(i), f.code, f.body, from.id, f.transport);
    }
}

// ---- Sending ---------------------------------------------------------------------------------

void GameService::SendLocked(int client, uint8_t code, const std::vector<uint8_t>& body, uint16_t source, Transport t) {
    if (client < 0 || static_cast<size_t>(client) >= sessions_.size())
        return;
    Session& s = sessions_[static_cast<size_t>(client)];
    std::vector<uint8_t> out;
    if (s.datagramOnly || (t == TCP && s.fd >= 0) || !s.hasUdp) {
        Put16(out, static_cast<uint32_t>(body.size()));
        Put16(out, source);
        out.push_back(code);
        out.insert(out.end(), body.begin(), body.end());
        if (s.datagramOnly)
            WriteDatagramLocked(client, out);
        else
            WriteStreamLocked(client, out, false);
        return;
    }
    Put16(out, static_cast<uint32_t>(body.size()));
    Put16(out, s.outSequence++);
    Put16(out, source);
    Put16(out, s.id);
    out.push_back(0);
    out.push_back(code);
    out.insert(out.end(), body.begin(), body.end());
    Put16(out, FrameChecksum(out.data(), out.size()));
    WriteDatagramLocked(client, out);
}

void GameService::WriteStreamLocked(int client, const std::vector<uint8_t>& bytes, bool bytePerWrite) {
    Session& s = sessions_[static_cast<size_t>(client)];
    if (s.fd < 0)
        return;
    CaptureLocked('s', TCP, bytes);
    size_t step = bytePerWrite ? 1 : bytes.size();
    for (size_t at = 0; at < bytes.size(); at += step) {
        size_t n = std::min(step, bytes.size() - at);
        size_t sent = 0;
        while (sent < n) {
            ssize_t r = ::send(s.fd, bytes.data() + at + sent, n - sent, MSG_NOSIGNAL);
            if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                pollfd p{s.fd, POLLOUT, 0};
                ::poll(&p, 1, 50);
                continue;
            }
            if (r <= 0)
                return;
            sent += static_cast<size_t>(r);
        }
        if (bytePerWrite)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

void GameService::WriteDatagramLocked(int client, const std::vector<uint8_t>& bytes) {
    Session& s = sessions_[static_cast<size_t>(client)];
    if (!s.hasUdp)
        return;
    if (dropDatagrams_ > 0) {
        --dropDatagrams_;
        return;
    }
    CaptureLocked('s', UDP, bytes);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = s.udpAddress;
    to.sin_port = s.udpPort;
    ::sendto(udpFd_, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void GameService::CaptureLocked(char way, Transport t, const std::vector<uint8_t>& bytes) {
    std::string line = std::to_string(NowMs()) + " " + way + " " + static_cast<char>(t) + " ";
    static const char* hex = "0123456789abcdef";
    for (uint8_t b : bytes) {
        line += hex[b >> 4];
        line += hex[b & 15];
    }
    capture_.push_back(line);
}

// ---- Public script calls ---------------------------------------------------------------------

void GameService::AddAccount(const std::string& name, const std::string& password, int refusal) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Account& a = accounts_[Lower(name)];
    a.password = password;
    a.refusal = refusal;
}

void GameService::AcceptAnyAccount(bool any) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    anyAccount_ = any;
}

void GameService::SetVersion(uint8_t kind, uint8_t major, uint8_t minor, uint8_t patch) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    version_[0] = kind;
    version_[1] = major;
    version_[2] = minor;
    version_[3] = patch;
}

void GameService::OnCode(int code, Handler handler) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    handlers_[code] = std::move(handler);
}

void GameService::SetSilent(bool silent) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    silent_ = silent;
}

void GameService::DropNextDatagrams(int n) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    dropDatagrams_ = n;
}

void GameService::SetWorld(std::vector<std::pair<uint8_t, std::vector<uint8_t>>> frames) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    world_ = std::move(frames);
}

void GameService::SetLobby(std::vector<std::pair<uint8_t, std::vector<uint8_t>>> frames) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    lobby_ = std::move(frames);
}

void GameService::SetNameTaken(const std::string& compareForm, bool taken) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    names_[compareForm] = taken;
}

void GameService::SetNameIllegal(const std::string& compareForm) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    illegalNames_.insert(compareForm);
}

void GameService::StoreCharacter(const std::string& account, int slot, std::vector<uint8_t> record) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    record.resize(250);
    accounts_[account].characters[slot] = std::move(record);
}

void GameService::Send(int client, uint8_t code, const std::vector<uint8_t>& body, uint16_t source, Transport t) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    SendLocked(client, code, body, source, t);
}

void GameService::SendRaw(int client, const std::vector<uint8_t>& bytes, bool bytePerWrite) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (client >= 0 && static_cast<size_t>(client) < sessions_.size())
        WriteStreamLocked(client, bytes, bytePerWrite);
}

void GameService::SendRawDatagram(int client, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (client >= 0 && static_cast<size_t>(client) < sessions_.size())
        WriteDatagramLocked(client, bytes);
}

void GameService::CloseClient(int client) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (client < 0 || static_cast<size_t>(client) >= sessions_.size())
        return;
    Session& s = sessions_[static_cast<size_t>(client)];
    if (s.fd >= 0)
        ::close(s.fd);
    s.fd = -1;
}

void GameService::PlayerJoins(uint16_t id, const std::string& name, uint8_t place, uint8_t team) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    scriptedPlaces_[id] = place;
    std::vector<uint8_t> j;
    Put16(j, id);
    j.push_back(place);
    j.push_back(team);
    PutText(j, name, 12);
    j.insert(j.end(), 8, 0);
    for (size_t i = 0; i < sessions_.size(); ++i)
        if (sessions_[i].place == place)
            SendLocked(static_cast<int>(i), 3, j, 0xFFFF, TCP);
}

void GameService::PlayerState(uint16_t id, const std::vector<uint8_t>& body12) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = scriptedPlaces_.find(id);
    if (it == scriptedPlaces_.end())
        return;
    for (size_t i = 0; i < sessions_.size(); ++i)
        if (sessions_[i].place == it->second)
            SendLocked(static_cast<int>(i), 1, body12, id, UDP);
}

void GameService::PlayerChat(uint16_t id, const std::string& text) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = scriptedPlaces_.find(id);
    if (it == scriptedPlaces_.end())
        return;
    std::vector<uint8_t> c;
    Put16(c, id);
    Put16(c, 0);
    c.insert(c.end(), 4, 0);
    c.insert(c.end(), text.begin(), text.end());
    c.push_back(0);
    for (size_t i = 0; i < sessions_.size(); ++i)
        if (sessions_[i].place == it->second)
            SendLocked(static_cast<int>(i), 7, c, id, TCP);
}

void GameService::PlayerLeaves(uint16_t id) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = scriptedPlaces_.find(id);
    if (it == scriptedPlaces_.end())
        return;
    std::vector<uint8_t> e;
    Put16(e, id);
    e.insert(e.end(), 2, 0);
    for (size_t i = 0; i < sessions_.size(); ++i)
        if (sessions_[i].place == it->second)
            SendLocked(static_cast<int>(i), 4, e, id, TCP);
    scriptedPlaces_.erase(it);
}

std::vector<GameService::Frame> GameService::Frames() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return frames_;
}

std::vector<GameService::Frame> GameService::FramesOf(uint8_t code) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<Frame> v;
    for (const Frame& f : frames_)
        if (f.code == code)
            v.push_back(f);
    return v;
}

std::vector<std::string> GameService::Capture() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return capture_;
}

void GameService::Replay(const std::vector<std::string>& capture) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    replay_.clear();
    for (const std::string& line : capture) {
        unsigned ms;
        char way;
        if (std::sscanf(line.c_str(), "%u %c", &ms, &way) != 2)
            continue;
        if (way == 'c')
            replay_.emplace_back();
        else if (way == 's' && !replay_.empty())
            replay_.back().push_back(line);
    }
    replayNext_ = 0;
    replaying_ = true;
}

int GameService::ClientCount() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return static_cast<int>(sessions_.size());
}

uint16_t GameService::ClientId(int client) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return client >= 0 && static_cast<size_t>(client) < sessions_.size() ? sessions_[static_cast<size_t>(client)].id : 0;
}

bool GameService::ClientConnected(int client) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return client >= 0 && static_cast<size_t>(client) < sessions_.size() && sessions_[static_cast<size_t>(client)].fd >= 0;
}
