#include "updater/lib/update_files.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "common/text.h"
#include "platform/dialog/dialog.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/fs.h"
#include "updater/lib/adler32.h"
#include "updater/lib/update_state.h"

DownloadProgress CurrentProgress;
uint8_t LastPercentShown = 0;

namespace {

uint8_t TransferBuffer[kTransferBlock];

// A quit message taken while a transfer ran; the transfer ends the process once it has closed
// what it holds.
bool g_quitPending = false;
int g_quitCode = 0;

enum class Served { Nothing, Message, Quit };

// Takes one waiting message: a quit is reported, anything else goes to the dialog manager or is
// dispatched.
Served ServeOneMessage() {
    MSG msg;
    if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
        return Served::Nothing;
    if (msg.message == WM_QUIT) {
        g_quitPending = true;
        g_quitCode = static_cast<int>(msg.wParam);
        return Served::Quit;
    }
    if (!IsDialogMessage(UpdateDialogWindow, &msg)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    return Served::Message;
}

// While a transfer waits for the network the dialog is served, and a quit or a cancel gives
// the wait up, so Cancel works even when a server stops sending.
class ServeDialogWhileWaiting {
public:
    ServeDialogWhileWaiting() {
        platform::SetInternetWaitHook([] { return ServeOneMessage() != Served::Quit && !CancelRequested; });
    }
    ~ServeDialogWhileWaiting() { platform::SetInternetWaitHook(nullptr); }
    ServeDialogWhileWaiting(const ServeDialogWhileWaiting&) = delete;
    ServeDialogWhileWaiting& operator=(const ServeDialogWhileWaiting&) = delete;
};

[[noreturn]] void EndForQuit() {
    platform::RemoveFile(kListFileName);
    ExitProcess(static_cast<UINT>(g_quitCode));
}

enum class LoopEnd { Done, Failed, Quit };

// Reads the request to its end in blocks, handing each to take, which may refuse it. Between
// two full reads one waiting message is served. A cancel ends the loop early.
template <typename Take>
LoopEnd RunTransferLoop(HINTERNET request, Take take) {
    DWORD got = kTransferBlock;
    while (got > 0 && !CancelRequested) {
        got = 0;
        if (!InternetReadFile(request, TransferBuffer, kTransferBlock, &got)) {
            if (g_quitPending)
                return LoopEnd::Quit;
            return CancelRequested ? LoopEnd::Done : LoopEnd::Failed;
        }
        if (got == 0)
            break;
        if (!take(TransferBuffer, got))
            return LoopEnd::Failed;
        if (got < kTransferBlock)
            break;
        if (ServeOneMessage() == Served::Quit)
            return LoopEnd::Quit;
    }
    return LoopEnd::Done;
}

HINTERNET OpenUrl(const std::string& url) {
    HINTERNET request = InternetOpenUrlA(InternetSession, url.c_str(), nullptr, 0, 0, 0);
    if (!request && g_quitPending)
        EndForQuit();
    return request;
}

bool HasDirectory(const std::string& path) {
    return path.find_first_of("/\\") != std::string::npos;
}

// A download is inflated into ".spell-XXXXXX.tmp" beside its place, and that name is noted in
// kPartNoteFileName before the file is made and forgotten once it is gone.
constexpr char kPartPrefix[] = ".spell-";
constexpr char kPartSuffix[] = ".tmp";
constexpr char kPartLetters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr size_t kPartRandomLetters = 6;

std::string DirectoryPart(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A name the updater gives its part files, in a directory a listed file could have.
bool IsPartFilePath(const std::string& path) {
    const std::string dir = DirectoryPart(path);
    char checked[256];
    if (!dir.empty() && !NormalizeListName(dir.substr(0, dir.size() - 1), checked))
        return false;
    const std::string name = path.substr(dir.size());
    const size_t prefix = sizeof kPartPrefix - 1, suffix = sizeof kPartSuffix - 1;
    if (name.size() != prefix + kPartRandomLetters + suffix || name.compare(0, prefix, kPartPrefix) != 0 ||
        name.compare(prefix + kPartRandomLetters, suffix, kPartSuffix) != 0)
        return false;
    return name.find_first_not_of(kPartLetters, prefix) == prefix + kPartRandomLetters;
}

bool WritePartNote(const std::string& path) {
    FILE* f = platform::OpenGameFile(kPartNoteFileName, "wb");
    if (!f)
        return false;
    const bool written = std::fprintf(f, "%s\n", path.c_str()) > 0;
    return std::fclose(f) == 0 && written;
}

// A new part file beside target, noted first; its name goes to path.
FILE* CreatePartFile(const std::string& target, std::string* path) {
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string candidate = DirectoryPart(target) + kPartPrefix;
        for (size_t i = 0; i < kPartRandomLetters; ++i)
            candidate += kPartLetters[random() % (sizeof kPartLetters - 1)];
        candidate += kPartSuffix;
        if (!WritePartNote(candidate))
            break;
        // Made only when no file has that name yet.
        if (FILE* f = platform::OpenGameFile(candidate, "w+bx")) {
            *path = candidate;
            return f;
        }
        if (errno != EEXIST)
            break;
    }
    platform::RemoveFile(kPartNoteFileName);
    return nullptr;
}

bool LooksExecutable(const std::vector<uint8_t>& data) {
    static const uint8_t kElf[] = {0x7F, 'E', 'L', 'F'};
    return (data.size() >= 4 && std::memcmp(data.data(), kElf, 4) == 0) ||
           (data.size() >= 2 && data[0] == '#' && data[1] == '!');
}

// Writes blocks to a file on a thread of its own, so that the disk write of one block overlaps
// the transfer and inflation of the next. At most two blocks wait at a time.
class WriteBehind {
public:
    static constexpr size_t kBlockBytes = 1024 * 1024;

    explicit WriteBehind(FILE* file) : file_(file), thread_([this] { Run(); }) {}
    ~WriteBehind() { Finish(); }
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Queues the first `used` bytes of a block; gives back an empty block of kBlockBytes.
    std::vector<uint8_t> Swap(std::vector<uint8_t> full, size_t used) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return queue_.size() < 2 || failed_; });
        queue_.emplace_back(std::move(full), used);
        changed_.notify_all();
        std::vector<uint8_t> empty;
        if (!spare_.empty()) {
            empty = std::move(spare_.back());
            spare_.pop_back();
        }
        lock.unlock();
        empty.resize(kBlockBytes);
        return empty;
    }

    bool Failed() {
        std::lock_guard<std::mutex> lock(mutex_);
        return failed_;
    }

    // Waits until every queued block is written; false when a write failed.
    bool Finish() {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                stopping_ = true;
            }
            changed_.notify_all();
            thread_.join();
        }
        return !failed_;
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return !queue_.empty() || stopping_; });
            if (queue_.empty())
                return;
            auto [block, used] = std::move(queue_.front());
            queue_.pop_front();
            const bool skip = failed_;
            lock.unlock();
            const bool ok = skip || used == 0 || std::fwrite(block.data(), 1, used, file_) == used;
            lock.lock();
            failed_ = failed_ || !ok;
            spare_.push_back(std::move(block));
            changed_.notify_all();
        }
    }

    FILE* file_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<std::vector<uint8_t>, size_t>> queue_;
    std::vector<std::vector<uint8_t>> spare_;
    bool stopping_ = false;
    bool failed_ = false;
    std::thread thread_;
};

