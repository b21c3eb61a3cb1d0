#pragma once
// The crash report: when an exception escapes, a plain-text report is appended to errorlog.txt
// beside the program file (what, where, when, the machine, the registers, the code and stack
// bytes and the modules of the process), and the exception goes on to the system. Everything
// here runs inside the fault handler and uses only the platform's async-signal-safe services.

#include <cstddef>
#include <cstdint>

#include "platform/crash/crash.h"

// Writes the report for the thread named threadName; returns EXCEPTION_CONTINUE_SEARCH.
LONG WriteCrashReport(EXCEPTION_POINTERS* info, const char* threadName);
// The program's exception filter: the report, for whichever thread faulted, names "main thread".
LONG CrashReportFilter(EXCEPTION_POINTERS* info);

void WriteReportLine(int file, const char* format, ...) __attribute__((format(printf, 2, 3)));
void WriteModuleList(int file);
void WriteModuleLine(int file, const platform::MemoryRegion& module);
// "month/day/year hh:mm:ss" in local time, seconds in steps of two.
char* FormatFileTime(int64_t seconds, char* buffer, size_t size);
void WriteSystemInfo(int file);
const char* ExceptionName(DWORD code);
// The part of a path after its last separator.
const char* FileNamePart(const char* path);
