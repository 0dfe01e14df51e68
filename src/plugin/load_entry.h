// The host's side of the boundary and the plug-in's whole start-up.
#pragma once

#include <cstdint>

namespace bw {

// The host's interface record; only its first field is ours to read.
struct HostInterface {
    std::uint32_t hostVersion;
};

// The one host version this plug-in runs under: 0.2.18, packed as
// major.minor.build.sub-build in 8.8.12.4 bits.
inline constexpr std::uint32_t kAcceptedHostVersion = 0x00020120;

inline constexpr const char* kRefusalCaption = "Incompatible TRVX";
inline constexpr const char* kRefusalText = "Velmoria Brackwell requires TRVX 0.2.18.\n.";
inline constexpr std::uint32_t kRefusalBoxType = 0x00000010;  // MB_OK | MB_ICONERROR

// Clear the caption, frame and system-menu bits (WS_OVERLAPPEDWINDOW) and
// the edge bits of the extended style; every other bit is left alone.
inline constexpr std::uint32_t kBorderlessStyleMask = 0xFF30FFFF;
inline constexpr std::uint32_t kBorderlessExStyleMask = 0xFFFDFCFE;
// SWP_SHOWWINDOW | SWP_FRAMECHANGED | SWP_NOZORDER
inline constexpr std::uint32_t kBorderlessMoveFlags = 0x0064;
// How long the start waits for the window's thread to take the changes
// before it goes on without them; they still land once that thread answers.
inline constexpr std::uint32_t kWindowStepWaitMs = 1000;

bool IsAcceptedHost(const HostInterface* host) noexcept;

}  // namespace bw

// Called by the host, once, on a thread of its choosing. True when the
// plug-in has started, false when it refused to run under this host. Starts
// once per game process: a later call, of this copy or another, starts
// nothing and answers whether this copy is the one that runs.
extern "C" bool TRVXPlugin_Load(const bw::HostInterface* host) noexcept;
