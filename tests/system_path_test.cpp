// The installer's PATH edits: as text, the folder goes on once, comes off again, and every other
// entry, separator and character stays exactly as it was; in the registry, the value keeps its
// type and its terminating NUL, and one that cannot be changed safely keeps every byte.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "installer/helper/path_command.h"
#include "installer/helper/system_path.h"
#include "tests/support/case_name.h"
#include "tests/support/light_run.h"
#include "tests/support/registry.h"

namespace {

const std::wstring kFolder = L"C:\\Program Files\\Light";

struct PathCase {
    const char* name;
    std::wstring path;
    std::optional<std::wstring> added;    // PathWithFolder; nullopt: named already
    std::optional<std::wstring> removed;  // PathWithoutFolder; nullopt: not named
};

class SystemPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(SystemPathTest, AddsOnceAndRemovesOnlyItsOwnEntry) {
    const PathCase& path = GetParam();
    EXPECT_EQ(PathWithFolder(path.path, kFolder), path.added);
    EXPECT_EQ(PathWithoutFolder(path.path, kFolder), path.removed);
    // Taking off what was put on gives back the PATH as it was, byte for byte.
    if (path.added) {
        EXPECT_EQ(PathWithoutFolder(*path.added, kFolder), path.path);
    }
}

const std::wstring kStock = L"%SystemRoot%\\system32;%SystemRoot%";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Paths, SystemPathTest, testing::Values(
    PathCase{"Empty", L"", kFolder, std::nullopt},
    PathCase{"Stock", kStock, kStock + L";" + kFolder, std::nullopt},
    PathCase{"EndsInSeparator", kStock + L";", kStock + L";" + kFolder + L";", std::nullopt},
    PathCase{"EmptyEntriesKept", L";A;;B", L";A;;B;" + kFolder, std::nullopt},
    PathCase{"LongerNameIsAnotherFolder", L"C:\\Program Files\\Light Moved",
             L"C:\\Program Files\\Light Moved;" + kFolder, std::nullopt},
    PathCase{"Last", kStock + L";" + kFolder, std::nullopt, kStock},
    PathCase{"First", kFolder + L";" + kStock, std::nullopt, kStock},
    PathCase{"Middle", L"A;" + kFolder + L";B", std::nullopt, L"A;B"},
    PathCase{"Alone", kFolder, std::nullopt, L""},
    PathCase{"TwiceTheLastGoes", kFolder + L";A;" + kFolder, std::nullopt, kFolder + L";A"},
    PathCase{"OtherLetterCase", L"A;c:\\PROGRAM FILES\\light", std::nullopt, L"A"},
    PathCase{"TrailingBackslash", L"A;" + kFolder + L"\\;B", std::nullopt, L"A;B"},
    PathCase{"Quoted", L"\"" + kFolder + L"\";A", std::nullopt, L"A"},
    PathCase{"Variable", L"A;%ProgramFiles%\\Light", std::nullopt, L"A"}), CaseName());
// clang-format on

