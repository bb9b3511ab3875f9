#pragma once

#include <cstdint>

// The brightest the firmware is ever asked for; the lowest is 0.
inline constexpr std::uint8_t kMaxBrightness = 100;

// Sends the brightness (above 100 is sent as 100) to the firmware in two requests; true when the
// brightness request went through.
bool ApplyBrightness(std::uint8_t brightness);
