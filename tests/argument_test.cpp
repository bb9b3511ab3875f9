// The argument reader against the formatted stream extraction it stands in for, over a generated
// corpus: any disagreement would change which arguments the command accepts, and as what.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/argument.h"

namespace {

// A number unless the stream's fail or bad state is set afterwards.
std::optional<std::uint32_t> ReadByStream(const std::wstring& text) {
    std::wistringstream stream(text);
    std::uint32_t value = 0;
    return stream >> value ? std::optional(value) : std::nullopt;
}

std::vector<std::wstring> Corpus() {
    // clang-format off
    std::vector<std::wstring> corpus = {
        L"", L"+", L"-", L"--1", L"+-1", L"-+1", L"- 1", L"+ 1", L"-0", L"+0", L"0x10", L"0X1f",
        L"1e3", L"1.5", L"1,000", std::wstring(100000, L' ') + L"5", std::wstring(100000, L'7'),
        L"1" + std::wstring(5000, L'0'), std::wstring(5000, L'0') + L"42"};
    // clang-format on
    // Every length up to 11 digits, of fixed and of random digits, with and without a sign or
    // leading zeros.
    std::minstd_rand random(20261207);
    for (size_t digits = 1; digits <= 11; ++digits) {
        for (int sample = 0; sample < 23; ++sample) {
            std::wstring number(digits, sample < 3 ? L"019"[sample] : L'0');
            for (wchar_t& digit : number)
                digit = static_cast<wchar_t>(digit + (sample < 3 ? 0 : random() % 10));
            corpus.push_back(number);
        }
    }
    // Both sides of 2^32.
    for (const wchar_t* number :
         {L"429496729", L"4294967294", L"4294967295", L"4294967296", L"4294967297", L"4294967299",
          L"42949672950", L"18446744073709551616"}) {
        corpus.push_back(number);
    }
    const size_t plain = corpus.size();
    for (size_t index = 0; index < plain; ++index) {
        for (const wchar_t* prefix : {L"+", L"-", L"00", L" \t-"}) {
            corpus.push_back(prefix + corpus[index]);
        }
    }
    // Every code unit of the Basic Multilingual Plane, white space and digit look-alikes among
    // them, in front of the digits, after them and between the sign and the digits.
    for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
        const std::wstring character(1, static_cast<wchar_t>(unit));
        corpus.push_back(character + L"12");
        corpus.push_back(L"12" + character + L"3");
        corpus.push_back(L"-" + character + L"4");
    }
    return corpus;
}

TEST(ArgumentReader, ReadsEveryArgumentAsStreamExtractionDoes) {
    int disagreements = 0;
    int accepted = 0;
    const std::vector<std::wstring> corpus = Corpus();
    for (const std::wstring& text : corpus) {
        const std::optional<std::uint32_t> expected = ReadByStream(text);
        accepted += expected ? 1 : 0;
        // The first code units and the length: some arguments are 100,000 long.
        if (ReadUnsignedArgument(text) != expected && ++disagreements <= 20) {
            ADD_FAILURE() << testing::PrintToString(text.substr(0, 8)) << " (" << text.size()
                          << " units): the stream reads " << testing::PrintToString(expected);
        }
    }
    EXPECT_EQ(disagreements, 0) << "of " << corpus.size();
    // A corpus that the stream rejects or accepts whole would prove nothing.
    EXPECT_GT(accepted, 1000);
    EXPECT_LT(accepted, static_cast<int>(corpus.size()) - 1000);
}

}  // namespace
