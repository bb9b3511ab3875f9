// The rules both installers apply through the helper: which switches, brightness option and
// folder they take. The task definition written for a folder is read back by the installers'
// checks.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "installer/helper/brightness_option.h"
#include "installer/helper/full_path.h"
#include "installer/helper/install_folder.h"
#include "installer/helper/setup_switches.h"
#include "tests/support/case_name.h"

namespace {

// Digits only, 0 to 100, no leading zero: what an administrator writes, and nothing that light.exe
// or Windows Installer would read as a number all the same.
TEST(BrightnessOptionTest, TakesAWholeNumberFrom0To100AsWritten) {
    for (const wchar_t* taken : {L"0", L"7", L"50", L"99", L"100"}) {
        EXPECT_TRUE(IsBrightnessOption(taken)) << taken;
    }
    for (const wchar_t* refused : {L"", L"101", L"-1", L"+5", L" 5", L"5 ", L"007", L"00", L"5.0",
                                   L"abc", L"50abc", L"1000", L"٥"}) {
        EXPECT_FALSE(IsBrightnessOption(refused)) << refused;
    }
}

struct SwitchCase {
    const char* name;
    std::wstring commandLine;
    std::wstring taken;
    std::wstring refused = L"";  // how a refusal begins: the word it names, in quotes
    SwitchSet set = SwitchSet::Installer;
};

class SwitchTest : public testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTest, TakesItsOwnSwitchesAsWindowsHandsThemOverAndRefusesAnyOther) {
    const SwitchCase& test = GetParam();
    const SwitchReading reading = ReadSwitches(test.commandLine, test.set);
    EXPECT_EQ(reading.taken, test.taken);
    EXPECT_EQ(reading.refusal.substr(0, test.refused.size()), test.refused);
    EXPECT_EQ(reading.refusal.empty(), test.refused.empty()) << reading.refusal;
}

const std::wstring kLongFolder = L"C:\\" + std::wstring(1100, L'x');

INSTANTIATE_TEST_SUITE_P(
    CommandLines, SwitchTest,
    testing::Values(
        SwitchCase{"AnyLetterCase", L"setup.exe /s /brightness=40 /NoPath /downgrade /ncrc",
                   L"/S /BRIGHTNESS=\"40\" /NOPATH /DOWNGRADE /NCRC"},
        SwitchCase{"ProgramNameWithBlanks", L"\"C:\\Down loads\\setup.exe\"\t/S", L"/S"},
        SwitchCase{"QuotedWhole", L"setup.exe /S \"/LOG=C:\\logs\\light setup.log\"",
                   L"/S /LOG=\"C:\\logs\\light setup.log\""},
        SwitchCase{"ValueQuoted", L"setup.exe /LOG=\"C:\\a b\\c.log\" /S",
                   L"/LOG=\"C:\\a b\\c.log\" /S"},
        SwitchCase{"BackslashesBeforeAQuote", L"setup.exe \"/LOG=C:\\logs\\\\\"",
                   L"/LOG=\"C:\\logs\\\""},
        // NSIS's rule: /D= takes the rest of the line, so it comes last.
        SwitchCase{"FolderTakesTheRest", L"setup.exe /S /D=C:\\Program Files\\A /S",
                   L"/S /D=\"C:\\Program Files\\A /S\""},
        SwitchCase{"FolderQuotedWhole", L"setup.exe \"/D=C:\\Program Files\\A\" /S",
                   L"/D=\"C:\\Program Files\\A\" /S"},
        SwitchCase{"Mistyped", L"setup.exe /S /BRIGTHNESS=40", L"/S", L"'/BRIGTHNESS=40'"},
        SwitchCase{"ValueMissing", L"setup.exe /BRIGHTNESS /S", L"/S", L"'/BRIGHTNESS'"},
        SwitchCase{"LongerName", L"setup.exe /SILENT", L"", L"'/SILENT'"},
        SwitchCase{"NotASwitch", L"setup.exe install /S", L"/S", L"'install'"},
        SwitchCase{"FirstOfTwoNamed", L"setup.exe /X /Y", L"", L"'/X'"},
        SwitchCase{"QuoteInAValue", L"setup.exe /LOG=a\\\"b", L"", L"'/LOG=a\"b'"},
        SwitchCase{"Uninstaller", L"Au_.exe /S /Log=\"C:\\u.log\" _?=C:\\Program Files\\Light\\",
                   L"/S /LOG=\"C:\\u.log\"", L"", SwitchSet::Uninstaller},
        SwitchCase{"LineEndInAValue", L"setup.exe \"/LOG=a\nb\"", L"", L"'/LOG=a\nb'"},
        SwitchCase{"LongerThanTheInstallerReads", L"setup.exe /S \"/D=" + kLongFolder + L"\"",
                   L"/S /D=\"" + kLongFolder + L"\"", L"The switches are longer than the 1023"},
        SwitchCase{"UninstallerTakesNoInstallerSwitch", L"uninstall.exe /S /NOPATH", L"/S",
                   L"'/NOPATH'", SwitchSet::Uninstaller}),
    CaseName());

