// The game's main window and the refusal message box.
#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace bw::platform {
namespace {

HWND AsWindow(WindowHandle window) { return static_cast<HWND>(window); }
int StyleIndex(StyleKind kind) { return kind == StyleKind::Style ? GWL_STYLE : GWL_EXSTYLE; }

}  // namespace

WindowHandle FindOwnTopLevelWindow(const wchar_t* title) noexcept {
    // Another program may hold a window of the same title above ours: File
    // Explorer names its window after the open folder, and the game's folder
    // is usually named after the game. Such windows are skipped, never
    // restyled: changing them would also mean messages to a program that may
    // be hung. The bound only guards against a z-order that keeps changing
    // under the walk.
    constexpr int kWindowsWalkedMax = 256;
    const DWORD self = GetCurrentProcessId();
    HWND window = nullptr;
    for (int walked = 0; walked < kWindowsWalkedMax; ++walked) {
        window = FindWindowExW(nullptr, window, nullptr, title);
        if (window == nullptr) return nullptr;
        DWORD owner = 0;
        if (GetWindowThreadProcessId(window, &owner) != 0 && owner == self) return window;
    }
    return nullptr;
}

std::uint32_t GetWindowStyle(WindowHandle window, StyleKind kind) noexcept {
    return static_cast<std::uint32_t>(GetWindowLongW(AsWindow(window), StyleIndex(kind)));
}

void SetWindowStyle(WindowHandle window, StyleKind kind, std::uint32_t style) noexcept {
    SetWindowLongW(AsWindow(window), StyleIndex(kind), static_cast<LONG>(style));
}

std::optional<WindowRect> GetWindowRect(WindowHandle window) noexcept {
    RECT rect{};
    if (!::GetWindowRect(AsWindow(window), &rect)) return std::nullopt;
    return WindowRect{rect.left, rect.top, rect.right, rect.bottom};
}

void SetWindowPos(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::uint32_t flags) noexcept {
    ::SetWindowPos(AsWindow(window), nullptr, x, y, width, height, flags);
}

bool IsWindowOfThisThread(WindowHandle window) noexcept {
    return GetWindowThreadProcessId(AsWindow(window), nullptr) == GetCurrentThreadId();
}

bool IsWindowMinimized(WindowHandle window) noexcept { return IsIconic(AsWindow(window)) != FALSE; }

bool MoveRestoredPlacementTo(WindowHandle window, std::int32_t x, std::int32_t y) noexcept {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(AsWindow(window), &placement)) return false;
    // The restored rectangle is in workspace coordinates, which start at the
    // corner of the work area: with the taskbar at the top or the left of the
    // primary monitor, screen (0, 0) lies that far before it.
    POINT origin{x, y};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        origin.x -= monitor.rcWork.left - monitor.rcMonitor.left;
        origin.y -= monitor.rcWork.top - monitor.rcMonitor.top;
    }
    RECT& normal = placement.rcNormalPosition;
    OffsetRect(&normal, origin.x - normal.left, origin.y - normal.top);
    // Stays minimised, without taking the focus from where the player went.
    placement.showCmd = SW_SHOWMINNOACTIVE;
    return SetWindowPlacement(AsWindow(window), &placement) != FALSE;
}

void ShowMessageBox(const char* text, const char* caption, std::uint32_t type) noexcept {
    MessageBoxA(nullptr, text, caption, type);
}

}  // namespace bw::platform
