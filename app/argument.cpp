#include "app/argument.h"

#include <cwctype>
#include <limits>

std::optional<std::uint32_t> ReadUnsignedArgument(std::wstring_view text) {
    std::size_t next = 0;
    while (next < text.size() && std::iswspace(static_cast<std::wint_t>(text[next]))) ++next;
    const bool negative = next < text.size() && text[next] == L'-';
    if (next < text.size() && (text[next] == L'+' || negative)) ++next;

    std::uint64_t value = 0;
    bool digits = false;
    for (; next < text.size() && text[next] >= L'0' && text[next] <= L'9'; ++next) {
        digits = true;
        value = value * 10 + static_cast<std::uint64_t>(text[next] - L'0');
        if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    }
    if (!digits) return std::nullopt;
    const auto number = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - number) : number;
}
