// Whole updates in-process: the dialog's message loop and state machine against update servers
// on a loopback HTTP server, with the installation in a temporary directory and client starts
// observed instead of made.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <signal.h>
#include <unistd.h>
#include <utime.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/dialog/dialog.h"
#include "platform/inet/inet.h"
#include "platform/process/process.h"
#include "tests/support/headless.h"
#include "tests/support/temp_dir.h"
#include "tests/support/update_server.h"
#include "updater/lib/update_files.h"
#include "updater/lib/update_state.h"
#include "updater/lib/update_utility.h"

namespace fs = std::filesystem;

namespace {

const char kAdvice[] =
    "\nIf you have problems connecting to the game server,\nyou may need to manually update your client software.";
const uint32_t kOldTime = 1000;

// Bytes that do not compress away, so transfers take several blocks.
std::string Noise(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = static_cast<char>(seed >> 16);
    }
    return s;
}

class UpdateTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        ResetUpdaterState();
        installDir = outer.File("install");
        fs::create_directories(installDir);
        previousDir = fs::current_path().string();
        ASSERT_EQ(::chdir(installDir.c_str()), 0);
        platform::SetDialogOutputSink([this](const char* line) { printed.emplace_back(line); });
        platform::SetProgramStartHandler([this](const std::string& path, const std::vector<std::string>& args, bool) {
            std::string s = path;
            for (const std::string& a : args)
                s += " " + a;
            starts.push_back(s);
            return true;
        });
        Prepare();
    }

    void TearDown() override {
        ResetUpdaterState();
        platform::SetProgramStartHandler(nullptr);
        platform::SetDialogOutputSink(nullptr);
        platform::SetInternetUnavailable(false);
        if (sourceHandle)
            platform::RemoveMessageSource(sourceHandle);
        (void)::chdir(previousDir.c_str());
        HeadlessTest::TearDown();
    }

    // The installation and servers every test starts from: the utility itself up to date, a
    // level in mixed-case directories, and the product server with nothing new.
    void Prepare() {
        Install("update.dat", servers.UpdateDat(), kOldTime);
        Install("spell", kSpell, kOldTime);
        ::chmod(Path("spell").c_str(), 0755);
        Install("Data/Maps/Level1.dat", "old level", kOldTime);
        servers.ServeServerList();
        servers.ServeFiles("patcher", {{"spell", kSpell, kOldTime}});
        servers.ServeFiles("product", {{"Data/Maps/Level1.dat", "old level", kOldTime}});
    }

    // Runs the update again from the start, as a new process would.
    void Restart() {
        ResetUpdaterState();
        MSG msg;  // the quit message of the dialog just destroyed
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        messageBoxes.clear();
        starts.clear();
        printed.clear();
    }

    int Run() { return RunUpdateDialog(); }

    std::string Path(const std::string& name) const { return installDir + "/" + name; }

    void Install(const std::string& name, const std::string& content, uint32_t time) {
        outer.Write("install/" + name, content);
        utimbuf t{static_cast<time_t>(time), static_cast<time_t>(time)};
        ::utime(Path(name).c_str(), &t);
    }

    std::string Read(const std::string& name) const { return outer.Read("install/" + name); }

    time_t TimeOf(const std::string& name) const {
        struct stat st;
        return ::stat(Path(name).c_str(), &st) == 0 ? st.st_mtime : 0;
    }

    // Every file and directory under the outer directory, relative to it.
    std::set<std::string> Tree() const {
        std::set<std::string> t;
        for (auto& e : fs::recursive_directory_iterator(outer.Path()))
            t.insert(fs::relative(e.path(), outer.Path()).string());
        return t;
    }

    // A message source that acts once, when ready() holds.
    void OnceWhen(std::function<bool()> ready, std::function<void()> act) {
        auto done = std::make_shared<bool>(false);
        sourceHandle = platform::AddMessageSource([ready, act, done] {
            if (!*done && ready()) {
                *done = true;
                act();
            }
        });
    }

    int FileRequests(const std::string& server) const {
        int n = 0;
        for (const HttpTestServer::Request& r : http.Requests())
            n += r.path.rfind("/" + server + "/", 0) == 0 && r.path != "/" + server + "/zandfix.dat";
        return n;
    }

    static constexpr const char* kSpell = "#!/bin/sh\n# the utility\n";

    HttpTestServer http;
    UpdateServers servers{http};
    TempDir outer;
    std::string installDir;
    std::string previousDir;
    std::vector<std::string> printed;
    std::vector<std::string> starts;
    int sourceHandle = 0;
};

