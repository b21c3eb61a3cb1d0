#pragma once
// Waits for a non-empty file that another process writes (a program under test, or one it
// started). The wait ends as soon as the file is there; seconds only bounds a failure.

#include <string>

bool WaitForFile(const std::string& path, int seconds);
