#pragma once
// What the network message tests share: a window that routes the socket and timer messages,
// the frames the client queued, the console and notice lines, and a fixture with the client
// tables empty, connected in the arena game with own id 7.

#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "client/arena/local_player.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/driver/message_pump.h"
#include "client/net/client_tables.h"
#include "client/net/net_bodies.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_handshake.h"
#include "client/net/net_lobby.h"
#include "client/net/net_match.h"
#include "client/net/net_rings.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/notice_lines.h"
#include "client/screens/screen_surface.h"
#include "platform/sock/sock_control.h"
#include "tests/support/game_service.h"
#include "tests/support/headless.h"
#include "tests/support/recording_present.h"
#include "tests/support/sent_frames.h"

namespace netmsg {

using Bytes = std::vector<uint8_t>;

inline LRESULT NetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SOCKET_DATAGRAM)
        return ProcessDatagramSocket(&DatagramLink, wParam, lParam);
    if (message == WM_SOCKET_STREAM)
        return ProcessStreamSocket(&StreamLink, wParam, lParam);
    if (message == WM_TIMER) {
        OnNetTimer(static_cast<int>(wParam));
        return 0;
    }
    return DefWindowProc(hwnd, message, wParam, lParam);
}

inline bool ConsoleHas(const std::string& text) {
    for (const ChatLine& l : ChatBuffer.lines)
        if (text == l.text)
            return true;
    return false;
}

inline bool NoticeHas(const std::string& text) {
    for (const char* l : g_screen.noticeLines)
        if (text == l)
            return true;
    return false;
}

inline void Put16(Bytes& b, size_t off, int v) {
    b[off] = static_cast<uint8_t>(v >> 8);
    b[off + 1] = static_cast<uint8_t>(v);
}

// A text field held nibble-swapped, as the login and character fields are.
template <size_t N>
void Hold(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    std::strncpy(field, text, N - 1);
    SwapOddNibbles(field);
}

inline void PutText(Bytes& b, size_t off, const char* text) { std::memcpy(b.data() + off, text, std::strlen(text)); }

using Sent = SentFrame;

class NetMessagesTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        platform::ResetSocketControls();
        ResetSocketLinks();
        ResetNetFraming();
        ResetSendRing();
        ResetReceiveRing();
        ClearChatBuffer();
        g_screen.ClearNoticeLines();
        ClearPlayerTable();
        ResetArenaList();
        ResetNetDispatch();
        ResetNetLobby();
        ResetNetHandshake();
        ResetNetMatch();
        ResetCharacterState();
        ResetGameValues();
        g_debugLevel = 0;
        g_screenState = 1;
        g_lostLink = 0;
        g_linkState = 2;
        ConnectionType = CONNECTION_SINGLE;
        SetGameValue(118, 7);
        WNDCLASS wc{};
        wc.lpfnWndProc = WindowProc();
        wc.lpszClassName = "NetMessages";
        RegisterClass(&wc);
        CreateWindowEx(0, "NetMessages", "t", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    }

    void TearDown() override {
        g_linkState = 1;
        g_screenState = 0;
        ResetSocketLinks();
        platform::ResetSocketControls();
        HeadlessTest::TearDown();
    }

    void Dispatch(int code, Bytes body, int source = 0, int destination = 0) {
        DispatchPacket(code, source, destination, body.data(), static_cast<int>(body.size()), g_localPlayer);
    }

    int AddPlayer(int id, const char* name, int team = 1) { return UpdatePlayerTable(id, 50, team, name); }

    // The main window's procedure: the socket events and the network's timers.
    virtual WNDPROC WindowProc() const { return NetProc; }

    RecordingPresent present;
};

// Against the scripted service on loopback, polled as a message source on the virtual clock;
// logged in as "mira" with the character "Thorn".
class NetWaitTest : public NetMessagesTest {
protected:
    void SetUp() override {
        NetMessagesTest::SetUp();
        ASSERT_TRUE(service.Ok());
        service.AddAccount("mira", "secret");
        service.InstallAsMessageSource(1);
        std::strcpy(SocketAddress, "127.0.0.1");
        SocketPort = service.DatagramPort();
        SocketStreamPort = service.StreamPort();
        SetGameValue(118, 0);
        Hold(g_login.account, "mira");
        Hold(g_login.password, "secret");
        Hold(g_currentCharacter.name, "Thorn");
    }
    void TearDown() override {
        if (waitGuard)
            platform::RemoveMessageSource(waitGuard);
        service.RemoveMessageSource();
        NetMessagesTest::TearDown();
    }

    // From the tick count `at` on, every wait's flag is raised: a wait that should have ended by
    // then reports an answer instead of running on for ever, and the test fails at once.
    void AnswerEveryWaitAt(uint32_t at) {
        if (waitGuard)
            platform::RemoveMessageSource(waitGuard);
        waitGuard = platform::AddMessageSource([at] {
            if (GetTickCount() < at)
                return;
            for (int32_t* flag : {&EnterReplied, &GameOpened, &DatagramEstablished, &WorldSent})
                *flag = 1;
        });
    }

    bool Open(int type) {
        ConnectionType = type;
        // The stream's loader comes first: it refuses a library the datagram socket loaded.
        if (type == CONNECTION_STREAM &&
            (OpenStreamSocket(&StreamLink) != 0 || !PumpUntil([] { return StreamLink.connected == 1; })))
            return false;
        return OpenDatagramSocket(&DatagramLink) == 0;
    }

    std::vector<int> ServiceCodes() {
        std::vector<int> codes;
        for (const GameService::Frame& f : service.Frames())
            codes.push_back(f.code);
        return codes;
    }

    bool TimerRunning() {
        // A running timer 11 would end a fresh wait flag; kill it and see whether it was there.
        return KillTimer(platform::MainWindow(), kWaitTimer) != 0;
    }

    GameService service;
    int waitGuard = 0;
};

}  // namespace netmsg
