#pragma once
// error.log: started anew at each run, one line per start-up step and LogMessage lines with a
// time prefix, flushed after every line.

enum LogLevel { LOG_ERROR = 1, LOG_WARNING = 2, LOG_INFO = 3 };

// Opens (empties) the log and writes "Log File Started.\n". False when it cannot be created.
bool OpenErrorLog(const char* path = "error.log");
void CloseErrorLog();
bool IsErrorLogOpen();

// A plain line without prefix (the start-up steps); the caller ends it with a line feed.
void ErrorLogWrite(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "%ld:ERROR: %s", "%ld:WARNING: %s" or "%ld:INFO: %s" with the time in seconds since 1970;
// another level writes the bad-flag line instead. Nothing without an open log or a format.
void LogMessage(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