constexpr wchar_t kEnvironment[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// A string value as the registry holds it: UTF-16, with its terminating NUL.
RawValue Stored(DWORD type, const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {type, {bytes, bytes + (text.size() + 1) * sizeof(wchar_t)}};
}

// A PATH of `length` characters that ends in the stock one.
std::wstring PathOfLength(size_t length) {
    return std::wstring(length - kStock.size() - 1, L'x') + L";" + kStock;
}

// Every value this process hands to RegSetValueExW, as Windows stores it. Wine adds a missing
// terminating NUL to a string by itself, so a value read back could not show one missing.
extern "C" decltype(&RegSetValueExW) __imp_RegSetValueExW;
decltype(&RegSetValueExW) realSetValue = nullptr;
std::vector<RawValue> written;
LSTATUS WINAPI RecordedSetValue(HKEY key, LPCWSTR name, DWORD reserved, DWORD type,
                                const BYTE* data, DWORD size) {
    written.push_back({type, {data, data + size}});
    return realSetValue(key, name, reserved, type, data, size);
}
void SetValueThrough(decltype(&RegSetValueExW) function) {
    DWORD protection = 0;
    VirtualProtect(&__imp_RegSetValueExW, sizeof(function), PAGE_READWRITE, &protection);
    __imp_RegSetValueExW = function;
    VirtualProtect(&__imp_RegSetValueExW, sizeof(function), protection, &protection);
}

struct StoredCase {
    const char* name;
    RawValue before;
    bool add;
    PathOutcome outcome;
    std::optional<RawValue> after;  // nullopt: not written at all
    std::wstring folder = kFolder;
};

class StoredPathTest : public testing::TestWithParam<StoredCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(original) << "no system PATH to begin with";
        realSetValue = __imp_RegSetValueExW;
        SetValueThrough(RecordedSetValue);
    }
    void TearDown() override {
        SetValueThrough(realSetValue);
        WriteRawValue(kEnvironment, L"Path", *original);
    }
    const std::optional<RawValue> original = ReadRawValue(kEnvironment, L"Path");
};

TEST_P(StoredPathTest, KeepsTypeTerminatorAndEveryOtherByte) {
    const StoredCase& path = GetParam();
    ASSERT_TRUE(WriteRawValue(kEnvironment, L"Path", path.before));
    written.clear();
    PathOutcome outcome = PathChanged;
    const std::string said = CaptureStandardOutput([&] {
        outcome = path.add ? AddToSystemPath(path.folder) : RemoveFromSystemPath(path.folder);
    });
    EXPECT_EQ(outcome, path.outcome);
    EXPECT_EQ(written, path.after ? std::vector<RawValue>{*path.after} : std::vector<RawValue>{});
    EXPECT_EQ(ReadRawValue(kEnvironment, L"Path"), path.after.value_or(path.before));
    // Left as it is, it says why; otherwise it says nothing.
    EXPECT_EQ(said.empty(), outcome != PathLeftAsItIs) << said;
}

const std::wstring kAdded = kStock + L";" + kFolder;
const std::wstring kLongest = PathOfLength(32767 - kFolder.size() - 1);

// clang-format off
INSTANTIATE_TEST_SUITE_P(Stored, StoredPathTest, testing::Values(
    StoredCase{"ExpandableStaysExpandable", Stored(REG_EXPAND_SZ, kStock), true, PathChanged,
               Stored(REG_EXPAND_SZ, kAdded)},
    StoredCase{"PlainStaysPlain", Stored(REG_SZ, kStock), true, PathChanged, Stored(REG_SZ, kAdded)},
    StoredCase{"RemovedAsItWas", Stored(REG_EXPAND_SZ, kAdded), false, PathChanged,
               Stored(REG_EXPAND_SZ, kStock)},
    StoredCase{"AlreadyThere", Stored(REG_EXPAND_SZ, kAdded), true, PathAlreadyAsWanted,
               std::nullopt},
    StoredCase{"UpToTheLimit", Stored(REG_EXPAND_SZ, kLongest), true, PathChanged,
               Stored(REG_EXPAND_SZ, kLongest + L";" + kFolder)},
    StoredCase{"BeyondTheLimit", Stored(REG_EXPAND_SZ, L"x" + kLongest), true, PathLeftAsItIs,
               std::nullopt},
    StoredCase{"NotAString", Dword(7), true, PathLeftAsItIs, std::nullopt},
    StoredCase{"InnerNul", Stored(REG_EXPAND_SZ, std::wstring(L"A\0B", 3)), false, PathLeftAsItIs,
               std::nullopt},
    StoredCase{"FolderNameWithSeparator", Stored(REG_EXPAND_SZ, kStock), true, PathLeftAsItIs,
               std::nullopt, L"C:\\Program Files\\A;B"}), CaseName());
// clang-format on

}  // namespace
