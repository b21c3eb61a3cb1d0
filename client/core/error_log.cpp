#include "client/core/error_log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "common/text.h"
#include "platform/fs/fs.h"

namespace {
FILE* g_errorLog = nullptr;
constexpr size_t kMessageSize = 1024;  // 1023 characters and the terminator
}

bool OpenErrorLog(const char* path) {
    CloseErrorLog();
    g_errorLog = platform::OpenGameFile(path, "w");
    if (!g_errorLog)
        return false;
    std::fputs("Log File Started.\n", g_errorLog);
    std::fflush(g_errorLog);
    return true;
}

void CloseErrorLog() {
    if (g_errorLog)
        std::fclose(g_errorLog);
    g_errorLog = nullptr;
}

bool IsErrorLogOpen() {
    return g_errorLog != nullptr;
}

void ErrorLogWrite(const char* format, ...) {
    if (!g_errorLog || !format)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(g_errorLog, format, args);
    va_end(args);
    std::fflush(g_errorLog);
}

void LogMessage(int level, const char* format, ...) {
    if (!g_errorLog || !format)
        return;
    long now = static_cast<long>(std::time(nullptr));
    const char* tag = nullptr;
    switch (level) {
    case LOG_ERROR: tag = "ERROR"; break;
    case LOG_WARNING: tag = "WARNING"; break;
    case LOG_INFO: tag = "INFO"; break;
    default:
        std::fprintf(g_errorLog, "%ld:ERROR: bad flag (%d) in LogMessage.\n", now, level);
        std::fflush(g_errorLog);
        return;
    }
    char message[kMessageSize];
    va_list args;
    va_start(args, format);
    FormatTextV(message, sizeof message, format, args);
    va_end(args);
    std::fprintf(g_errorLog, "%ld:%s: %s", now, tag, message);
    std::fflush(g_errorLog);
}
