#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Reads the brightness argument as formatted extraction of an unsigned 32-bit number from a wide
// string stream does: white space (as iswspace sees it) skipped, then an optional '+' or '-',
// then the decimal digits '0' to '9' up to the first other character, which ends the number and
// is ignored with the rest. A '-' negates modulo 2^32 ("-1" is 4294967295). No digit at all, or
// a number above 4294967295, is no number.
std::optional<std::uint32_t> ReadUnsignedArgument(std::wstring_view text);