// Inflates a compressed file as it arrives into a temporary file beside its place, so writing
// overlaps the transfer and neither the packed nor the whole inflated file is held in memory.
// The file is renamed into place, with its permissions and times, only when the data inflated
// to exactly the listed size; otherwise the temporary file and the directories made for it go.
class InflatingWriter {
public:
    explicit InflatingWriter(const FileListEntry& entry) : entry_(entry) {}
    ~InflatingWriter() { Abandon(); }
    InflatingWriter(const InflatingWriter&) = delete;
    InflatingWriter& operator=(const InflatingWriter&) = delete;

    bool Open(const char* name) {
        target_ = platform::ResolveGamePath(name);
        if (HasDirectory(target_) && !MakeDirectories(target_, &madeDirs_))
            return false;
        file_ = CreatePartFile(target_, &temp_);
        if (!file_ || inflateInit2(&z_, -MAX_WBITS) != Z_OK)
            return false;
        zReady_ = true;
        block_.resize(WriteBehind::kBlockBytes);
        writer_ = std::make_unique<WriteBehind>(file_);
        return true;
    }

    // More of the packed data; false when it cannot be the listed file. The zlib stream is taken
    // apart here (header, raw deflate data, check value) so that the check value is summed over
    // whole blocks of output rather than each read's worth.
    bool Take(const uint8_t* data, size_t n) {
        while (n > 0 && !ended_) {
            if (headerHeld_ < 2) {
                header_[headerHeld_++] = *data++;
                --n;
                if (headerHeld_ == 2 && !StartRawData())
                    return false;
            } else if (dataEnded_) {
                trailer_ = trailer_ << 8 | *data++;
                --n;
                if (++trailerHeld_ == 4) {
                    SumPending();
                    if (trailer_ != adler_)
                        return false;
                    ended_ = true;  // what follows the end of the data is not looked at
                }
            } else {
                const size_t left = Inflate(data, n);
                data += n - left;
                n = left;
            }
        }
        return !failed_;
    }

