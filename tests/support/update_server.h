#pragma once
// Update servers on a loopback HTTP server: the server list at "/", and for each named server
// (a path such as "patcher") its file list at "/<server>/zandfix.dat" and each listed file,
// deflated, at "/<server>/<name>" with the name lower-cased and escaped as the updater asks for
// it.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/http_server.h"

// zlib's compress of the bytes.
std::string Deflate(const std::string& data);

struct ServedFile {
    std::string name;     // as listed
    std::string content;  // inflated
    uint32_t time;        // seconds since 1970-01-01 00:00 UTC
};

// One entry line: "size,packed,0,time,name" in hexadecimal.
std::string EntryLine(uint32_t size, uint32_t packed, uint32_t time, const std::string& name);
// A whole file list: the header, the count and the lines.
std::string FileListText(const std::vector<std::string>& lines);

class UpdateServers {
public:
    explicit UpdateServers(HttpTestServer& http) : http_(http) {}

    // The server name of a path on the HTTP server: "127.0.0.1:<port>/<path>".
    std::string Name(const std::string& path) const;
    // update.dat naming the HTTP server's root.
    std::string UpdateDat() const;
    // "/" lists the two servers.
    void ServeServerList(const std::string& patcher = "patcher", const std::string& product = "product");
    // The server's list and its files.
    void ServeFiles(const std::string& server, const std::vector<ServedFile>& files);
    // The HTTP path of a listed file on a server, escaped as a request carries it.
    std::string FilePath(const std::string& server, const std::string& name) const;

private:
    HttpTestServer& http_;
};
