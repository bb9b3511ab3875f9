#include "firmware/apply_brightness.h"

#include <objbase.h>

#include "firmware/firmware_channel.h"

namespace {

constexpr LONG kPreambleCommandType = 3;
constexpr LONG kBrightnessCommandType = 5;

DataBlock PreambleBlock() {
    DataBlock block{};
    block[0] = 0x03;
    for (size_t index = 1; index <= 6; ++index) block[index] = 0xFF;
    return block;
}

DataBlock BrightnessBlock(std::uint8_t brightness) {
    DataBlock block{};
    block[0] = 0x03;
    block[kDataBlockSize - 1] = brightness;
    return block;
}

}  // namespace

bool ApplyBrightness(std::uint8_t brightness) {
    if (brightness > kMaxBrightness) brightness = kMaxBrightness;
    // S_FALSE (already initialised on this thread) is a success and still needs its uninitialise.
    if (FAILED(CoInitialize(nullptr))) return false;

    DataBlock output{};
    // The preamble request's outcome does not decide anything; only the brightness request does.
    FirmwareChannel preamble;
    preamble.Invoke(kPreambleCommandType, PreambleBlock(), output);

    output.fill(0);
    FirmwareChannel setter;
    const HRESULT status =
        setter.Invoke(kBrightnessCommandType, BrightnessBlock(brightness), output);

    // No COM object may outlive the apartment.
    preamble.ReleaseAll();
    setter.ReleaseAll();
    CoUninitialize();
    return SUCCEEDED(status);
}