    // Puts the file in place when the data ended and inflated to exactly the listed size.
    bool Finish() {
        bool ok = ended_ && written_ == entry_.size;
        block_ = writer_->Swap(std::move(block_), used_);
        ok = writer_->Finish() && ok;
        ok = std::fclose(file_) == 0 && ok;
        file_ = nullptr;
        ok = ok && platform::SetReplacementMode(temp_, target_, LooksExecutable(head_));
        ok = ok && platform::SetFileTimes(temp_, entry_.time, entry_.time);
        ok = ok && platform::ReplaceFile(temp_, target_);
        if (ok) {
            temp_.clear();
            madeDirs_.clear();
            platform::RemoveFile(kPartNoteFileName);
        }
        return ok;
    }

private:
    // The two header bytes: deflate, no preset dictionary, and the header's own check; the
    // window (at most 32 KiB, or the reset fails) is the one the stream declares.
    bool StartRawData() {
        const int method = header_[0] & 0x0F, windowBits = (header_[0] >> 4) + 8;
        const bool dictionary = (header_[1] & 0x20) != 0;
        if (method != Z_DEFLATED || dictionary || (header_[0] << 8 | header_[1]) % 31 != 0)
            return false;
        return inflateReset2(&z_, -windowBits) == Z_OK;
    }

    // Inflates what it can of n bytes into the block; the bytes not used (those after the end of
    // the deflate data). Sets failed_ on data that is not deflate or inflates past the listed size.
    size_t Inflate(const uint8_t* data, size_t n) {
        z_.next_in = const_cast<Bytef*>(data);
        z_.avail_in = static_cast<uInt>(n);
        while (z_.avail_in > 0 && !dataEnded_ && !failed_) {
            const size_t room = block_.size() - used_;
            z_.next_out = block_.data() + used_;
            z_.avail_out = static_cast<uInt>(room);
            const int rc = inflate(&z_, Z_NO_FLUSH);
            if (rc == Z_STREAM_END)
                dataEnded_ = true;
            else if (rc != Z_OK)
                failed_ = true;
            if (!Produced(room - z_.avail_out))
                failed_ = true;
        }
        return failed_ ? 0 : z_.avail_in;
    }

    // n more bytes inflated into the block; a full block is summed and goes to the writer.
    bool Produced(size_t n) {
        if (n > entry_.size - written_)
            return false;  // more than listed
        if (head_.size() < 4)
            head_.insert(head_.end(), block_.data() + used_, block_.data() + used_ + std::min<size_t>(n, 4 - head_.size()));
        written_ += n;
        used_ += n;
        if (used_ == block_.size()) {
            SumPending();
            block_ = writer_->Swap(std::move(block_), used_);
            used_ = 0;
            summed_ = 0;
        }
        return !writer_->Failed();
    }

