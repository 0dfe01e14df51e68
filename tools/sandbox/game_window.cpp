#include "game_window.h"

#include <cstdio>
#include <memory>

namespace sandbox {
namespace {

constexpr wchar_t kClassName[] = L"BrackwellSandboxGame";

LRESULT CALLBACK GameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kBusyMessage) {
        Sleep(static_cast<DWORD>(wParam));
        return 0;
    }
    if (message == kWaitMessage) {
        WaitForSingleObject(reinterpret_cast<HANDLE>(wParam), INFINITE);
        return 0;
    }
    if (message == WM_PAINT) {  // something to see in pictures of the window
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        DrawTextW(dc, L"Velmoria (sandbox game window)", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct StartRequest {
    std::function<void()> onWindowThread;
    HANDLE created = nullptr;
    GameWindow result;
};

DWORD WINAPI WindowThread(void* parameter) {
    auto* request = static_cast<StartRequest*>(parameter);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = GameWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&windowClass);
    const RECT& r = kGameWindowRect;
    // Wine's desktop process, which every window needs, can be between two
    // lives when a program starts; give it a few seconds to come back.
    HWND window = nullptr;
    for (int attempt = 0; window == nullptr && attempt < 50; ++attempt) {
        if (attempt > 0) Sleep(100);
        window = CreateWindowExW(kGameWindowExStyle, kClassName, L"Velmoria", kGameWindowStyle, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, nullptr, nullptr, windowClass.hInstance, nullptr);
    }
    if (window == nullptr) std::fprintf(stderr, "sandbox: no game window (error %lu)\n", GetLastError());
    std::function<void()> onWindowThread = std::move(request->onWindowThread);
    request->result = {window, GetCurrentThreadId()};
    SetEvent(request->created);  // `request` belongs to the starter from here on
    if (window == nullptr) return 1;
    if (onWindowThread) onWindowThread();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

GameWindow StartGameWindow(std::function<void()> onWindowThread) {
    StartRequest request{std::move(onWindowThread), CreateEventW(nullptr, TRUE, FALSE, nullptr), {}};
    HANDLE thread = CreateThread(nullptr, 0, WindowThread, &request, 0, nullptr);
    if (thread != nullptr) {
        WaitForSingleObject(request.created, INFINITE);
        CloseHandle(thread);
    }
    CloseHandle(request.created);
    return request.result;
}

}  // namespace sandbox
