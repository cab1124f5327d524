// The module as a loader and a file browser see it: its export table, its
// imports, its security flags and its one resource, the version record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "loaded_module.h"

namespace gyrotrail::testing {
namespace {

const char* const kExports[] = {"lumDisplaySoundData", "lumEnd",          "lumGetBitmap", "lumGetParamInfo",
                                "lumInit",             "lumSetParamInfo", "lumStart"};

const IMAGE_NT_HEADERS* headers(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
}

template <class T>
const T* at(HMODULE module, DWORD rva) {
    return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module) + rva);
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

TEST(ModuleFrame, EveryEntryPointIsFoundByNameAndByItsOrdinal) {
    LoadedModule module;
    ASSERT_TRUE(module.complete()) << "LoadLibrary error " << ::GetLastError();
    for (WORD ordinal = 1; ordinal <= 7; ++ordinal) {
        const FARPROC byName = ::GetProcAddress(module.handle(), kExports[ordinal - 1]);
        const FARPROC byOrdinal = ::GetProcAddress(module.handle(), MAKEINTRESOURCEA(ordinal));
        EXPECT_NE(byName, nullptr) << kExports[ordinal - 1];
        EXPECT_EQ(byName, byOrdinal) << kExports[ordinal - 1] << " at ordinal " << ordinal;
    }
    EXPECT_EQ(::GetProcAddress(module.handle(), MAKEINTRESOURCEA(8)), nullptr);
    EXPECT_EQ(::GetProcAddress(module.handle(), "_lumInit"), nullptr) << "names are undecorated";
    EXPECT_EQ(::GetProcAddress(module.handle(), "DllMain"), nullptr);
}

TEST(ModuleFrame, ExportTableNamesTheModuleAndExactlyTheSevenFunctions) {
    LoadedModule module;
    ASSERT_NE(module.handle(), nullptr);
    const IMAGE_DATA_DIRECTORY& entry = headers(module.handle())->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(entry.VirtualAddress, 0u);
    const auto* exports = at<IMAGE_EXPORT_DIRECTORY>(module.handle(), entry.VirtualAddress);
    EXPECT_STREQ(at<char>(module.handle(), exports->Name), "gyrotrail.lum");
    EXPECT_EQ(exports->Base, 1u);
    ASSERT_EQ(exports->NumberOfFunctions, 7u);
    ASSERT_EQ(exports->NumberOfNames, 7u);
    const DWORD* names = at<DWORD>(module.handle(), exports->AddressOfNames);
    const WORD* ordinals = at<WORD>(module.handle(), exports->AddressOfNameOrdinals);
    for (DWORD i = 0; i < 7; ++i) {
        EXPECT_STREQ(at<char>(module.handle(), names[i]), kExports[i]);
        EXPECT_EQ(ordinals[i] + exports->Base, i + 1) << kExports[i];
    }
}

TEST(ModuleFrame, ImportsOnlyWhatEveryWindowsHas) {
    LoadedModule module;
    ASSERT_NE(module.handle(), nullptr);
    const IMAGE_DATA_DIRECTORY& entry = headers(module.handle())->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(entry.VirtualAddress, 0u);
    std::vector<std::string> dlls;
    for (const auto* dll = at<IMAGE_IMPORT_DESCRIPTOR>(module.handle(), entry.VirtualAddress); dll->Name != 0; ++dll)
        dlls.push_back(upper(at<char>(module.handle(), dll->Name)));
    for (const std::string& dll : dlls)
        EXPECT_TRUE(dll == "KERNEL32.DLL" || dll == "USER32.DLL" || dll == "GDI32.DLL" || dll == "MSVCRT.DLL") << dll;
    EXPECT_NE(std::find(dlls.begin(), dlls.end(), "USER32.DLL"), dlls.end());
    EXPECT_NE(std::find(dlls.begin(), dlls.end(), "GDI32.DLL"), dlls.end());
}

TEST(ModuleFrame, LoadsAtAnyAddressAndKeepsDataOutOfExecution) {
    LoadedModule module;
    ASSERT_NE(module.handle(), nullptr);
    const IMAGE_NT_HEADERS* nt = headers(module.handle());
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    EXPECT_TRUE(nt->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) << "ASLR";
    EXPECT_TRUE(nt->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) << "DEP";
    EXPECT_NE(nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u) << "relocatable";
#ifdef _WIN64
    EXPECT_TRUE(nt->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);
#else
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
#endif
}

BOOL CALLBACK collectType(HMODULE, LPSTR type, LONG_PTR found) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(found)->push_back(reinterpret_cast<ULONG_PTR>(type));
    return TRUE;
}

BOOL CALLBACK collectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(found)->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

TEST(ModuleFrame, HasTheVersionRecordAsItsOnlyResource) {
    HMODULE data = ::LoadLibraryExA(modulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(data, nullptr);
    std::vector<ULONG_PTR> types, names;
    ::EnumResourceTypesA(data, collectType, reinterpret_cast<LONG_PTR>(&types));
    ::EnumResourceNamesA(data, MAKEINTRESOURCEA(16) /* RT_VERSION */, collectName, reinterpret_cast<LONG_PTR>(&names));
    ::FreeLibrary(data);
    ASSERT_EQ(types.size(), 1u);
    EXPECT_EQ(types[0], 16u);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], 1u);
}

class VersionRecord : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        const DWORD size = ::GetFileVersionInfoSizeA(modulePath().c_str(), &ignored);
        ASSERT_GT(size, 0u);
        block.resize(size);
        ASSERT_TRUE(::GetFileVersionInfoA(modulePath().c_str(), 0, size, block.data()));
    }
    // The text of a string entry; `found` false when the entry is missing.
    std::string text(const std::string& name, bool& found) {
        void* value = nullptr;
        UINT length = 0;
        const std::string path = "\\StringFileInfo\\040704B0\\" + name;
        found = ::VerQueryValueA(block.data(), path.c_str(), &value, &length) != FALSE;
        return found && value != nullptr ? std::string(static_cast<const char*>(value)) : std::string();
    }
    std::vector<BYTE> block;
};

TEST_F(VersionRecord, FixedPartGivesVersionTypeAndFlags) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
}

TEST_F(VersionRecord, OneGermanUnicodeTranslation) {
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_EQ(length, 4u) << "exactly one language and code page";
    EXPECT_EQ(translation[0], 0x0407);
    EXPECT_EQ(translation[1], 1200);
}

TEST_F(VersionRecord, StringBlockHoldsEachEntry) {
    const struct {
        const char* name;
        const char* value;
    } expected[] = {
        {"FileDescription", "gyrotrail DLL"},
        {"FileVersion", "1, 0, 0, 1"},
        {"InternalName", "gyrotrail"},
        {"OriginalFilename", "gyrotrail.DLL"},
        {"ProductName", "gyrotrail Dynamic Link Library"},
        {"ProductVersion", "1, 0, 0, 1"},
        {"CompanyName", ""},
        {"LegalTrademarks", ""},
    };
    for (const auto& entry : expected) {
        bool found = false;
        EXPECT_EQ(text(entry.name, found), entry.value) << entry.name;
        EXPECT_TRUE(found) << entry.name;
    }
    bool found = false;
    const std::string copyright = text("LegalCopyright", found);
    EXPECT_TRUE(found);
    EXPECT_FALSE(copyright.empty());
    void* value = nullptr;
    UINT length = 0;
    EXPECT_FALSE(::VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\FileDescription", &value, &length))
        << "no string block but the German one";
}

}  // namespace
}  // namespace gyrotrail::testing
