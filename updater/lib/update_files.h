#pragma once
// The update's transfers: the server list named by update.dat, the file lists fetched into
// zandfix.dat, and the listed files fetched, inflated and written with their times. Every
// operation reports failure by a false result; the dialog chooses the message.

#include <cstdint>
#include <string>
#include <vector>

#include "updater/lib/file_list.h"

struct DownloadProgress {
    int64_t total;     // bytes to receive in this pass
    int64_t received;  // bytes received so far in this pass
    uint32_t start;    // multimedia-timer milliseconds when the pass began
};

using ProgressCallback = void (*)(DownloadProgress& progress);

extern DownloadProgress CurrentProgress;
// The percentage the dialog shows; starts at 0.
extern uint8_t LastPercentShown;

// Data moves in reads of this many bytes.
constexpr uint32_t kTransferBlock = 1024;
// A list fetched into a file is never longer than this.
constexpr uint64_t kMaxListFileBytes = 4 * 1024 * 1024;

// Reads update.dat, fetches the server list and fills the patcher and product servers.
bool ReadServerList();
// Fetches "http://<server>/zandfix.dat" into zandfix.dat.
bool FetchFileList(const char* server);
// Fetches every needed entry of CurrentFileList from the server; count gets the files written.
bool DownloadMarkedFiles(const char* server, int* count);
// Fetches a URL into a file as it arrives. A cancel ends it early, with success.
bool DownloadToFile(const char* url, const char* fileName);
// Fetches one compressed file, inflating it as it arrives beside its place, and puts it there
// with the entry's time. The installed file is replaced only by a complete one; a failure leaves
// no file and no directory behind.
bool DownloadAndInflateFile(const char* url, const char* name, const FileListEntry& entry, ProgressCallback callback);
// The progress callback: the bar and the detail line, whenever the percentage changes.
void ShowDownloadProgress(DownloadProgress& progress);

bool DirectoryExists(const std::string& path);
// Creates every directory level of path that is missing: the text before each '/' or '\'.
// made, when given, gets each directory created, outermost first.
bool MakeDirectories(const std::string& path, std::vector<std::string>* made = nullptr);

// Removes the file a killed run was inflating a download into, as its note names it, and the
// note. Only a plain file under a name the updater gives, inside the installation, is removed.
void RemoveStalePartFile();

// Forgets the progress and a quit noted during a transfer.
void ResetTransferState();
