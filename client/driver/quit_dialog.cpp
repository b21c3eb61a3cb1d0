#include "client/driver/quit_dialog.h"

#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/main_menu.h"

QuitDialog g_quitDialog;

namespace {

void OnChoice(int item) { g_quitDialog.result = item == 1 ? 1 : 2; }

void Forget() {
    g_quitDialog.result = 0;
    g_quitDialog.open = 0;
    g_quitDialog.ticket = 0;
}

}  // namespace

int LoadQuitDialogArt() {
    Forget();
    const bool ok = LoadScreenArt(g_quitDialog.picture, "qmatch0.pcx") == 0 &&
                    LoadScreenArt(g_quitDialog.highlight, "qmatch1.pcx") == 0;
    return ok ? 1 : 0;
}

int ShowQuitDialog() {
    if (g_quitDialog.open)
        return 1;
    if (g_quitDialog.picture.PcxWidth() <= 8 || g_quitDialog.picture.PcxHeight() <= 0)
        return 0;
    g_quitDialog.result = 0;
    g_quitDialog.ticket = OpenTwoItemBox(g_quitDialog.picture, g_quitDialog.highlight, OnChoice);
    g_quitDialog.open = g_quitDialog.ticket != 0;
    if (!g_quitDialog.open)
        return 0;
    SetCursorMode(1);
    return 1;
}

int TakeQuitDialogResult() {
    if (!g_quitDialog.open)
        return 0;
    const int result = g_quitDialog.result;
    if (result == 0) {
        if (!gwsFindPopup(g_quitDialog.ticket)) {
            Forget();
            SetCursorMode(0);
        }
        return 0;
    }
    gwsClosePopup(g_quitDialog.ticket);
    Forget();
    if (result == 1)
        return 1;
    SetCursorMode(0);
    return 0;
}

void FreeQuitDialog() {
    if (g_quitDialog.open)
        gwsClosePopup(g_quitDialog.ticket);
    Forget();
    g_quitDialog.picture.FreePcx();
    g_quitDialog.highlight.FreePcx();
}
