// The entry called directly, for what a started process cannot show.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "app/front_end.h"

namespace {

class CapturedConsole {
  public:
    CapturedConsole() : previous_(std::wcout.rdbuf(capture_.rdbuf())) {}
    ~CapturedConsole() { std::wcout.rdbuf(previous_); }
    std::wstring Text() const { return capture_.str(); }

  private:
    std::wostringstream capture_;
    std::wstreambuf* previous_;
};

const std::wstring kUsageWithoutName =
    L"USAGE\n\n [<brightness>]\n\tIf no argument is given, the last used brightness will be set "
    L"again.\n\n";

TEST(Entry, EmptyArgumentVectorPrintsUsageWithEmptyName) {
    CapturedConsole console;
    EXPECT_EQ(RunEntry(0, nullptr), ExitWrongArgumentCount);
    EXPECT_EQ(console.Text(), kUsageWithoutName);
}

TEST(Entry, NullInvocationPathGivesEmptyName) {
    const wchar_t* const argv[] = {nullptr, L"1", L"2", nullptr};
    CapturedConsole console;
    EXPECT_EQ(RunEntry(3, argv), ExitWrongArgumentCount);
    EXPECT_EQ(console.Text(), kUsageWithoutName);
}

}  // namespace
