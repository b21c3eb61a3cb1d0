#pragma once
// A scripted game service on loopback for the network tests and for running `game` against:
// TCP and UDP on 127.0.0.1 at ports of the system's choosing (or given ones). It checks and
// records every client frame (lead bytes, checksum), answers the entry handshake by default
// (account check, player ids, open game, a scripted world, the datagram link, pongs, characters
// and names from per-account stores) and relays players' frames to the other clients of the
// same place with the sender as source. Everything it sends is written here at the protocol's
// offsets, never with the client's own encoders.
//
// Stepped: the test calls Poll() (or installs it as a message source, optionally advancing the
// virtual clock a fixed step per poll so that waiting on silence costs virtual time). Threaded:
// StartThread() polls on a thread of its own; every public call locks.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class GameService {
public:
    enum Transport : char { TCP = 't', UDP = 'u' };

    // A client frame as the service took it.
    struct Frame {
        Transport transport;
        int client;            // session index
        bool lead;             // 0x1B 0x1B came before it
        bool checksumOk;
        uint16_t length, sequence, clientId, destination;
        uint8_t code;
        std::vector<uint8_t> body;
    };

    struct Account {
        std::string password;
        int refusal = 0;  // non-zero: S_NOT_CONNECTED with this value
        std::map<int, std::vector<uint8_t>> characters;  // slot -> 250 record bytes
    };

    // Per-code handler: true when it answered, so the default answer is skipped.
    using Handler = std::function<bool(GameService& service, const Frame& frame)>;

    explicit GameService(int streamPort = 0, int datagramPort = 0);
    ~GameService();
    GameService(const GameService&) = delete;
    GameService& operator=(const GameService&) = delete;

    bool Ok() const { return ok_; }
    uint16_t StreamPort() const { return streamPort_; }
    uint16_t DatagramPort() const { return datagramPort_; }

    // ---- Running ------------------------------------------------------------------------------
    // One look at the sockets: accepts, reads, answers. Never waits.
    void Poll();
    // Polls inside every PeekMessage/GetMessage; stepMs > 0 advances the virtual clock each time.
    void InstallAsMessageSource(uint32_t stepMs = 0);
    void RemoveMessageSource();
    void StartThread();
    void StopThread();

    // ---- Script -------------------------------------------------------------------------------
    void AddAccount(const std::string& name, const std::string& password, int refusal = 0);
    // Any account and password is accepted (the standalone service).
    void AcceptAnyAccount(bool any);
    void SetVersion(uint8_t kind, uint8_t major, uint8_t minor, uint8_t patch);
    void OnCode(int code, Handler handler);
    // No answers at all while set (frames are still recorded).
    void SetSilent(bool silent);
    // The next n datagrams the service would send are dropped (their sequence numbers are spent).
    void DropNextDatagrams(int n);
    // The frames sent as the world after a world request, before S_WORLD_SENT.
    void SetWorld(std::vector<std::pair<uint8_t, std::vector<uint8_t>>> frames);
    void SetNameTaken(const std::string& compareForm, bool taken);
    // Name checks answer "acceptable" unless the name is marked illegal here.
    void SetNameIllegal(const std::string& compareForm);
    // The frames sent after F_OPEN_GAME to a client in the Tavern (place 255).
    void SetLobby(std::vector<std::pair<uint8_t, std::vector<uint8_t>>> frames);
    // A character the account already keeps (250 record bytes, as F_SEND_CHARACTER carries them).
    void StoreCharacter(const std::string& account, int slot, std::vector<uint8_t> record);

    // ---- Sending ------------------------------------------------------------------------------
    // A frame of code and body to one client: the stream layout on TCP, a NetFrame datagram on
    // UDP; to a client that speaks only datagrams, stream frames go in datagrams.
    void Send(int client, uint8_t code, const std::vector<uint8_t>& body, uint16_t source = 0xFFFF,
              Transport transport = TCP);
    // Raw bytes on the client's stream, optionally one byte per write.
    void SendRaw(int client, const std::vector<uint8_t>& bytes, bool bytePerWrite = false);
    // One raw datagram to the client's datagram address.
    void SendRawDatagram(int client, const std::vector<uint8_t>& bytes);
    void CloseClient(int client);

    // Scripted players: their frames reach every client in the same place.
    void PlayerJoins(uint16_t id, const std::string& name, uint8_t place, uint8_t team);
    void PlayerState(uint16_t id, const std::vector<uint8_t>& body12);
    void PlayerChat(uint16_t id, const std::string& text);
    void PlayerLeaves(uint16_t id);

    // ---- Records ------------------------------------------------------------------------------
    std::vector<Frame> Frames() const;
    std::vector<Frame> FramesOf(uint8_t code) const;
    // "<ms> c|s t|u <hex>" per frame each way.
    std::vector<std::string> Capture() const;
    // Answers the k-th client frame with the service lines that followed it in the capture.
    void Replay(const std::vector<std::string>& capture);
    int ClientCount() const;
    // The id the service gave a client (0 before its first F_PLAYER_ENTER).
    uint16_t ClientId(int client) const;
    bool ClientConnected(int client) const;

private:
    struct Session {
        int fd = -1;
        std::vector<uint8_t> in;
        bool hasUdp = false;
        uint32_t udpAddress = 0;  // network order
        uint16_t udpPort = 0;     // network order
        bool datagramOnly = false;
        uint16_t id = 0;
        int place = -1;
        bool accepted = false;
        std::string account;
        uint16_t outSequence = 0;
    };

    void PollLocked();
    void AcceptLocked();
    void ReadStreamLocked(int client);
    void ReadDatagramsLocked();
    void TakeStreamFramesLocked(int client);
    void HandleLocked(const Frame& frame, const std::vector<uint8_t>& raw);
    void AnswerLocked(const Frame& frame);
    void RelayLocked(const Frame& frame);
    void SendLocked(int client, uint8_t code, const std::vector<uint8_t>& body, uint16_t source, Transport t);
    void WriteStreamLocked(int client, const std::vector<uint8_t>& bytes, bool bytePerWrite);
    void WriteDatagramLocked(int client, const std::vector<uint8_t>& bytes);
    void CaptureLocked(char way, Transport t, const std::vector<uint8_t>& bytes);
    int SessionForUdpLocked(uint32_t address, uint16_t port, const std::vector<uint8_t>& frame, bool lead);
    uint32_t NowMs() const;

    mutable std::recursive_mutex mutex_;
    bool ok_ = false;
    int listenFd_ = -1;
    int udpFd_ = -1;
    uint16_t streamPort_ = 0;
    uint16_t datagramPort_ = 0;
    std::vector<Session> sessions_;
    std::vector<Frame> frames_;
    std::vector<std::string> capture_;
    std::map<std::string, Account> accounts_;
    bool anyAccount_ = false;
    uint8_t version_[4] = {'1', 0, 7, 0};  // the client's own, so the sample plays online
    std::map<int, Handler> handlers_;
    bool silent_ = false;
    int dropDatagrams_ = 0;
    std::vector<std::pair<uint8_t, std::vector<uint8_t>>> world_;
    std::vector<std::pair<uint8_t, std::vector<uint8_t>>> lobby_;
    std::map<std::string, bool> names_;
    std::set<std::string> illegalNames_;
    uint16_t nextId_ = 1;
    std::vector<std::vector<std::string>> replay_;
    size_t replayNext_ = 0;
    bool replaying_ = false;
    std::map<uint16_t, int> scriptedPlaces_;  // scripted player id -> place
    int sourceHandle_ = 0;
    uint64_t startNanos_ = 0;
    std::thread thread_;
    bool stop_ = false;
};
