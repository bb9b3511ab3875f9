#pragma once

#include <cstdint>

// Sends the brightness (above 100 is sent as 100) to the firmware in two requests; true when the
// brightness request went through.
bool ApplyBrightness(std::uint8_t brightness);
