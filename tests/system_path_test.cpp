// The installer's PATH edits as text: the folder goes on once, comes off again, and every other
// entry, separator and character stays exactly as it was.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "installer/helper/system_path.h"
#include "tests/support/case_name.h"

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

}  // namespace
