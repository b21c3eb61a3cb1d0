#include "client/driver/exit_message.h"

#include "client/core/error_log.h"
#include "client/driver/message_pump.h"
#include "platform/win/win.h"

void ExitWithMessage(const char* text) {
    if (text)
        LogMessage(LOG_INFO, "Exiting with message %s.\n", text);
    // The pump that takes the close takes the window system down and ends the process.
    PostMessage(g_mainWindow, WM_CLOSE, 0, 0);
    PumpMessages();
    // Only without the game's window (a test's) does the pump come back.
    ExitProcess(0);
}
