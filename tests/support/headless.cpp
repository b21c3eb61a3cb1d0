#include "tests/support/headless.h"

void HeadlessTest::SetUp() {
    platform::ResetWindowing();
    platform::InitWindowing(platform::Backend::Headless);
    platform::UseVirtualClock();
    platform::SetExitHandler([](int code) { throw ProcessExit{code}; });
    platform::SetDebugOutputSink([this](const char* text) { debugOutput.emplace_back(text); });
    platform::SetMessageBoxHandler([this](const char* text, const char* caption, UINT type) {
        messageBoxes.push_back(std::string(caption) + "|" + text);
        return (type & 0xF) == MB_YESNO ? IDYES : IDOK;
    });
}

void HeadlessTest::TearDown() {
    platform::SetExitHandler(nullptr);
    platform::SetDebugOutputSink(nullptr);
    platform::SetMessageBoxHandler(nullptr);
    platform::ResetWindowing();
    platform::UseRealClock();
}

int HeadlessTest::Pump() {
    int n = 0;
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessage(&msg);
        ++n;
    }
    return n;
}

void HeadlessTest::AdvanceAndPump(uint64_t ms) {
    platform::AdvanceVirtualClock(ms);
    Pump();
}