    void SumPending() {
        adler_ = Adler32(adler_, block_.data() + summed_, used_ - summed_);
        summed_ = used_;
    }

    void Abandon() {
        if (zReady_)
            inflateEnd(&z_);
        zReady_ = false;
        writer_.reset();  // its thread is done with the file before it is closed
        if (file_)
            std::fclose(file_);
        file_ = nullptr;
        if (!temp_.empty()) {
            platform::RemoveFile(temp_);
            platform::RemoveFile(kPartNoteFileName);
        }
        temp_.clear();
        // Deepest first; one that is not empty stays.
        for (auto it = madeDirs_.rbegin(); it != madeDirs_.rend(); ++it)
            platform::RemoveDirectory(*it);
        madeDirs_.clear();
    }

    const FileListEntry& entry_;
    std::string target_;
    std::string temp_;
    std::vector<std::string> madeDirs_;
    FILE* file_ = nullptr;
    std::unique_ptr<WriteBehind> writer_;
    z_stream z_{};
    bool zReady_ = false;
    uint8_t header_[2] = {};
    size_t headerHeld_ = 0;
    bool dataEnded_ = false;  // the end of the deflate data; the check value follows
    uint32_t trailer_ = 0;
    size_t trailerHeld_ = 0;
    uint32_t adler_ = 1;
    size_t summed_ = 0;  // bytes of the block already in adler_
    bool failed_ = false;
    bool ended_ = false;
    uint64_t written_ = 0;
    std::vector<uint8_t> head_;
    std::vector<uint8_t> block_;
    size_t used_ = 0;
};

// Reads the header line and then one server per line into the given 1024-character buffers,
// each non-empty and lower-cased.
bool ReadServers(const char* fileName, std::initializer_list<char*> servers) {
    FILE* f = platform::OpenGameFile(fileName, "rb");
    if (!f)
        return false;
    std::string line;
    bool ok = ReadTextLine(f, &line, kHeaderLineMax) == LineRead::Ok && line == kPatchHeader;
    for (char* server : servers) {
        ok = ok && ReadTextLine(f, &line, kHeaderLineMax) == LineRead::Ok && !line.empty();
        if (ok) {
            CopyText(server, kHeaderLineMax + 1, line);
            LowerCaseInPlace(server);
        }
    }
    std::fclose(f);
    return ok;
}

}  // namespace

void RemoveStalePartFile() {
    FILE* f = platform::OpenGameFile(kPartNoteFileName, "rb");
    if (!f)
        return;
    std::string path;
    const bool read = ReadTextLine(f, &path, kHeaderLineMax) == LineRead::Ok;
    std::fclose(f);
    platform::FileStatus st;
    if (read && IsPartFilePath(path) && platform::GetFileStatus(path, &st) && st.isRegular)
        platform::RemoveFile(path);
    platform::RemoveFile(kPartNoteFileName);
}

void ResetTransferState() {
    CurrentProgress = DownloadProgress{};
    LastPercentShown = 0;
    g_quitPending = false;
    g_quitCode = 0;
}

bool DirectoryExists(const std::string& path) {
    platform::FileStatus st;
    return platform::GetFileStatus(path, &st) && st.isDirectory;
}

bool MakeDirectories(const std::string& path, std::vector<std::string>* made) {
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/' && path[i] != '\\')
            continue;
        std::string dir = path.substr(0, i);
        if (DirectoryExists(dir))
            continue;
        if (!platform::MakeDirectory(dir))
            return false;
        if (made)
            made->push_back(std::move(dir));
    }
    return true;
}

bool DownloadToFile(const char* url, const char* fileName) {
    ServeDialogWhileWaiting serve;
    HINTERNET request = OpenUrl(url);
    if (!request)
        return false;
    if (HasDirectory(fileName) && !MakeDirectories(fileName)) {
        InternetCloseHandle(request);
        return false;
    }
    FILE* f = platform::OpenGameFile(fileName, "wb");
    if (!f) {
        InternetCloseHandle(request);
        return false;
    }
    uint64_t written = 0;
    LoopEnd end = RunTransferLoop(request, [&](const uint8_t* data, DWORD n) {
        written += n;
        return written <= kMaxListFileBytes && std::fwrite(data, 1, n, f) == n;
    });
    InternetCloseHandle(request);
    bool closed = std::fclose(f) == 0;
    if (end == LoopEnd::Quit)
        EndForQuit();
    return end == LoopEnd::Done && closed;
}

