#pragma once

#include <string_view>

// Whether an installer's BRIGHTNESS option is a whole number from 0 to 100 as an administrator
// writes one: digits only, without a leading zero. Both installers refuse anything else.
bool IsBrightnessOption(std::wstring_view text);
