// Another plug-in as a host loads it beside ours: a DLL that exports a
// version record of its own, alone on a page, so that a test can guard it.
extern "C" __declspec(dllexport) alignas(4096) char TRVXPlugin_Version[4096] = "\1\0\0\0\1\0\0\0Another plug-in";

extern "C" int __stdcall DllMainCRTStartup(void*, unsigned long, void*) { return 1; }
