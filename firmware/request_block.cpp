#include <array>
#include <cstdint>

#include "firmware/com_values.h"
#include "firmware/firmware_channel.h"

namespace {

constexpr std::array<std::uint8_t, 4> kSignature = {0x53, 0x45, 0x43, 0x55};  // "SECU"
constexpr LONG kCommand = 0x20009;

HRESULT PutByteArray(IWbemClassObject& object, const wchar_t* name, const std::uint8_t* bytes,
                     LONG count) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(count));
    if (array == nullptr) return E_OUTOFMEMORY;
    // From here on the VARIANT owns the array and destroys it when it goes out of scope.
    Variant value;
    value.get()->vt = VT_ARRAY | VT_UI1;
    value.get()->parray = array;
    for (LONG index = 0; index < count; ++index) {
        std::uint8_t byte = bytes[index];
        const HRESULT status = SafeArrayPutElement(array, &index, &byte);
        if (FAILED(status)) return status;
    }
    return object.Put(name, 0, value.get(), 0);
}

HRESULT PutLong(IWbemClassObject& object, const wchar_t* name, LONG number) {
    Variant value;
    value.get()->vt = VT_I4;
    value.get()->lVal = number;
    return object.Put(name, 0, value.get(), 0);
}

HRESULT FillBlock(IWbemClassObject& block, const DataBlock& input, LONG commandType) {
    HRESULT status = S_OK;
    const LONG signatureSize = static_cast<LONG>(kSignature.size());
    if (FAILED(status = PutByteArray(block, L"Sign", kSignature.data(), signatureSize))) {
        return status;
    }
    if (FAILED(status = PutLong(block, L"Command", kCommand))) return status;
    if (FAILED(status = PutLong(block, L"CommandType", commandType))) return status;
    if (FAILED(status = PutLong(block, L"Size", static_cast<LONG>(input.size())))) return status;
    return PutByteArray(block, L"orvBData", input.data(), static_cast<LONG>(input.size()));
}

}  // namespace

void FirmwareChannel::FillRequest(const DataBlock& input, LONG commandType) {
    if (requestBlock == nullptr || methodInput == nullptr) {
        fillStatus = E_POINTER;
        return;
    }
    if (FAILED(fillStatus = FillBlock(*requestBlock, input, commandType))) return;

    // Put takes its own reference on the block; the channel keeps its own, so this VARIANT is
    // deliberately not cleared.
    VARIANT inData;
    VariantInit(&inData);
    inData.vt = VT_UNKNOWN;
    inData.punkVal = requestBlock;
    fillStatus = methodInput->Put(L"InData", 0, &inData, 0);
}
