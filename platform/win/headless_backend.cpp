#include "platform/win/win_internal.h"

namespace platform {

bool HeadlessBackend::WaitEvents(uint32_t timeoutMs) {
    SleepMillis(timeoutMs);
    return false;
}

std::unique_ptr<WindowBackend> MakeHeadlessBackend() {
    return std::make_unique<HeadlessBackend>();
}

}  // namespace platform
