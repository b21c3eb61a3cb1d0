// Message dispatch: the cost of one message through the queue and the window procedure, which
// every key, timer and socket event pays.

#include <benchmark/benchmark.h>

#include "platform/win/platform.h"

namespace {

int g_handled = 0;

LRESULT CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER)
        ++g_handled;
    return DefWindowProc(hwnd, message, wParam, lParam);
}

void BM_PostPeekDispatch(benchmark::State& state) {
    platform::ResetWindowing();
    platform::InitWindowing(platform::Backend::Headless);
    WNDCLASS wc{};
    wc.lpfnWndProc = CountingProc;
    wc.lpszClassName = "Bench";
    RegisterClass(&wc);
    HWND w = CreateWindowEx(0, "Bench", "b", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    const int batch = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i)
            PostMessage(w, WM_USER + 2, static_cast<WPARAM>(i), 0);
        MSG m;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&m);
    }
    state.SetItemsProcessed(state.iterations() * batch);
    platform::ResetWindowing();
}
BENCHMARK(BM_PostPeekDispatch)->Arg(1)->Arg(64);

}  // namespace
