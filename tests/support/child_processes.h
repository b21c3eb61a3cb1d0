#pragma once
// For tests of programs that start others and exit (spell starting the client): this process
// adopts every process its children leave behind, so a test can see each one exit and end
// whatever is still running before its directory goes away.

#include <sys/types.h>

#include <vector>

struct EndedProcess {
    pid_t pid;
    int status;  // as waitpid gives it
};

// Makes this process the parent of every orphan among its descendants (from then on).
void AdoptOrphans();

// Waits up to `seconds` for every child of this process to exit and reaps them; the ones still
// running then are killed and reaped too, and counted in `killed`.
std::vector<EndedProcess> EndChildren(int seconds, int* killed = nullptr);
