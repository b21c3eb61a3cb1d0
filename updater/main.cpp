// spell: the update utility. It brings the installation it stands in up to date from the update
// servers named by update.dat and then starts the client, game.dll.

#include "platform/win/win.h"
#include "updater/lib/update_utility.h"

int main() {
    return WinMain(nullptr, nullptr, "", SW_SHOWNORMAL);
}
