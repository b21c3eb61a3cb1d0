#include "client/core/screen_files.h"

#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "common/text.h"
#include "platform/win/platform.h"

ScreenFiles g_screenFiles;

void LoadScreenFiles() {
    constexpr const char* kFile = "main.dat";
    struct Entry {
        const char* key;
        char* out;
    } entries[] = {
        {"menu", g_screenFiles.menu},
        {"gamebackfile", g_screenFiles.gameBack},
        {"chatbackfile", g_screenFiles.chatBack},
        {"kbdcfgbackfile", g_screenFiles.keyboardBack},
        {"summarybackfile", g_screenFiles.summaryBack},
        {"charmanbackfile", g_screenFiles.characterBack},
    };
    for (const Entry& e : entries) {
        char value[kScreenFileNameSize];
        if (!GetConfigString(kFile, "screens", e.key, value, sizeof value, nullptr, 0)) {
            ErrorLogWrite("No entry for %s in file: %s\n", e.key, kFile);
            ExitProcess(static_cast<UINT>(-1));
        }
        CopyText(e.out, kScreenFileNameSize, value);
    }
}
