#include "installer/helper/brightness_option.h"

bool IsBrightnessOption(std::wstring_view text) {
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text.front() == L'0')) return false;
    int value = 0;
    for (const wchar_t digit : text) {
        if (digit < L'0' || digit > L'9') return false;
        value = value * 10 + (digit - L'0');
    }
    return value <= 100;
}