struct FolderCase {
    const char* name;
    std::wstring folder;  // below a stand-in for Program Files, "<PF>"
    FolderProblem expected;
    std::wstring installed = L"";
};

class FolderRuleTest : public testing::TestWithParam<FolderCase> {
  protected:
    // A Program Files of the test's own, holding one folder that exists already.
    static void SetUpTestSuite() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        programFiles = FolderPath(std::wstring(temp) + L"light-program-files");
        CreateDirectoryW(programFiles.c_str(), nullptr);
        CreateDirectoryW((programFiles + L"\\Existing").c_str(), nullptr);
    }
    static void TearDownTestSuite() {
        RemoveDirectoryW((programFiles + L"\\Existing").c_str());
        RemoveDirectoryW(programFiles.c_str());
    }
    static std::wstring Resolved(const std::wstring& text) {
        std::wstring resolved = text;
        if (resolved.starts_with(L"<PF>")) resolved.replace(0, 4, programFiles);
        if (resolved.starts_with(L"<pf>")) resolved.replace(0, 4, CharLower(programFiles));
        return resolved;
    }
    static std::wstring CharLower(std::wstring text) {
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
        return text;
    }
    static inline std::wstring programFiles;
};

TEST_P(FolderRuleTest, TakesOnlyANewFolderDirectlyInsideProgramFilesOrTheInstalledOne) {
    const FolderCase& test = GetParam();
    EXPECT_EQ(InstallFolderProblem(Resolved(test.folder), programFiles, Resolved(test.installed)),
              test.expected);
}

const std::wstring kLongName(200, L'x');

INSTANTIATE_TEST_SUITE_P(
    Folders, FolderRuleTest,
    testing::Values(
        FolderCase{"New", L"<PF>\\Orvane Light", FolderProblem::None},
        FolderCase{"NewInOtherLetters", L"<pf>\\Light", FolderProblem::None},
        FolderCase{"Existing", L"<PF>\\Existing", FolderProblem::Exists},
        FolderCase{"TheInstalledOne", L"<PF>\\Existing", FolderProblem::None, L"<pf>\\EXISTING"},
        FolderCase{"InstalledElsewhere", L"<PF>\\Existing", FolderProblem::Exists, L"<PF>\\Light"},
        FolderCase{"Nested", L"<PF>\\Orvane\\Light", FolderProblem::NotDirectlyInProgramFiles},
        FolderCase{"UpAndOut", L"<PF>\\..\\Light", FolderProblem::NotDirectlyInProgramFiles},
        FolderCase{"ProgramFilesItself", L"<PF>", FolderProblem::NotDirectlyInProgramFiles},
        FolderCase{"ProgramFilesWithBackslash", L"<PF>\\",
                   FolderProblem::NotDirectlyInProgramFiles},
        FolderCase{"SameStartOnly", L"<PF> (x86)\\Light", FolderProblem::NotDirectlyInProgramFiles},
        FolderCase{"Elsewhere", L"C:\\Users\\Public\\Light",
                   FolderProblem::NotDirectlyInProgramFiles},
        FolderCase{"StreamName", L"<PF>\\Light:x", FolderProblem::NotDirectlyInProgramFiles},
        FolderCase{"DotAtEnd", L"<PF>\\Light.", FolderProblem::UnsuitableName},
        FolderCase{"SpaceAtStart", L"<PF>\\ Light", FolderProblem::UnsuitableName},
        FolderCase{"SpaceAtEnd", L"<PF>\\Light ", FolderProblem::UnsuitableName},
        FolderCase{"OverTwoHundred", L"<PF>\\" + kLongName, FolderProblem::UnsuitableName}),
    CaseName());

}  // namespace
