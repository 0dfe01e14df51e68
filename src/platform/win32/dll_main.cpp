#include "platform/win32/win32.h"

// Does nothing on purpose: all start-up waits for the host's call of the load
// entry, and there is no unload step.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
