// What a crash reporter does with an address inside the plug-in: dbghelp
// finds Brackwell.pdb through the DLL's debug directory and turns the address
// into a function, a source file and a line.
#include <gtest/gtest.h>

#include "platform/win32/win32.h"
// Needs the types of windows.h, so after it.
#include <dbghelp.h>

#include <string>

#include "plugin_host.h"
#include "test_support.h"
#include "workers/cpu_worker.h"

namespace {

struct Symbol {
    std::string name;
    DWORD64 displacement = 0;
    std::string file;
    DWORD line = 0;
};

// SYMBOL_INFO with room for the longest name behind it.
struct SymbolInfo {
    SymbolInfo() {
        info.SizeOfStruct = sizeof(SYMBOL_INFO);
        info.MaxNameLen = MAX_SYM_NAME;
    }
    SYMBOL_INFO info{};
    char nameRoom[MAX_SYM_NAME] = {};
};

class Symbols : public ::testing::Test {
protected:
    void SetUp() override {
        plugin_ = wintest::LoadBrackwell();
        ASSERT_NE(plugin_.module, nullptr);
        SymSetOptions(SYMOPT_LOAD_LINES | SYMOPT_UNDNAME);
        // Searched for the PDB: the folder of the DLL, as a crash reporter is
        // set up to find a module's symbols beside it.
        const std::wstring dll = sandbox::BesideExecutable(L"Brackwell.dll");
        const std::wstring folder = dll.substr(0, dll.find_last_of(L'\\'));
        ASSERT_TRUE(SymInitializeW(process_, folder.c_str(), FALSE)) << GetLastError();
        base_ = reinterpret_cast<DWORD64>(plugin_.module);
        ASSERT_EQ(SymLoadModuleExW(process_, nullptr, dll.c_str(), nullptr, base_, 0, nullptr, 0), base_)
            << GetLastError();
    }
    void TearDown() override { SymCleanup(process_); }

    Symbol Resolve(DWORD64 address) {
        Symbol found;
        SymbolInfo symbol;
        if (!SymFromAddr(process_, address, &found.displacement, &symbol.info)) return found;
        found.name = symbol.info.Name;
        IMAGEHLP_LINE64 line{};
        line.SizeOfStruct = sizeof line;
        DWORD column = 0;
        if (!SymGetLineFromAddr64(process_, address, &column, &line)) return found;
        found.file = line.FileName;
        found.line = line.LineNumber;
        return found;
    }

    const HANDLE process_ = GetCurrentProcess();
    sandbox::LoadedPlugin plugin_;
    DWORD64 base_ = 0;
};

TEST_F(Symbols, TheModuleIsDescribedByItsPdb) {
    IMAGEHLP_MODULEW64 module{};
    module.SizeOfStruct = sizeof module;
    ASSERT_TRUE(SymGetModuleInfoW64(process_, base_, &module)) << GetLastError();
    // Export names alone would still name the exported function; only a
    // matching PDB names the others and gives lines.
    EXPECT_EQ(module.SymType, SymPdb);
    EXPECT_TRUE(std::wstring(module.LoadedPdbName).ends_with(L"Brackwell.pdb")) << module.LoadedPdbName;
}

TEST_F(Symbols, TheLoadEntryResolvesToItsNameFileAndLine) {
    const Symbol entry = Resolve(reinterpret_cast<DWORD64>(plugin_.load));
    EXPECT_EQ(entry.name, "TRVXPlugin_Load");
    EXPECT_EQ(entry.displacement, 0u);
    EXPECT_TRUE(entry.file.ends_with("load_entry.cpp")) << entry.file;
    EXPECT_GT(entry.line, 0u);
}

TEST_F(Symbols, AnAddressInsideAnInternalFunctionResolvesToItsNameFileAndLine) {
    SymbolInfo symbol;
    const SYMBOL_INFO* info = &symbol.info;
    ASSERT_TRUE(SymFromName(process_, "bw::AddBatchTerms", &symbol.info)) << GetLastError();
    ASSERT_GT(info->Size, 2u);
    // The address the PDB gives is the DLL's own batch, not just a name: it
    // computes what the same code linked into this test computes.
    const auto batch = reinterpret_cast<decltype(&bw::AddBatchTerms)>(info->Address);
    EXPECT_EQ(batch(0.5, 1000), bw::AddBatchTerms(0.5, 1000));

    // A crash inside it, as a report would give it: base + offset.
    const DWORD64 inside = info->Address + info->Size / 2;
    const Symbol start = Resolve(info->Address), crash = Resolve(inside);
    EXPECT_EQ(crash.name, "bw::AddBatchTerms");
    EXPECT_EQ(crash.displacement, info->Size / 2);
    EXPECT_TRUE(crash.file.ends_with("cpu_batch.cpp")) << crash.file;
    EXPECT_EQ(crash.file, start.file);
    EXPECT_GE(crash.line, start.line);
    EXPECT_GT(start.line, 0u);
}

}  // namespace
