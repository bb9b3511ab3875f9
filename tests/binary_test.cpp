// The shipped light.exe itself: what Explorer, the loader and a cautious administrator look at.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace {

class ResourceImage {
  public:
    ResourceImage()
        : module_(LoadLibraryExW(SiblingPath(L"light.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ResourceImage() {
        if (module_) FreeLibrary(module_);
    }
    ResourceImage(const ResourceImage&) = delete;
    ResourceImage& operator=(const ResourceImage&) = delete;

    std::string Bytes(LPCWSTR type, WORD id) const {
        HRSRC found = module_ ? FindResourceW(module_, MAKEINTRESOURCEW(id), type) : nullptr;
        HGLOBAL loaded = found ? LoadResource(module_, found) : nullptr;
        const void* data = loaded ? LockResource(loaded) : nullptr;
        if (data == nullptr) return {};
        return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
    }

  private:
    HMODULE module_;
};

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;
};
#pragma pack(pop)

TEST(Binary, IconGroupHasSevenSizesWithPngAt256) {
    ResourceImage image;
    const std::string group = image.Bytes(RT_GROUP_ICON, 101);
    ASSERT_GE(group.size(), sizeof(GroupIconHeader));
    GroupIconHeader header;
    memcpy(&header, group.data(), sizeof(header));
    EXPECT_EQ(header.type, 1);
    ASSERT_EQ(header.count, 7);
    ASSERT_EQ(group.size(), sizeof(header) + 7 * sizeof(GroupIconEntry));

    std::vector<int> sizes;
    for (int index = 0; index < header.count; ++index) {
        GroupIconEntry entry;
        memcpy(&entry, group.data() + sizeof(header) + index * sizeof(entry), sizeof(entry));
        const int size = entry.width == 0 ? 256 : entry.width;
        sizes.push_back(size);
        const std::string icon = image.Bytes(RT_ICON, entry.id);
        ASSERT_EQ(icon.size(), entry.bytesInResource) << size;
        if (size == 256) {
            EXPECT_EQ(icon.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
            continue;
        }
        BITMAPINFOHEADER bitmap;
        ASSERT_GE(icon.size(), sizeof(bitmap));
        memcpy(&bitmap, icon.data(), sizeof(bitmap));
        EXPECT_EQ(bitmap.biSize, sizeof(bitmap)) << size << " px is a classic bitmap";
        EXPECT_EQ(bitmap.biWidth, size);
        EXPECT_EQ(bitmap.biHeight, 2 * size) << "image and mask";
        EXPECT_EQ(bitmap.biBitCount, 32) << "with alpha";
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 128, 256}));
}

TEST(Binary, ManifestRunsAsInvokerOnWindows10And11) {
    const std::string manifest = ResourceImage().Bytes(MAKEINTRESOURCEW(24), 1);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
              std::string::npos);
    EXPECT_NE(manifest.find("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"),
              std::string::npos);
}

std::wstring VersionString(const std::vector<BYTE>& info, const std::wstring& name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = L"\\StringFileInfo\\040904b0\\" + name;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || length == 0) return {};
    return static_cast<const wchar_t*>(value);
}

TEST(Binary, VersionInformationMatchesTheBuildsVersion) {
    const std::wstring path = SiblingPath(L"light.exe");
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS,
              static_cast<DWORD>(MAKELONG(LIGHT_VERSION_MINOR, LIGHT_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, LIGHT_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    const std::wstring version = LIGHT_VERSION_WIDE;
    EXPECT_EQ(VersionString(info, L"FileVersion"), version);
    EXPECT_EQ(VersionString(info, L"ProductVersion"), version);
    EXPECT_EQ(VersionString(info, L"CompanyName"), L"Orvane");
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"light.exe");
    EXPECT_FALSE(VersionString(info, L"FileDescription").empty());
    EXPECT_FALSE(VersionString(info, L"ProductName").empty());
}

// Reads the image as the loader would: headers, then the import directory through the sections.
class PeImage {
  public:
    PeImage() : bytes_(ReadWholeFile(SiblingPath(L"light.exe"))) {
        if (bytes_.size() < sizeof(IMAGE_DOS_HEADER)) return;
        const auto* dos = At<IMAGE_DOS_HEADER>(0);
        if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return;
        nt_ = At<IMAGE_NT_HEADERS64>(dos->e_lfanew);
    }
    const IMAGE_NT_HEADERS64* Headers() const { return nt_; }

    std::vector<std::string> ImportedDlls() const {
        std::vector<std::string> names;
        const auto& directory = nt_->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (DWORD offset = FileOffset(directory.VirtualAddress);;
             offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            const auto* import = At<IMAGE_IMPORT_DESCRIPTOR>(offset);
            if (import == nullptr || import->Name == 0) break;
            const DWORD name = FileOffset(import->Name);
            if (name == 0 || name >= bytes_.size()) break;
            names.emplace_back(bytes_.c_str() + name);
        }
        return names;
    }

  private:
    template <class T>
    const T* At(size_t offset) const {
        return offset + sizeof(T) <= bytes_.size()
                   ? reinterpret_cast<const T*>(bytes_.data() + offset)
                   : nullptr;
    }
    DWORD FileOffset(DWORD rva) const {
        const auto* section = IMAGE_FIRST_SECTION(nt_);
        for (WORD index = 0; index < nt_->FileHeader.NumberOfSections; ++index, ++section) {
            if (rva >= section->VirtualAddress &&
                rva < section->VirtualAddress + section->Misc.VirtualSize) {
                return rva - section->VirtualAddress + section->PointerToRawData;
            }
        }
        return 0;
    }

    std::string bytes_;
    const IMAGE_NT_HEADERS64* nt_ = nullptr;
};

TEST(Binary, HeaderKeepsHardeningAndIsStripped) {
    PeImage image;
    ASSERT_NE(image.Headers(), nullptr);
    const auto& headers = *image.Headers();
    EXPECT_EQ(headers.FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(headers.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
    const WORD required = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE |
                          IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA |
                          IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
    EXPECT_EQ(headers.OptionalHeader.DllCharacteristics & required, required);
    EXPECT_EQ(headers.FileHeader.PointerToSymbolTable, 0u) << "not stripped";
    EXPECT_EQ(headers.FileHeader.NumberOfSymbols, 0u) << "not stripped";
}

TEST(Binary, ImportsOnlyWindowsSystemDlls) {
    PeImage image;
    ASSERT_NE(image.Headers(), nullptr);
    const std::vector<std::string> imports = image.ImportedDlls();
    EXPECT_FALSE(imports.empty());
    const std::array<std::string, 6> system = {"kernel32.dll", "advapi32.dll", "ole32.dll",
                                               "oleaut32.dll", "msvcrt.dll",   "ucrtbase.dll"};
    for (std::string name : imports) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const bool allowed = std::find(system.begin(), system.end(), name) != system.end() ||
                             name.rfind("api-ms-win-crt-", 0) == 0;
        EXPECT_TRUE(allowed) << name;
    }
}

}  // namespace
