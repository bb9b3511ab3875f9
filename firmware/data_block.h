#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The 128 data bytes of a firmware request, and of its answer.
inline constexpr std::size_t kDataBlockSize = 128;
using DataBlock = std::array<std::uint8_t, kDataBlockSize>;
