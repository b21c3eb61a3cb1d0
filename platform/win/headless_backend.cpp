#include "platform/win/win_internal.h"

namespace platform {
namespace {

// No window and no real input: tests and scripts inject messages, waits only pass time.
class HeadlessBackend final : public WindowBackend {
public:
    bool IsHeadless() const override { return true; }
    void OnWindowCreated(HWND, const char*, int, int, bool) override {}
    void OnWindowDestroyed(HWND) override {}
    void OnWindowShown(HWND, bool) override {}
    void OnWindowTitle(HWND, const char*) override {}
    void PollEvents() override {}
    bool WaitEvents(uint32_t timeoutMs) override {
        SleepMillis(timeoutMs);
        return false;
    }
    bool PointerPosition(int*, int*) override { return false; }
    void WarpCursor(int, int) override {}
    void SetCursorVisible(bool) override {}
    void SetCursorClip(const RECT*) override {}
    int ShowMessageBox(const char*, const char*, UINT) override { return -1; }
};

}  // namespace

std::unique_ptr<WindowBackend> MakeHeadlessBackend() {
    return std::make_unique<HeadlessBackend>();
}

}  // namespace platform
