#pragma once
// Internal to platform/crash.

namespace platform {

// Gathers what a crash report needs that is not safe to ask for inside a signal handler.
void PrepareCrashServices();

// Memory is read with process_vm_readv where the system allows it, else through a pipe; tests
// choose the pipe to check that way too. Returns false when the pipe cannot be made.
bool UseCrashPipeReads(bool usePipe);

}  // namespace platform
