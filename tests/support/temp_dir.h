#pragma once
// A fresh directory for one test, removed with everything in it at the end. Enter() makes it the
// working directory until the object goes away.

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& relative) const { return path_ + "/" + relative; }
    void Enter();

    // Helpers for fixtures.
    void Write(const std::string& relative, const std::string& content) const;
    std::string Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

private:
    std::string path_;
    std::string previousDir_;
};
