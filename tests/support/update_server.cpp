#include "tests/support/update_server.h"

#include <zlib.h>

#include <cstdio>
#include <stdexcept>

#include "platform/inet/inet.h"

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    if (compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                 data.size()) != Z_OK)
        throw std::runtime_error("compress failed");
    out.resize(size);
    return out;
}

std::string EntryLine(uint32_t size, uint32_t packed, uint32_t time, const std::string& name) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%x,%x,0,%x,", size, packed, time);
    return numbers + name;
}

std::string FileListText(const std::vector<std::string>& lines) {
    std::string text = "Zandorf Patch\r\n" + std::to_string(lines.size()) + "\r\n";
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string UpdateServers::Name(const std::string& path) const {
    return http_.HostPort() + "/" + path;
}

std::string UpdateServers::UpdateDat() const {
    return "Zandorf Patch\n" + http_.HostPort() + "\n";
}

void UpdateServers::ServeServerList(const std::string& patcher, const std::string& product) {
    http_.SetBody("/", "Zandorf Patch\n" + Name(patcher) + "\n" + Name(product) + "\n");
}

std::string UpdateServers::FilePath(const std::string& server, const std::string& name) const {
    std::string path = name;
    for (char& c : path)
        c = c == '\\' ? '/' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return "/" + server + "/" + platform::EscapeForUrl(path, "%#?");
}

void UpdateServers::ServeFiles(const std::string& server, const std::vector<ServedFile>& files) {
    std::vector<std::string> lines;
    for (const ServedFile& f : files) {
        std::string packed = Deflate(f.content);
        lines.push_back(EntryLine(static_cast<uint32_t>(f.content.size()), static_cast<uint32_t>(packed.size()), f.time,
                                  f.name));
        http_.SetBody(FilePath(server, f.name), packed);
    }
    http_.SetBody("/" + server + "/zandfix.dat", FileListText(lines));
}