TEST_F(UpdateTest, AFullUpdateFetchesWhatChangedAndStartsTheClient) {
    std::string level = Noise(5000, 1) + std::string(3000, 'L');
    std::string sound = Noise(3000, 2);
    servers.ServeFiles("product", {
                                      {"Data/Maps/Level1.dat", level, 946684800},
                                      {"same.txt", "unchanged", 5000},
                                      {"Sounds/New/Ding.WAV", sound, 946684900},
                                      {"readme.txt", "hello", 946685000},
                                      {"News #1 (100%).txt", "escaped", 946685100},
                                  });
    Install("same.txt", "unchanged", 5000);
    uint64_t startMs = GetTickCount();

    EXPECT_EQ(Run(), 0);

    EXPECT_TRUE(messageBoxes.empty()) << messageBoxes.front();
    EXPECT_EQ(starts, (std::vector<std::string>{"game.dll game.dll"}));
    // Replaced in its existing directories, whatever their case; new ones made in lower case.
    EXPECT_EQ(Read("Data/Maps/Level1.dat"), level);
    EXPECT_EQ(TimeOf("Data/Maps/Level1.dat"), 946684800);
    EXPECT_EQ(Read("sounds/new/ding.wav"), sound);
    EXPECT_EQ(TimeOf("sounds/new/ding.wav"), 946684900);
    EXPECT_EQ(Read("readme.txt"), "hello");
    EXPECT_EQ(TimeOf("readme.txt"), 946685000);
    EXPECT_EQ(Read("news #1 (100%).txt"), "escaped");
    EXPECT_EQ(http.RequestCount("/product/news%20%231%20(100%25).txt"), 1);
    EXPECT_EQ(http.RequestCount("/product/same.txt"), 0);
    EXPECT_EQ(http.RequestCount("/product/data/maps/level1.dat"), 1);
    EXPECT_EQ(FileRequests("patcher"), 0);
    EXPECT_EQ(Tree(), (std::set<std::string>{"install", "install/update.dat", "install/spell", "install/Data",
                                             "install/Data/Maps", "install/Data/Maps/Level1.dat", "install/same.txt",
                                             "install/sounds", "install/sounds/new", "install/sounds/new/ding.wav",
                                             "install/readme.txt", "install/news #1 (100%).txt"}));
    // The server list's 100 ms and the 500 ms before the client's start.
    EXPECT_GE(GetTickCount() - startMs, 600u);
    for (const HttpTestServer::Request& r : http.Requests())
        EXPECT_EQ(r.userAgent, "Zandorf Patch Utility");

    char text[256];
    GetDlgItemText(UpdateDialogWindow, IDC_STATUS_LINE, text, sizeof text);
    EXPECT_EQ(printed.front(), "[Zandorf Update] v. 1.00");
    EXPECT_NE(std::find(printed.begin(), printed.end(), "[Zandorf Update] Receiving update file: level1.dat"),
              printed.end());
    EXPECT_NE(std::find(printed.begin(), printed.end(), "[Zandorf Update] Receiving update file: ding.wav"),
              printed.end());
    EXPECT_EQ(std::count(printed.begin(), printed.end(), "[Zandorf Update] 0%"), 0);
    EXPECT_EQ(std::count(printed.begin(), printed.end(), "[Zandorf Update] 100%"), 1);

    // A second run finds everything in place, mixed-case names included.
    Restart();
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(FileRequests("product"), 4);  // the first run's four and no more
    EXPECT_EQ(starts, (std::vector<std::string>{"game.dll game.dll"}));
}

