// update_server: serves directories of files as update servers on loopback, for trying spell
// by hand.
//
//   update_server [--port N] --patcher DIR --product DIR
//
// "/" is the server list naming 127.0.0.1:N/patcher and 127.0.0.1:N/product; each server's
// file list holds every file under its directory with its size and modification time, and each
// file is served deflated. The lists are made at start; the program runs until interrupted.

#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/http_server.h"
#include "tests/support/update_server.h"

namespace fs = std::filesystem;

namespace {

bool CollectFiles(const std::string& root, std::vector<ServedFile>* files) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        std::fprintf(stderr, "update_server: %s is not a directory\n", root.c_str());
        return false;
    }
    for (auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file())
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        struct stat st;
        if (::stat(e.path().c_str(), &st) != 0)
            continue;
        files->push_back({fs::relative(e.path(), root).string(), content.str(), static_cast<uint32_t>(st.st_mtime)});
    }
    if (files->empty() || files->size() > 2500) {
        std::fprintf(stderr, "update_server: %s must hold 1 to 2500 files\n", root.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 8642;
    std::string patcher, product;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--port") == 0)
            port = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--patcher") == 0)
            patcher = argv[i + 1];
        else if (std::strcmp(argv[i], "--product") == 0)
            product = argv[i + 1];
    }
    if (patcher.empty() || product.empty()) {
        std::fprintf(stderr, "usage: update_server [--port N] --patcher DIR --product DIR\n");
        return 2;
    }
    std::vector<ServedFile> patcherFiles, productFiles;
    if (!CollectFiles(patcher, &patcherFiles) || !CollectFiles(product, &productFiles))
        return 1;

    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);  // the server's threads inherit the mask

    HttpTestServer http(port);
    UpdateServers servers(http);
    servers.ServeServerList();
    servers.ServeFiles("patcher", patcherFiles);
    servers.ServeFiles("product", productFiles);
    std::printf("update server at http://%s/ (update.dat: \"Zandorf Patch\" then %s)\n", http.HostPort().c_str(),
                http.HostPort().c_str());
    std::printf("patcher: %zu files, product: %zu files; Ctrl+C ends\n", patcherFiles.size(), productFiles.size());
    std::fflush(stdout);
    int sig = 0;
    sigwait(&stop, &sig);
    for (const HttpTestServer::Request& r : http.Requests())
        std::printf("served %s\n", r.path.c_str());
    return 0;
}