bool DownloadAndInflateFile(const char* url, const char* name, const FileListEntry& entry, ProgressCallback callback) {
    ServeDialogWhileWaiting serve;
    HINTERNET request = OpenUrl(url);
    if (!request)
        return false;
    auto writer = std::make_unique<InflatingWriter>(entry);
    if (!writer->Open(name)) {
        InternetCloseHandle(request);
        return false;
    }
    uint32_t fileCount = 0;
    LoopEnd end = RunTransferLoop(request, [&](const uint8_t* data, DWORD n) {
        if (n > entry.packedSize - fileCount)
            return false;
        fileCount += n;
        CurrentProgress.received += n;
        if (callback)
            callback(CurrentProgress);
        return writer->Take(data, n);
    });
    InternetCloseHandle(request);
    if (end == LoopEnd::Quit) {
        writer.reset();
        EndForQuit();
    }
    if (end != LoopEnd::Done || fileCount != entry.packedSize || CancelRequested)
        return false;
    return writer->Finish();
}

void ShowDownloadProgress(DownloadProgress& p) {
    // Nothing to receive counts as all received; more than announced never shows past 100.
    int percent = 100;
    if (p.total > 0)
        percent = static_cast<int>(std::clamp(static_cast<double>(p.received) / static_cast<double>(p.total) * 100.0,
                                              0.0, 100.0));
    if (percent == LastPercentShown)
        return;
    SendDlgItemMessage(UpdateDialogWindow, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    uint32_t elapsed = timeGetTime() - p.start;
    int rate = 0;
    if (elapsed > 0)
        rate = static_cast<int>(std::min(static_cast<double>(p.received / 1024) / (elapsed * 0.001),
                                         static_cast<double>(INT_MAX)));
    char detail[128];
    FormatText(detail, sizeof detail, "Received: %dk of %dk (%d kps)", static_cast<int>(p.received / 1024),
               static_cast<int>(p.total / 1024), rate);
    SetDlgItemText(UpdateDialogWindow, IDC_DETAIL_LINE, detail);
    LastPercentShown = static_cast<uint8_t>(percent);
}

bool ReadServerList() {
    if (!ReadServers(kUpdateFileName, {UpdateServer}))
        return false;
    std::string url = std::string("http://") + UpdateServer;
    if (!DownloadToFile(url.c_str(), kListFileName))
        return false;
    if (!ReadServers(kListFileName, {PatcherServer, ProductServer}))
        return false;
    Sleep(100);
    platform::RemoveFile(kListFileName);
    return true;
}

bool FetchFileList(const char* server) {
    std::string url = std::string("http://") + server + "/" + kListFileName;
    return DownloadToFile(url.c_str(), kListFileName);
}

bool DownloadMarkedFiles(const char* server, int* count) {
    CurrentProgress.total = static_cast<int64_t>(CurrentFileList.neededPackedTotal);
    CurrentProgress.received = 0;
    CurrentProgress.start = timeGetTime();
    *count = 0;
    for (FileListEntry& e : CurrentFileList.entries) {
        if (!e.needed)
            continue;
        LowerCaseInPlace(e.name);
        const char* slash = std::strrchr(e.name, '/');
        char status[300];
        FormatText(status, sizeof status, "Receiving update file: %s", slash ? slash + 1 : e.name);
        SetDlgItemText(UpdateDialogWindow, IDC_STATUS_LINE, status);
        // "#", "?" and "%" in a name would end the path or start an escape.
        std::string url = std::string("http://") + server + "/" + platform::EscapeForUrl(e.name, "%#?");
        if (!DownloadAndInflateFile(url.c_str(), e.name, e, ShowDownloadProgress))
            return false;
        ++*count;
    }
    return true;
}
