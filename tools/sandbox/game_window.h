// The game's main window, as the sandbox plays it: framed, visible, titled
// "Velmoria", owned and pumped by a thread of its own like a game's UI thread.
#pragma once

#include <functional>

#include "platform/win32/win32.h"

namespace sandbox {

// Posted to the window: its thread stays busy (not pumping) for wParam ms.
inline constexpr UINT kBusyMessage = WM_APP + 1;
// Posted to the window: its thread waits, without pumping, until the event
// whose handle is wParam is set, as a game's window thread may wait for its
// host.
inline constexpr UINT kWaitMessage = WM_APP + 2;

inline constexpr DWORD kGameWindowStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS;
inline constexpr DWORD kGameWindowExStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_APPWINDOW;
inline constexpr RECT kGameWindowRect = {120, 90, 120 + 800, 90 + 600};

struct GameWindow {
    HWND window = nullptr;
    DWORD threadId = 0;
};

// Creates the window on a new thread, runs `onWindowThread` there once the
// window exists (the host calling the plug-in from the game's UI thread),
// then pumps messages for the rest of the process's life. Returns once the
// window exists; window is null when it could not be created.
GameWindow StartGameWindow(std::function<void()> onWindowThread = {});

}  // namespace sandbox
