#include "client/core/exit_message.h"

#include "client/core/error_log.h"
#include "platform/win/win.h"

void ExitWithMessage(const char* text) {
    if (text)
        LogMessage(LOG_INFO, "Exiting with message %s.\n", text);
    ExitProcess(0);
}
