// The spell program itself, run headless in an installation against a loopback update server:
// the self-copy and restart as patch.bin, the update, and the start of the client. spell starts
// the client and exits at once; the test adopts the client and sees it exit before its directory
// goes away.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_processes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/update_server.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

const char kStandInClient[] = "#!/bin/sh\necho \"$0 $#\" > client-started.txt\n";

class SpellProgramTest : public ::testing::Test {
protected:
    void SetUp() override { AdoptOrphans(); }

    // Nothing a test started may outlive it.
    void TearDown() override {
        int killed = 0;
        EndChildren(0, &killed);
        EXPECT_EQ(killed, 0) << "a process was still running";
    }

    // The client that spell started (and left) exits by itself, with 0; `clients` is how many
    // runs started one.
    void ExpectClientsExit(size_t clients) {
        int killed = 0;
        std::vector<EndedProcess> ended = EndChildren(60, &killed);
        EXPECT_EQ(killed, 0) << "a client was still running after a minute";
        EXPECT_EQ(ended.size(), clients);
        for (const EndedProcess& p : ended)
            EXPECT_TRUE(WIFEXITED(p.status) && WEXITSTATUS(p.status) == 0) << "status " << p.status;
    }

    // The built utility under the given name, a stand-in client and update.dat.
    void InstallSpell(const std::string& name) {
        fs::copy_file(SPELL_PROGRAM, dir->File(name), fs::copy_options::overwrite_existing);
        ::chmod(dir->File(name).c_str(), 0755);
        if (!dir->Exists("game.dll")) {
            dir->Write("game.dll", kStandInClient);
            ::chmod(dir->File("game.dll").c_str(), 0755);
        }
        dir->Write("update.dat", servers.UpdateDat());
        servers.ServeServerList();
    }

    // The patcher list naming a file as it is installed, so that it is not fetched.
    void ListUnchanged(const std::string& server, const std::string& name) {
        struct stat st;
        ASSERT_EQ(::stat(dir->File(name).c_str(), &st), 0);
        http.SetBody("/" + server + "/zandfix.dat",
                     FileListText({EntryLine(static_cast<uint32_t>(st.st_size), 1, static_cast<uint32_t>(st.st_mtime),
                                             name)}));
    }