TEST_F(UpdateTest, APatcherPassThatReplacedFilesEndsWithTheUpdatedBox) {
    servers.ServeFiles("patcher", {{"spell", "#!/bin/sh\n# the new utility\n", 946684800}});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(messageBoxes, (std::vector<std::string>{
                                "Zandorf Patch Message|The Zandorf Patch Utility has been updated.\nPlease close this "
                                "message box and run your\nprogram again."}));
    EXPECT_TRUE(starts.empty());
    EXPECT_EQ(Read("spell"), "#!/bin/sh\n# the new utility\n");
    struct stat st;
    ASSERT_EQ(::stat(Path("spell").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_EQ(http.RequestCount("/product/zandfix.dat"), 0);
}

TEST_F(UpdateTest, EachFailingStepHasItsTextAndTheClientStillStarts) {
    struct Case {
        const char* text;
        std::function<void()> breakIt;
    };
    const Case cases[] = {
        {"Cannot connect to update server.", [this] { ::unlink(Path("update.dat").c_str()); }},
        // A header not exactly "Zandorf Patch" fails even before a good server.
        {"Cannot connect to update server.",
         [this] { Install("update.dat", "Zandorf patch" + servers.UpdateDat().substr(13), 1); }},
        {"Cannot connect to update server.", [this] { Install("update.dat", "Zandorf Patch\n\n", 1); }},
        {"Cannot connect to update server.", [this] { http.Remove("/"); }},
        {"Cannot connect to update server.",
         [this] { http.SetBody("/", "Zandorf Patch\n" + servers.Name("patcher") + "\n\n"); }},
        {"Cannot connect to update server.",
         [this] {
             http.SetBody("/", "Zandorf patch\n" + servers.Name("patcher") + "\n" + servers.Name("product") + "\n");
         }},
        {"Cannot connect to patcher update server.", [this] { http.Remove("/patcher/zandfix.dat"); }},
        {"Cannot parse patcher update file.",
         [this] { http.SetBody("/patcher/zandfix.dat", "Zandorf Patch\n0\n"); }},
        {"Cannot update patch utility.",
         [this] {
             servers.ServeFiles("patcher", {{"spell", "new", 2}});
             http.Remove("/patcher/spell");
         }},
        {"Cannot connect to product update server.", [this] { http.Remove("/product/zandfix.dat"); }},
        {"Cannot parse product update file.",
         [this] { http.SetBody("/product/zandfix.dat", "Zandorf Patch\n2\n1,1,0,1,a\n"); }},
        {"Could not complete product update.",
         [this] {
             servers.ServeFiles("product", {{"news.txt", "news", 2}});
             http.Remove("/product/news.txt");
         }},
    };
    for (const Case& c : cases) {
        Restart();
        Prepare();
        c.breakIt();
        EXPECT_EQ(Run(), 0);
        EXPECT_EQ(messageBoxes, (std::vector<std::string>{std::string("Error Message|") + c.text + kAdvice})) << c.text;
        EXPECT_EQ(starts, (std::vector<std::string>{"game.dll game.dll"})) << c.text;
        EXPECT_FALSE(outer.Exists("install/zandfix.dat")) << c.text;
    }
}

TEST_F(UpdateTest, WithoutInternetServicesTheClientIsNotStarted) {
    platform::SetInternetUnavailable(true);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(messageBoxes, (std::vector<std::string>{"Error Message|Cannot start Internet Services."}));
    EXPECT_TRUE(starts.empty());
    EXPECT_TRUE(http.Requests().empty());
}

TEST_F(UpdateTest, AHostileServerNeitherWritesOutsideNorDamagesTheInstallation) {
    const std::string level = Noise(4000, 3);
    const std::string packed = Deflate(level);
    const uint32_t size = static_cast<uint32_t>(level.size());
    const uint32_t psize = static_cast<uint32_t>(packed.size());
    const char* parse = "Cannot parse product update file.";
    const char* complete = "Could not complete product update.";

    struct Case {
        const char* what;
        std::string line;  // the list's one entry
        HttpTestServer::Response body;
        const char* text;
        std::string path = "/product/data/maps/level1.dat";  // where the body is served
    };
    auto body = [](const std::string& b, long long announced = HttpTestServer::kBodyLength) {
        HttpTestServer::Response r;
        r.body = b;
        r.announcedLength = announced;
        return r;
    };
    auto missing = [] {
        HttpTestServer::Response r;
        r.status = 404;
        return r;
    };
    // The packed file with its two header bytes set (the header's own check made right) or its
    // last byte, the end of the check value, changed.
    auto withHeader = [&](uint8_t cmf, uint8_t flags) {
        std::string p = packed;
        flags = static_cast<uint8_t>(flags & 0xE0);
        flags = static_cast<uint8_t>(flags + (31 - (cmf << 8 | flags) % 31) % 31);
        p[0] = static_cast<char>(cmf);
        p[1] = static_cast<char>(flags);
        return p;
    };
    std::string badCheck = packed;
    badCheck.back() = static_cast<char>(badCheck.back() ^ 1);
    std::string badHeaderCheck = packed;
    badHeaderCheck[1] = static_cast<char>(badHeaderCheck[1] ^ 1);
    const Case cases[] = {
        {"traversal", EntryLine(size, psize, 1, "../outside.txt"), body(packed), parse},
        {"deep traversal", EntryLine(size, psize, 1, "Data\\..\\..\\outside.txt"), body(packed), parse},
        {"absolute", EntryLine(size, psize, 1, "/tmp/quorrin-absolute.txt"), body(packed), parse},
        {"drive letter", EntryLine(size, psize, 1, "C:\\outside.txt"), body(packed), parse},
        {"oversized", EntryLine(0x7FFFFFFF, psize, 1, "Data/Maps/Level1.dat"), body(packed), parse},
        {"oversized packed", EntryLine(size, 0xFFFFFFFF, 1, "Data/Maps/Level1.dat"), body(packed), parse},
        {"over-long line", EntryLine(size, psize, 1, "Data/Maps/Level1.dat" + std::string(600, ' ')), body(packed),
         parse},
        {"missing fields", "1a4,2", body(packed), parse},
        {"body shorter than packed", EntryLine(size, psize + 10, 1, "Data/Maps/Level1.dat"), body(packed), complete},
        {"body longer than packed", EntryLine(size, psize - 10, 1, "Data/Maps/Level1.dat"), body(packed), complete},
        {"inflates short", EntryLine(size + 1, psize, 1, "Data/Maps/Level1.dat"), body(packed), complete},
        {"inflates long", EntryLine(size - 1, psize, 1, "Data/Maps/Level1.dat"), body(packed), complete},
        {"not compressed", EntryLine(size, psize, 1, "Data/Maps/Level1.dat"), body(std::string(psize, 'x')),
         complete},
        {"404", EntryLine(size, psize, 1, "Data/Maps/Level1.dat"), missing(), complete},
        {"connection breaks", EntryLine(size, psize, 1, "Data/Maps/Level1.dat"), body(packed.substr(0, 1500), psize),
         complete},
        {"no check value at the end", EntryLine(size, psize - 4, 1, "Data/Maps/Level1.dat"),
         body(packed.substr(0, psize - 4)), complete},
        {"check value one off", EntryLine(size, psize, 1, "Data/Maps/Level1.dat"), body(badCheck), complete},
        {"header's own check broken", EntryLine(size, psize, 1, "Data/Maps/Level1.dat"), body(badHeaderCheck),
         complete},
        {"a preset dictionary asked for", EntryLine(size, psize, 1, "Data/Maps/Level1.dat"),
         body(withHeader(0x78, 0x20)), complete},
        {"a window of 64 KiB", EntryLine(size, psize, 1, "Data/Maps/Level1.dat"), body(withHeader(0x88, 0)), complete},
        {"not deflate", EntryLine(size, psize, 1, "Data/Maps/Level1.dat"), body(withHeader(0x79, 0)), complete},
        // The directories made for a file that never comes go again.
        {"not compressed, new directories", EntryLine(size, psize, 1, "New/Deep/Level.dat"),
         body(std::string(psize, 'x')), complete, "/product/new/deep/level.dat"},
        {"inflates long, new directories", EntryLine(size - 1, psize, 1, "New/Deep/Level.dat"), body(packed), complete,
         "/product/new/deep/level.dat"},
        {"breaks, new directory", EntryLine(size, psize, 1, "Data/New/Level.dat"), body(packed.substr(0, 1500), psize),
         complete, "/product/data/new/level.dat"},
    };
    const std::set<std::string> tree = Tree();
    for (const Case& c : cases) {
        Restart();
        http.SetBody("/product/zandfix.dat", FileListText({c.line}));
        http.Set(c.path, c.body);
        EXPECT_EQ(Run(), 0) << c.what;
        EXPECT_EQ(messageBoxes, (std::vector<std::string>{std::string("Error Message|") + c.text + kAdvice})) << c.what;
        EXPECT_EQ(starts.size(), 1u) << c.what;
        EXPECT_EQ(Read("Data/Maps/Level1.dat"), "old level") << c.what;
        EXPECT_EQ(TimeOf("Data/Maps/Level1.dat"), kOldTime) << c.what;
        EXPECT_EQ(Tree(), tree) << c.what;
    }
    EXPECT_FALSE(fs::exists("/tmp/quorrin-absolute.txt"));
}

// A file much larger than any buffer on the way, partly compressible so one block of it inflates to
// many; a new file that starts as a script can be run. Files whose last write holds a single byte
// (one of a megabyte and one, one of one byte) arrive whole too.
TEST_F(UpdateTest, ALargeFileArrivesWholeAndANewScriptCanBeRun) {
    const std::string big = "#!/bin/sh\n" + Noise(3 << 20, 6) + std::string(2 << 20, 'z') + Noise(1000, 7);
    const std::string edge = Noise((1 << 20) + 1, 9);
    servers.ServeFiles("product", {{"Data/Maps/Level1.dat", "old level", kOldTime},
                                   {"Tools/Big.sh", big, 946684800},
                                   {"Tools/Edge.bin", edge, 946684800},
                                   {"Tools/One.txt", "1", 946684800}});
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(messageBoxes.empty()) << messageBoxes.front();
    EXPECT_TRUE(Read("tools/big.sh") == big);
    EXPECT_TRUE(Read("tools/edge.bin") == edge);
    EXPECT_EQ(Read("tools/one.txt"), "1");
    EXPECT_EQ(TimeOf("tools/big.sh"), 946684800);
    struct stat st;
    ASSERT_EQ(::stat(Path("tools/big.sh").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & 0100);
    EXPECT_EQ(Tree().count("install/tools/big.sh"), 1u);
    EXPECT_EQ(Tree().size(), 10u) << "no temporary file left";
}

// What a killed run's note names goes at the next start only when it is a part file of ours:
// a plain file under the updater's own kind of name, inside the installation. The note goes in
// every case.
TEST_F(UpdateTest, AStalePartFileIsRemovedOnlyWhenItIsOurs) {
    const struct {
        const char* what;
        std::string noted;
        std::string file;  // made before, under the outer directory
        bool removed;
    } cases[] = {
        {"ours", "data/.spell-0az9k2.tmp", "install/data/.spell-0az9k2.tmp", true},
        {"ours, at the top", ".spell-abcdef.tmp", "install/.spell-abcdef.tmp", true},
        {"outside the installation", "../.spell-abcdef.tmp", ".spell-abcdef.tmp", false},
        {"absolute", outer.File(".spell-abcdef.tmp"), ".spell-abcdef.tmp", false},
        {"another name", "data/notes.tmp", "install/data/notes.tmp", false},
        {"capitals", "data/.spell-ABCDEF.tmp", "install/data/.spell-ABCDEF.tmp", false},
        {"one letter short", "data/.spell-abcde.tmp", "install/data/.spell-abcde.tmp", false},
        {"another ending", "data/.spell-abcdef.dat", "install/data/.spell-abcdef.dat", false},
        {"a directory (last: it stays)", "data/.spell-abcdef.tmp", "install/data/.spell-abcdef.tmp/inside",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        outer.Write(c.file, "x");
        Install(kPartNoteFileName, c.noted + "\n", kOldTime);
        RemoveStalePartFile();
        EXPECT_NE(outer.Exists(c.file), c.removed);
        EXPECT_FALSE(fs::exists(Path(kPartNoteFileName)));
        fs::remove(outer.File(c.file));
    }
}

// The disk refuses the write part way (a file size limit stands in for a full disk): the
// installed file stays and nothing is left beside it.
TEST_F(UpdateTest, AFailedWriteLeavesTheInstalledFileAndNothingBesideIt) {
    const std::string big = Noise(3 << 20, 8);
    servers.ServeFiles("product", {{"Data/Maps/Level1.dat", big, 946684800}});
    FileListEntry e{};
    std::strcpy(e.name, "data/maps/level1.dat");
    e.size = static_cast<uint32_t>(big.size());
    e.packedSize = static_cast<uint32_t>(Deflate(big).size());
    e.time = 946684800;
    ASSERT_TRUE(OpenInternetSession());
    const std::set<std::string> tree = Tree();
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit small{1 << 20, old.rlim_max};
    ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string url = "http://" + servers.Name("product") + "/data/maps/level1.dat";
    const bool ok = DownloadAndInflateFile(url.c_str(), "Data/Maps/Level1.dat", e, nullptr);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Read("Data/Maps/Level1.dat"), "old level");
    EXPECT_EQ(Tree(), tree);
}

class CancelTest : public UpdateTest,
                   public ::testing::WithParamInterface<const char*> {};

TEST_P(CancelTest, CancelDuringASlowTransferEndsSilently) {
    std::string level = Noise(20000, 4);
    servers.ServeFiles("product", {{"Data/Maps/Level1.dat", level, 946684800}});
    HttpTestServer::Response slow;
    slow.body = Deflate(level);
    slow.stallAfter = 3000;
    http.Set("/product/data/maps/level1.dat", slow);
    std::string how = GetParam();
    OnceWhen([this] { return http.Stalled(); },
             [how] {
                 if (how == "escape") {
                     platform::InjectKey(0x01, true);
                     platform::InjectKey(0x01, false);
                 } else {
                     RECT b;
                     platform::GetDialogItemRect(UpdateDialogWindow, IDCANCEL, &b);
                     int x = (b.left + b.right) / 2, y = (b.top + b.bottom) / 2;
                     platform::InjectMouseButton(platform::MouseButton::Left, true, x, y);
                     platform::InjectMouseButton(platform::MouseButton::Left, false, x, y);
                 }
             });
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(CancelRequested);
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_TRUE(starts.empty());
    EXPECT_EQ(Read("Data/Maps/Level1.dat"), "old level");
    EXPECT_EQ(TimeOf("Data/Maps/Level1.dat"), kOldTime);
    int files = 0;
    for (auto& e : fs::directory_iterator(Path("Data/Maps")))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);  // no temporary file left beside it
}

INSTANTIATE_TEST_SUITE_P(ByKeyAndButton, CancelTest, ::testing::Values("escape", "click"));

// Data that never stops coming still leaves room for the dialog: one message between two full
// reads, so Escape pressed once the first kilobyte is in stops an 8 MiB transfer part way.
TEST_F(UpdateTest, TheDialogIsServedWhileAFastTransferRuns) {
    const std::string big = Noise(8 << 20, 9);
    servers.ServeFiles("product", {{"Data/Maps/Level1.dat", big, 946684800}});
    int64_t receivedAtEscape = -1;
    OnceWhen([] { return CurrentProgress.received > 0; },
             [&receivedAtEscape] {
                 receivedAtEscape = CurrentProgress.received;
                 platform::InjectKey(0x01, true);
                 platform::InjectKey(0x01, false);
             });
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(CancelRequested);
    EXPECT_GT(receivedAtEscape, 0);
    EXPECT_LT(CurrentProgress.received, static_cast<int64_t>(big.size()) / 2);
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_TRUE(starts.empty());
    EXPECT_EQ(Read("Data/Maps/Level1.dat"), "old level");
}

TEST_F(UpdateTest, AQuitDuringATransferEndsTheProcessWithoutTheClient) {
    for (UINT message : {WM_CLOSE, WM_COMMAND}) {
        Restart();
        HttpTestServer::Response slow;
        slow.body = std::string(5000, 'z');
        slow.stallAfter = 2048;
        http.Set("/product/zandfix.dat", slow);
        if (sourceHandle)
            platform::RemoveMessageSource(sourceHandle);
        OnceWhen([this] { return http.Stalled(); },
                 [message] { PostMessage(UpdateDialogWindow, message, message == WM_COMMAND ? IDOK : 0, 0); });
        int code = -1;
        try {
            Run();
        } catch (const ProcessExit& e) {
            code = e.code;
        }
        EXPECT_EQ(code, 0) << message;
        EXPECT_TRUE(starts.empty());
        EXPECT_TRUE(messageBoxes.empty());
        EXPECT_FALSE(outer.Exists("install/zandfix.dat"));
        http.ReleaseStalls();
    }
}

TEST_F(UpdateTest, ACommandOtherThanCancelEndsAtOnce) {
    OnceWhen([] { return UpdateDialogWindow != nullptr; },
             [] { PostMessage(UpdateDialogWindow, WM_COMMAND, IDOK, 0); });
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(starts.empty());
    EXPECT_TRUE(messageBoxes.empty());
}

TEST_F(UpdateTest, ProgressShowsFromOnePercentWithoutDividingByZero) {
    UpdateDialogWindow = CreateDialogIndirectParam(nullptr, &UpdateDialog, nullptr, UpdateDlgProc, 0);
    InitDialogTexts();
    auto detail = [] {
        char text[128];
        GetDlgItemText(UpdateDialogWindow, IDC_DETAIL_LINE, text, sizeof text);
        return std::string(text);
    };
    auto pos = [] { return SendDlgItemMessage(UpdateDialogWindow, IDC_PROGRESS, PBM_GETPOS, 0, 0); };
    DownloadProgress p{10240, 50, timeGetTime()};
    ShowDownloadProgress(p);  // under 1 %: nothing yet
    EXPECT_EQ(pos(), 0);
    EXPECT_EQ(detail(), "Please wait.");
    p.received = 1024;
    ShowDownloadProgress(p);  // no time has passed: the rate is 0
    EXPECT_EQ(pos(), 10);
    EXPECT_EQ(detail(), "Received: 1k of 10k (0 kps)");
    AdvanceAndPump(1000);
    p.received = 5120;
    ShowDownloadProgress(p);
    EXPECT_EQ(pos(), 50);
    EXPECT_EQ(detail(), "Received: 5k of 10k (5 kps)");
    p.received = 20000;  // more than announced
    ShowDownloadProgress(p);
    EXPECT_EQ(pos(), 100);
    LastPercentShown = 0;
    DownloadProgress empty{0, 10, timeGetTime()};
    ShowDownloadProgress(empty);  // nothing to receive
    EXPECT_EQ(pos(), 100);
    EXPECT_EQ(detail(), "Received: 0k of 0k (0 kps)");
}

TEST_F(UpdateTest, MakeDirectoriesCreatesEveryLevel) {
    EXPECT_TRUE(MakeDirectories("a/b/c/file.txt"));
    EXPECT_TRUE(DirectoryExists("a/b/c"));
    EXPECT_FALSE(outer.Exists("install/a/b/c/file.txt"));
    Install("blocker", "file", 1);
    EXPECT_FALSE(MakeDirectories("blocker/sub/file.txt"));
}

}  // namespace

namespace {

TEST_F(UpdateTest, OnlyTheNameSpellCopiesAndRestartsAndOnlyFromAWholeCopy) {
    std::vector<std::string> replaced;
    platform::SetProgramStartHandler([&](const std::string& path, const std::vector<std::string>& args, bool replace) {
        if (replace)
            replaced.push_back(path + " " + args.at(0));
        return true;
    });
    std::string bin = outer.File("bin");
    fs::create_directories(bin);
    for (const char* name : {"spell", "SPELL.EXE", "Spell.exe"}) {
        replaced.clear();
        fs::remove(bin + "/patch.bin");
        outer.Write(std::string("bin/") + name, "program bytes");
        int code = -1;
        try {
            PrepareStartAs((bin + "/" + name).c_str());
        } catch (const ProcessExit& e) {
            code = e.code;
        }
        EXPECT_EQ(code, 0) << name;
        EXPECT_EQ(replaced, (std::vector<std::string>{bin + "/patch.bin patch.bin"})) << name;
        EXPECT_EQ(outer.Read("bin/patch.bin"), "program bytes") << name;
        fs::remove(bin + "/" + std::string(name));
    }
    // Under another name, or when the copy cannot be made, it carries on as itself in its own
    // directory, without the stale list file.
    replaced.clear();
    for (std::string name : {"patch.bin", "updater", "spell"}) {
        outer.Write("bin/zandfix.dat", "stale");
        if (name == "spell")
            fs::remove(bin + "/spell");  // named spell but its file is gone: no copy to start
        else
            outer.Write("bin/" + name, "bytes");
        ASSERT_EQ(::chdir(installDir.c_str()), 0);
        PrepareStartAs((bin + "/" + name).c_str());
        EXPECT_EQ(fs::current_path().string(), fs::canonical(bin).string()) << name;
        EXPECT_FALSE(outer.Exists("bin/zandfix.dat")) << name;
    }
    EXPECT_TRUE(replaced.empty());
    EXPECT_EQ(outer.Read("bin/patch.bin"), "bytes");  // the copy running as patch.bin makes none
}

}  // namespace
