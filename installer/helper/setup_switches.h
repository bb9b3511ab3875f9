#pragma once

#include <string>
#include <string_view>

// The switches of the installer's or the uninstaller's command line, read as Windows hands a
// program its arguments (CommandLineToArgvW's rules, so that a switch quoted whole, as
// PowerShell's call operator passes one holding a space, is that same switch), in any letter
// case; NSIS's /D= and _?= take the rest of the line, as NSIS itself reads them. A switch the
// program does not take is refused: a mistyped one (/BRIGTHNESS=40) must not install without
// doing what was asked; so are switches the installer could not read whole.
enum class SwitchSet {
    Installer,    // /S /NCRC /NOPATH /DOWNGRADE /BRIGHTNESS=<value> /LOG=<file> /D=<folder>
    Uninstaller,  // /S /NCRC /LOG=<file> _?=<folder>
};

struct SwitchReading {
    // The switches taken, in capitals, each value in quotes: one line that NSIS's GetOptions reads.
    // _?=, which NSIS reads for itself, is taken but not in it.
    std::wstring taken;
    // Why the command line is refused, naming the word and the switches taken; or empty.
    std::wstring refusal;
};

// `commandLine` is the whole command line, the program's name first.
SwitchReading ReadSwitches(std::wstring_view commandLine, SwitchSet set);
