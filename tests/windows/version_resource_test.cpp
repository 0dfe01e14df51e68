// The built DLL's version resource, read the way Explorer's Details tab reads
// it: fixed fields, then the strings of the language its translation names.
#include <gtest/gtest.h>

#include "platform/win32/win32.h"
// Needs the types of windows.h, so after it.
#include <winver.h>

#include <cstdio>
#include <string>
#include <vector>

#include "plugin_host.h"

namespace {

class VersionResource : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring dll = sandbox::BesideExecutable(L"Brackwell.dll");
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &ignored);
        ASSERT_NE(size, 0u) << "no version resource, error " << GetLastError();
        info_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, size, info_.data()));
    }

    // The string value `name` in the block of the first translation listed;
    // empty when there is none.
    std::wstring String(const wchar_t* name) {
        struct Translation {
            WORD language, codePage;
        }* translation = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(info_.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                            &length) ||
            length < sizeof *translation) {
            ADD_FAILURE() << "no translation listed";
            return {};
        }
        wchar_t path[128];
        std::swprintf(path, std::size(path), L"\\StringFileInfo\\%04x%04x\\%ls", translation->language,
                      translation->codePage, name);
        wchar_t* value = nullptr;
        if (!VerQueryValueW(info_.data(), path, reinterpret_cast<void**>(&value), &length)) return {};
        return value;
    }

    std::vector<BYTE> info_;
};

TEST_F(VersionResource, FixedFieldsHoldTheProjectVersion) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(BW_VERSION_MINOR, BW_VERSION_MAJOR), low = MAKELONG(0, BW_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST_F(VersionResource, StringsNameTheProductAndItsVersion) {
    EXPECT_EQ(String(L"FileVersion"), BW_VERSION);
    EXPECT_EQ(String(L"ProductVersion"), BW_VERSION);
    EXPECT_EQ(String(L"ProductName"), L"Brackwell");
    EXPECT_EQ(String(L"OriginalFilename"), L"Brackwell.dll");
    EXPECT_EQ(String(L"InternalName"), L"Brackwell.dll");
    EXPECT_NE(String(L"CompanyName").find(L"Brackwell developers"), std::wstring::npos);
    EXPECT_NE(String(L"LegalCopyright").find(L"Brackwell developers"), std::wstring::npos);
    EXPECT_FALSE(String(L"FileDescription").empty());
}

}  // namespace