    // Runs the program from elsewhere, headless; its exit code, with its output in spell.out.
    int RunSpell(const std::string& name, const std::string& environment = "") {
        std::string cmd = "cd / && GAME_HEADLESS=1 " + environment + " timeout 120 '" + dir->File(name) + "' >'" +
                          dir->File("spell.out") + "' 2>&1";
        int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    HttpTestServer http;
    UpdateServers servers{http};
    std::unique_ptr<TempDir> dir = std::make_unique<TempDir>();
};

TEST_F(SpellProgramTest, StartedAsSpellItRunsFromACopyUpdatesAndStartsTheClient) {
    for (const char* name : {"spell", "SPELL.EXE", "Spell.Exe"}) {
        dir = std::make_unique<TempDir>();
        InstallSpell(name);
        ListUnchanged("patcher", name);
        servers.ServeFiles("product", {{"News/Today.txt", "the news", 946684800}});
        EXPECT_EQ(RunSpell(name), 0) << dir->Read("spell.out");
        EXPECT_TRUE(dir->Exists("patch.bin")) << name;
        EXPECT_EQ(dir->Read("patch.bin"), dir->Read(name)) << name;
        EXPECT_EQ(dir->Read("news/today.txt"), "the news") << name;
        EXPECT_FALSE(dir->Exists("zandfix.dat"));
        ExpectClientsExit(1);
        ASSERT_TRUE(dir->Exists("client-started.txt")) << dir->Read("spell.out");
        EXPECT_EQ(dir->Read("client-started.txt"), "game.dll 0\n");
        EXPECT_NE(dir->Read("spell.out").find("[Zandorf Update] Receiving update file: today.txt"), std::string::npos);
    }
}

TEST_F(SpellProgramTest, UnderAnotherNameItMakesNoCopy) {
    InstallSpell("updater");
    ListUnchanged("patcher", "updater");
    servers.ServeFiles("product", {{"news.txt", "more news", 946684800}});
    EXPECT_EQ(RunSpell("updater"), 0) << dir->Read("spell.out");
    EXPECT_FALSE(dir->Exists("patch.bin"));
    EXPECT_EQ(dir->Read("news.txt"), "more news");
    ExpectClientsExit(1);
    EXPECT_TRUE(dir->Exists("client-started.txt"));
}

TEST_F(SpellProgramTest, ThePatcherPassReplacesTheRunningUtility) {
    InstallSpell("spell");
    const std::string next = "#!/bin/sh\necho the next utility\n";
    servers.ServeFiles("patcher", {{"spell", next, 946684800}});
    servers.ServeFiles("product", {{"news.txt", "never fetched", 946684800}});
    EXPECT_EQ(RunSpell("spell"), 0) << dir->Read("spell.out");
    EXPECT_EQ(dir->Read("spell"), next);
    struct stat st;
    ASSERT_EQ(::stat(dir->File("spell").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_NE(dir->Read("spell.out").find("The Zandorf Patch Utility has been updated."), std::string::npos);
    EXPECT_EQ(http.RequestCount("/product/zandfix.dat"), 0);
    EXPECT_FALSE(dir->Exists("news.txt"));
    ExpectClientsExit(0);
    EXPECT_FALSE(dir->Exists("client-started.txt"));
}

// A run killed while a file arrives leaves its part file; the next run removes that one and
// nothing else, whatever the names of the others beside it.
TEST_F(SpellProgramTest, TheNextRunRemovesWhatAKilledTransferLeft) {
    InstallSpell("updater");
    ListUnchanged("patcher", "updater");
    const std::set<std::string> foreign = {".tmpAb12Cd", ".spell-abcdef.tmp", "notes.tmp"};
    for (const std::string& name : foreign)
        dir->Write("data/" + name, "not the updater's");
    std::string big(600000, '\0');
    uint32_t x = 3;
    for (char& c : big) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 23);
    }
    servers.ServeFiles("product", {{"Data/Big.dat", big, 946684800}});
    HttpTestServer::Response stalling;
    stalling.body = Deflate(big);
    stalling.stallAfter = 200000;
    http.Set(servers.FilePath("product", "Data/Big.dat"), stalling);

    const std::string program = dir->File("updater");
    char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
    std::vector<std::string> env = {"GAME_HEADLESS=1"};
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    for (int i = 0; i < 600 && !http.Stalled(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(http.Stalled());
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    auto names = [this] {
        std::set<std::string> n;
        for (const auto& e : fs::directory_iterator(dir->File("data")))
            n.insert(e.path().filename().string());
        return n;
    };
    ASSERT_EQ(names().size(), foreign.size() + 1) << "the killed run's part file";

    servers.ServeFiles("product", {{"Data/Big.dat", big, 946684800}});
    EXPECT_EQ(RunSpell("updater"), 0) << dir->Read("spell.out");
    ExpectClientsExit(1);
    std::set<std::string> expected = foreign;
    expected.insert("big.dat");
    EXPECT_EQ(names(), expected);
    EXPECT_TRUE(dir->Read("data/big.dat") == big);
    for (const std::string& name : foreign)
        EXPECT_EQ(dir->Read("data/" + name), "not the updater's");
}

// The sample installation as the build makes it: spell there updates it and starts the real
// client, game.dll, which ends by its input script (a client without its script would run on).
TEST_F(SpellProgramTest, TheSampleInstallationUpdatesAndStartsTheGame) {
    fs::copy(SAMPLE_INSTALL_DIR, dir->Path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    ASSERT_TRUE(dir->Exists("game.dll"));
    EXPECT_EQ(dir->Read("game.dll"), dir->Read("game"));
    EXPECT_EQ(dir->Read("update.dat").rfind("Zandorf Patch\n", 0), 0u);
    dir->Write("update.dat", servers.UpdateDat());
    servers.ServeServerList();
    ListUnchanged("patcher", "spell");
    servers.ServeFiles("product", {{"news.txt", "the sample news", 946684800}});
    // The window's close button does nothing; WM_CLOSE ends the game from any screen.
    dir->Write("input.txt", "100 quit\n");
    EXPECT_EQ(RunSpell("spell", "GAME_INPUT='" + dir->File("input.txt") + "'"), 0) << dir->Read("spell.out");
    EXPECT_EQ(dir->Read("news.txt"), "the sample news");
    ExpectClientsExit(1);
    EXPECT_EQ(dir->Read("error.log").rfind("Log File Started.", 0), 0u);
}

}  // namespace
