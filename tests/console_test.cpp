// What a user at a console sees: light.exe started with a console screen buffer as its standard
// output, the buffer read back cell by cell. Runs in a pseudo-terminal, where Wine gives the test
// a console whose buffers can be read.
#include <gtest/gtest.h>

#include <string>

#include "app/console_output.h"
#include "tests/support/light_run.h"
#include "tests/support/case_name.h"

namespace {

// The rows of a screen buffer, without the blanks that pad each row.
std::wstring ScreenText(HANDLE buffer, SHORT rows) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(buffer, &info)) return L"(no screen buffer)";
    std::wstring text;
    std::wstring row(static_cast<size_t>(info.dwSize.X), L' ');
    for (SHORT y = 0; y < rows; ++y) {
        DWORD read = 0;
        ReadConsoleOutputCharacterW(buffer, row.data(), info.dwSize.X, COORD{0, y}, &read);
        const size_t end = row.find_last_not_of(L' ', read == 0 ? 0 : read - 1);
        text += (end == std::wstring::npos ? L"" : row.substr(0, end + 1)) + L"\n";
    }
    return text;
}

TEST(Console, UsageWithAnAstralProgramNameArrivesIntact) {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    const HANDLE buffer =
        CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inheritable, CONSOLE_TEXTMODE_BUFFER, nullptr);
    ASSERT_NE(buffer, INVALID_HANDLE_VALUE) << "no console: run this test in a pseudo-terminal";
    const std::wstring name = L"l\u00e4mp\u00f6\u706f\U0001F4A1.exe";
    const LightRun run = RunLight({{L"1", L"2"}, L"C:\\tools\\" + name, false, buffer});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.errors, "");
    // A tab at the start of a row moves the cursor to column 8.
    EXPECT_EQ(ScreenText(buffer, 6),
              L"USAGE\n\n" + name +
                  L" [<brightness>]\n        If no argument is given, the last used brightness "
                  L"will be set again.\n\n\n");
    CloseHandle(buffer);
}

struct ChunkCase {
    const char* name;
    std::wstring text;
    size_t limit;
    size_t length;
};

class ConsoleChunkTest : public testing::TestWithParam<ChunkCase> {};

TEST_P(ConsoleChunkTest, NeverEndsBetweenTheHalvesOfAPair) {
    EXPECT_EQ(ConsoleChunkLength(GetParam().text, GetParam().limit), GetParam().length);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Chunks, ConsoleChunkTest, testing::Values(
    ChunkCase{"CutAtTheLimit", L"abcdef", 4, 4},
    ChunkCase{"PairAcrossTheLimit", L"abc\U0001F4A1d", 4, 3},
    ChunkCase{"PairJustInside", L"ab\U0001F4A1d", 4, 4},
    ChunkCase{"LoneHighSurrogateAtTheLimit", L"abc\xD83Dx", 4, 4},
    ChunkCase{"LimitOfOneStillMoves", L"\U0001F4A1", 1, 1}), CaseName());
// clang-format on

}  // namespace
