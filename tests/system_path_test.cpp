// The installer's PATH edits, through the registry: the folder goes on once and comes off again,
// every other entry, separator and character stays exactly as it was, the value keeps its type
// and its terminating NUL, and a PATH that cannot be changed safely is not written at all.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "installer/helper/path_command.h"
#include "tests/support/case_name.h"
#include "tests/support/light_run.h"
#include "tests/support/registry.h"

namespace {

constexpr wchar_t kEnvironment[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const std::wstring kFolder = L"C:\\Program Files\\Light";
const std::wstring kStock = L"%SystemRoot%\\system32;%SystemRoot%";
// Expected where the PATH is left as it is, and the helper says why.
const std::wstring kLeft = L"(left as it is, and said why)";

// A string value as the registry holds it: UTF-16, with its terminating NUL.
RawValue Stored(DWORD type, const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {type, {bytes, bytes + (text.size() + 1) * sizeof(wchar_t)}};
}
RawValue Expandable(const std::wstring& text) {
    return Stored(REG_EXPAND_SZ, text);
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

struct PathCase {
    const char* name;
    RawValue before;
    std::optional<std::wstring> added;    // nullopt: on it already, not written
    std::optional<std::wstring> removed;  // nullopt: not on it, not written
    std::wstring folder = kFolder;
};

class PathTest : public testing::TestWithParam<PathCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(original) << "no system PATH to begin with";
        realSetValue = __imp_RegSetValueExW;
        SetValueThrough(RecordedSetValue);
    }
    void TearDown() override {
        if (!original) return;  // SetUp stopped before it patched anything
        SetValueThrough(realSetValue);
        WriteRawValue(kEnvironment, L"Path", *original);
    }
    // Runs one edit on `before` and checks its outcome, what it wrote and what it said.
    void Edit(const RawValue& before, bool add, const std::optional<std::wstring>& expected) {
        ASSERT_TRUE(WriteRawValue(kEnvironment, L"Path", before));
        written.clear();
        PathOutcome outcome = PathChanged;
        const std::string said = CaptureStandardOutput([&] {
            const std::wstring& folder = GetParam().folder;
            outcome = add ? AddToSystemPath(folder) : RemoveFromSystemPath(folder);
        });
        const bool changed = expected && *expected != kLeft;
        EXPECT_EQ(outcome, changed    ? PathChanged
                           : expected ? PathLeftAsItIs
                                      : PathAlreadyAsWanted)
            << (add ? "adding" : "removing");
        const std::vector<RawValue> writes = {Stored(before.type, expected.value_or(L""))};
        EXPECT_EQ(written, changed ? writes : std::vector<RawValue>{});
        EXPECT_EQ(ReadRawValue(kEnvironment, L"Path"), changed ? writes[0] : before);
        EXPECT_EQ(said.empty(), outcome != PathLeftAsItIs) << said;
    }
    const std::optional<RawValue> original = ReadRawValue(kEnvironment, L"Path");
};

TEST_P(PathTest, AddsOnceRemovesItsOwnAndKeepsTheRest) {
    const PathCase& path = GetParam();
    Edit(path.before, true, path.added);
    Edit(path.before, false, path.removed);
    // Taking off what was put on gives back the PATH as it was, byte for byte.
    if (path.added && *path.added != kLeft) {
        ASSERT_TRUE(WriteRawValue(kEnvironment, L"Path", Stored(path.before.type, *path.added)));
        CaptureStandardOutput([&] { RemoveFromSystemPath(path.folder); });
        EXPECT_EQ(ReadRawValue(kEnvironment, L"Path"), path.before) << "taken off again";
    }
}

// A PATH of `length` characters, of folders of ordinary length: one of thousands of characters
// makes Wine crash as it starts the next program.
std::wstring PathOfLength(size_t length) {
    std::wstring path = kStock;
    while (path.size() + 30 < length) path += L";C:\\Tools\\Vendor\\Part\\bin";
    return path + L";" + std::wstring(length - path.size() - 1, L'x');
}
const std::wstring kLongest = PathOfLength(32767 - kFolder.size() - 1);

// clang-format off
INSTANTIATE_TEST_SUITE_P(Paths, PathTest, testing::Values(
    PathCase{"Empty", Expandable(L""), kFolder, std::nullopt},
    PathCase{"Stock", Expandable(kStock), kStock + L";" + kFolder, std::nullopt},
    PathCase{"PlainString", Stored(REG_SZ, kStock), kStock + L";" + kFolder, std::nullopt},
    PathCase{"EndsInSeparator", Expandable(kStock + L";"), kStock + L";" + kFolder + L";",
             std::nullopt},
    PathCase{"EmptyEntriesKept", Expandable(L";A;;B"), L";A;;B;" + kFolder, std::nullopt},
    PathCase{"LongerNameIsAnotherFolder", Expandable(L"C:\\Program Files\\Light Moved"),
             L"C:\\Program Files\\Light Moved;" + kFolder, std::nullopt},
    PathCase{"First", Expandable(kFolder + L";" + kStock), std::nullopt, kStock},
    PathCase{"Middle", Expandable(L"A;" + kFolder + L";B"), std::nullopt, L"A;B"},
    PathCase{"TwiceTheLastGoes", Expandable(kFolder + L";A;" + kFolder), std::nullopt,
             kFolder + L";A"},
    PathCase{"OtherLetterCase", Expandable(L"A;c:\\PROGRAM FILES\\light"), std::nullopt, L"A"},
    PathCase{"TrailingBackslash", Expandable(L"A;" + kFolder + L"\\;B"), std::nullopt, L"A;B"},
    PathCase{"Quoted", Expandable(L"\"" + kFolder + L"\";A"), std::nullopt, L"A"},
    PathCase{"Variable", Expandable(L"A;%ProgramFiles%\\Light"), std::nullopt, L"A"},
    PathCase{"UpToTheLimit", Expandable(kLongest), kLongest + L";" + kFolder, std::nullopt},
    PathCase{"BeyondTheLimit", Expandable(L"x" + kLongest), kLeft, std::nullopt},
    PathCase{"NotAString", Dword(7), kLeft, kLeft},
    PathCase{"InnerNul", Expandable(std::wstring(L"A\0B", 3)), kLeft, kLeft},
    PathCase{"OddByteCount", RawValue{REG_EXPAND_SZ, {'A', 0, 0, 0, 'B'}}, kLeft, kLeft},
    PathCase{"FolderNameWithSeparator", Expandable(kStock), kLeft, std::nullopt,
             L"C:\\Program Files\\A;B"}), CaseName());
// clang-format on

// For Windows Installer, whose rollback and uninstallation take off what was recorded: a folder on
// the PATH already is never recorded, so never taken off. The MSI's checks add and take off one.
TEST_F(PathTest, NeverRecordsAFolderThatWasThere) {
    const std::wstring path = kStock + L";" + kFolder;
    ASSERT_TRUE(WriteRawValue(kEnvironment, L"Path", Expandable(path)));
    CaptureStandardOutput([&] {
        EXPECT_EQ(AddToSystemPathRecorded(kFolder), PathAlreadyAsWanted);
        EXPECT_EQ(RemoveRecordedFromSystemPath(), PathAlreadyAsWanted);
    });
    EXPECT_EQ(ReadRawValue(kEnvironment, L"Path"), Expandable(path));
}

}  // namespace
