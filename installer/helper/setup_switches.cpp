#include "installer/helper/setup_switches.h"

#include <windows.h>

#include <algorithm>
#include <span>

namespace {

struct Switch {
    std::wstring_view name;  // with its '=' where it takes a value
    bool restOfLine = false;
    // NSIS's own, which it reads for itself and the script never does.
    bool nsisOnly = false;
};

constexpr Switch kInstallerSwitches[] = {{L"/S"},         {L"/NCRC"},        {L"/NOPATH"},
                                         {L"/DOWNGRADE"}, {L"/BRIGHTNESS="}, {L"/LOG="},
                                         {L"/D=", true}};
constexpr Switch kUninstallerSwitches[] = {{L"/S"}, {L"/NCRC"}, {L"/LOG="}, {L"_?=", true, true}};
constexpr wchar_t kInstallerTakes[] =
    L"the installer takes /S, /D=<folder> (last), /NCRC, /LOG=<file>, /BRIGHTNESS=<0..100>, "
    L"/NOPATH and /DOWNGRADE";
constexpr wchar_t kUninstallerTakes[] = L"the uninstaller takes /S, /NCRC and /LOG=<file>";
// The most an NSIS string, which the installer reads the switches taken into, holds.
constexpr size_t kMostTakenLength = 1023;

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view start) {
    return text.size() >= start.size() &&
           CompareStringOrdinal(text.data(), static_cast<int>(start.size()), start.data(),
                                static_cast<int>(start.size()), TRUE) == CSTR_EQUAL;
}

bool IsBlank(wchar_t character) {
    return character == L' ' || character == L'\t';
}

// One argument from `at`, as CommandLineToArgvW reads it: blanks outside quotes end it, 2n
// backslashes before a quote are n and the quote opens or closes a quoted part, 2n + 1 are n and a
// literal quote, and two quotes in a quoted part are one. Sets `quoted` when any part was.
std::wstring Argument(std::wstring_view line, size_t& at, bool& quoted) {
    std::wstring argument;
    bool inQuotes = false;
    quoted = false;
    while (at < line.size() && (inQuotes || !IsBlank(line[at]))) {
        const size_t end = std::min(line.find_first_not_of(L'\\', at), line.size());
        const size_t backslashes = end - at;
        at = end;
        if (at == line.size() || line[at] != L'"') {
            argument.append(backslashes, L'\\');
            if (backslashes == 0) argument += line[at++];
            continue;
        }
        argument.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
            argument += L'"';
        } else if (inQuotes && at + 1 < line.size() && line[at + 1] == L'"') {
            argument += L'"';
            ++at;
        } else {
            inQuotes = !inQuotes;
            quoted = true;
        }
        ++at;
    }
    return argument;
}

const Switch* Known(std::wstring_view argument, SwitchSet set) {
    const std::span<const Switch> switches = set == SwitchSet::Installer
                                                 ? std::span<const Switch>(kInstallerSwitches)
                                                 : std::span<const Switch>(kUninstallerSwitches);
    for (const Switch& known : switches) {
        if (StartsWithIgnoringCase(argument, known.name) &&
            (known.name.back() == L'=' || argument.size() == known.name.size())) {
            return &known;
        }
    }
    return nullptr;
}

}  // namespace

SwitchReading ReadSwitches(std::wstring_view commandLine, SwitchSet set) {
    // The program's name: up to the next quote if it starts with one, else to the first blank.
    size_t at = commandLine.empty() || commandLine[0] != L'"' ? commandLine.find_first_of(L" \t")
                                                              : commandLine.find(L'"', 1);
    at = at == std::wstring_view::npos ? commandLine.size() : at + 1;
    SwitchReading reading;
    for (;;) {
        while (at < commandLine.size() && IsBlank(commandLine[at])) ++at;
        if (at == commandLine.size()) break;
        const size_t start = at;
        bool quoted = false;
        const std::wstring argument = Argument(commandLine, at, quoted);
        const Switch* known = Known(argument, set);
        std::wstring value = known ? argument.substr(known->name.size()) : L"";
        if (known && known->restOfLine && !quoted) {
            // As NSIS reads it: the rest of the line, blanks and all.
            value = commandLine.substr(start + known->name.size());
            at = commandLine.size();
        }
        // A quote or a line end in a value would end the one line the installer reads.
        if (known == nullptr || value.find_first_of(L"\"\r\n") != std::wstring::npos) {
            if (reading.refusal.empty()) {
                reading.refusal =
                    L"'" + argument + L"' is not a switch " +
                    (set == SwitchSet::Installer ? kInstallerTakes : kUninstallerTakes) + L".";
            }
            continue;
        }
        if (known->nsisOnly) continue;
        reading.taken += (reading.taken.empty() ? L"" : L" ") + std::wstring(known->name);
        if (known->name.back() == L'=') reading.taken += L"\"" + value + L"\"";
    }
    if (reading.refusal.empty() && reading.taken.size() > kMostTakenLength) {
        reading.refusal = L"The switches are longer than the " + std::to_wstring(kMostTakenLength) +
                          L" characters the installer reads: choose a shorter file or folder.";
    }
    return reading;
}
