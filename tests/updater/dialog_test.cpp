// The dialog layer: a template becomes a dialog whose procedure sees its messages, Cancel is
// reachable by click and by Escape, the items keep texts and progress, headless runs print
// them, and the picture shows the progress.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dialog/dialog.h"
#include "tests/support/headless.h"

namespace {

std::vector<std::pair<UINT, WPARAM>> g_seen;

INT_PTR RecordingDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    g_seen.emplace_back(message, wParam);
    if (message == WM_CLOSE) {
        DestroyWindow(hwnd);
        return TRUE;
    }
    return message == WM_INITDIALOG || message == WM_COMMAND;
}

const DialogItemTemplate kItems[] = {
    {"button", "Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 113, 57, 50, 14, IDCANCEL},
    {"msctls_progress32", "", WS_CHILD | WS_VISIBLE, 7, 39, 261, 9, 1001},
    {"static", "", WS_CHILD | WS_VISIBLE, 7, 7, 261, 10, 1006},
};
const DialogTemplate kTemplate = {WS_POPUP | WS_VISIBLE | WS_CAPTION, 277, 79, "Test Dialog", "MS Sans Serif", 8,
                                  kItems, 3};

class DialogTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        g_seen.clear();
        platform::SetDialogOutputSink([this](const char* line) { printed.emplace_back(line); });
        InitCommonControls();
        dialog = CreateDialogIndirectParam(nullptr, &kTemplate, nullptr, RecordingDlgProc, 42);
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        platform::SetDialogOutputSink(nullptr);
        HeadlessTest::TearDown();
    }

    // Pumps as a dialog's message loop does.
    void PumpDialog() {
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!IsDialogMessage(dialog, &msg))
                DispatchMessage(&msg);
    }

    int Commands(WORD id) const {
        int n = 0;
        for (auto& [m, w] : g_seen)
            n += m == WM_COMMAND && LOWORD(w) == id;
        return n;
    }

    HWND dialog = nullptr;
    std::vector<std::string> printed;
};

TEST_F(DialogTest, TheProcedureSeesInitAndShow) {
    ASSERT_GE(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].first, static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(g_seen[1].first, static_cast<UINT>(WM_SHOWWINDOW));
    RECT r;
    ASSERT_TRUE(GetClientRect(dialog, &r));
    EXPECT_EQ(r.right, 277 * 3);
    EXPECT_EQ(r.bottom, (79 * 26 + 4) / 8);
}

TEST_F(DialogTest, EscapeAndEnterPressCancel) {
    platform::InjectKey(0x01, true);  // Escape
    platform::InjectKey(0x01, false);
    PumpDialog();
    EXPECT_EQ(Commands(IDCANCEL), 1);
    platform::InjectKey(0x1C, true);  // Enter: the focused button is Cancel
    PumpDialog();
    EXPECT_EQ(Commands(IDCANCEL), 2);
    EXPECT_EQ(Commands(IDOK), 0);
}

TEST_F(DialogTest, AClickOnCancelPressesItAndAClickBesideDoesNot) {
    RECT b;
    ASSERT_TRUE(platform::GetDialogItemRect(dialog, IDCANCEL, &b));
    int x = (b.left + b.right) / 2, y = (b.top + b.bottom) / 2;
    platform::InjectMouseButton(platform::MouseButton::Left, true, x, y);
    platform::InjectMouseButton(platform::MouseButton::Left, false, x, y);
    PumpDialog();
    EXPECT_EQ(Commands(IDCANCEL), 1);
    // Pressed on the button but released away from it: no click.
    platform::InjectMouseButton(platform::MouseButton::Left, true, x, y);
    platform::InjectMouseMove(5, 5);
    platform::InjectMouseButton(platform::MouseButton::Left, false, 5, 5);
    PumpDialog();
    EXPECT_EQ(Commands(IDCANCEL), 1);
}

TEST_F(DialogTest, ItemsKeepTextsAndProgressAndHeadlessRunsPrintThem) {
    EXPECT_TRUE(SetDlgItemText(dialog, 1006, "Checking..."));
    EXPECT_FALSE(SetDlgItemText(dialog, 999, "nobody"));
    char text[8];
    EXPECT_EQ(GetDlgItemText(dialog, 1006, text, sizeof text), 7u);
    EXPECT_STREQ(text, "Checkin");
    SendDlgItemMessage(dialog, 1001, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessage(dialog, 1001, PBM_SETPOS, 42, 0);
    SendDlgItemMessage(dialog, 1001, PBM_SETPOS, 42, 0);
    SendDlgItemMessage(dialog, 1001, PBM_SETPOS, 250, 0);
    EXPECT_EQ(SendDlgItemMessage(dialog, 1001, PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(printed, (std::vector<std::string>{"[Test Dialog] Checking...", "[Test Dialog] 42%", "[Test Dialog] 100%"}));
}

TEST_F(DialogTest, ThePictureFillsTheProgressBarByPosition) {
    SendDlgItemMessage(dialog, 1001, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    RECT bar;
    ASSERT_TRUE(platform::GetDialogItemRect(dialog, 1001, &bar));
    auto filledColumns = [&](int pos) {
        SendDlgItemMessage(dialog, 1001, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
        std::vector<uint32_t> px;
        int w = 0, h = 0;
        EXPECT_TRUE(platform::RenderDialog(dialog, &px, &w, &h));
        int row = (bar.top + bar.bottom) / 2, last = -1;
        for (int x = bar.left; x < bar.right; ++x)
            if (px[static_cast<size_t>(row) * w + x] == 0x000080)
                last = x;
        return last < 0 ? 0 : last - (bar.left + 2) + 1;
    };
    int inner = bar.right - bar.left - 4;
    EXPECT_EQ(filledColumns(0), 0);
    EXPECT_NEAR(filledColumns(50), inner / 2, 3);
    EXPECT_NEAR(filledColumns(100), inner, 3);
    EXPECT_GT(filledColumns(100), filledColumns(99));
}

TEST_F(DialogTest, TextLongerThanItsItemIsCutAtTheItemsEdge) {
    RECT item;
    ASSERT_TRUE(platform::GetDialogItemRect(dialog, 1006, &item));
    auto render = [&](const char* text) {
        SetDlgItemText(dialog, 1006, text);
        std::vector<uint32_t> px;
        int w = 0, h = 0;
        EXPECT_TRUE(platform::RenderDialog(dialog, &px, &w, &h));
        return std::make_pair(px, w);
    };
    auto [blank, w] = render("");
    std::vector<uint32_t> full = render(std::string(300, 'W').c_str()).first;
    ASSERT_EQ(blank.size(), full.size());
    size_t changed = 0;
    for (size_t i = 0; i < blank.size(); ++i) {
        const LONG x = static_cast<LONG>(i % static_cast<size_t>(w)), y = static_cast<LONG>(i / static_cast<size_t>(w));
        const bool inside = x >= item.left && x < item.right && y >= item.top && y < item.bottom;
        if (!inside) {
            ASSERT_EQ(blank[i], full[i]) << x << "," << y;
        }
        changed += blank[i] != full[i];
    }
    EXPECT_GT(changed, 0u);
}

TEST_F(DialogTest, WindowCloseReachesTheProcedureAndEndsTheDialog) {
    platform::InjectCloseRequest();
    PumpDialog();
    EXPECT_FALSE(IsWindow(dialog));
    bool sawDestroy = false;
    for (auto& [m, w] : g_seen)
        sawDestroy |= m == WM_DESTROY;
    EXPECT_TRUE(sawDestroy);
    EXPECT_FALSE(SetDlgItemText(dialog, 1006, "gone"));
}

}  // namespace
