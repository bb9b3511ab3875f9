#include "standin/firmware_provider.h"

#include <windows.h>
#include <oleauto.h>

#include <cwchar>

namespace {

constexpr long kCommand = 0x20009;
constexpr long kBlockSize = 128;
constexpr unsigned char kSignature[] = {'S', 'E', 'C', 'U'};

std::wstring FirmwareMethodOrigin() {
    return std::wstring(kFirmwareClass) + L"." + kFirmwareMethod;
}

// A fresh instance of a class that nobody else holds.
WbemObject* InstanceOf(WbemObject* newClass) {
    IWbemClassObject* instance = nullptr;
    newClass->SpawnInstance(0, &instance);
    newClass->Release();
    return static_cast<WbemObject*>(instance);
}

WbemObject* NewSignature(const wchar_t* parameter, std::wstring origin) {
    WbemObject* signature = WbemObject::NewClass(L"__PARAMETERS");
    signature->Declare(parameter, VT_UNKNOWN);
    signature->origin = std::move(origin);
    return signature;
}

// Reads a one-dimensional byte array indexed from 0 with exactly `count` elements.
bool ReadBytes(const VARIANT* value, long count, unsigned char* bytes) {
    if (value == nullptr || value->vt != (VT_ARRAY | VT_UI1) || value->parray == nullptr) {
        return false;
    }
    SAFEARRAY* array = value->parray;
    LONG lower = 0;
    LONG upper = 0;
    if (SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != 1 ||
        FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper)) || lower != 0 || upper != count - 1) {
        return false;
    }
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return false;
    memcpy(bytes, data, static_cast<size_t>(count));
    SafeArrayUnaccessData(array);
    return true;
}

HRESULT Reject(JsonLine& line, const wchar_t* reason) {
    line.Add(L"error", reason);
    return WbemError(WBEM_E_INVALID_PARAMETER);
}

HRESULT CheckBlock(const WbemObject& block, JsonLine& line, int& brightness) {
    if (block.IsClass() || block.ClassName() != kRequestBlockClass) {
        return Reject(line, L"InData is not an orvBDataIn instance");
    }
    unsigned char sign[4];
    if (!ReadBytes(block.Value(L"Sign"), 4, sign)) return Reject(line, L"Sign is not 4 bytes");
    line.Add(L"Sign", HexBytes(sign, 4));
    const long command = block.IntegerValue(L"Command");
    const long commandType = block.IntegerValue(L"CommandType");
    const long size = block.IntegerValue(L"Size");
    line.Add(L"Command", command).Add(L"CommandType", commandType).Add(L"Size", size);
    unsigned char data[kBlockSize];
    if (!ReadBytes(block.Value(L"orvBData"), kBlockSize, data)) {
        return Reject(line, L"orvBData is not 128 bytes");
    }
    line.Add(L"orvBData", HexBytes(data, kBlockSize));

    if (memcmp(sign, kSignature, sizeof(kSignature)) != 0) return Reject(line, L"Sign is not SECU");
    if (command != kCommand) return Reject(line, L"Command is not 0x20009");
    if (commandType != 3 && commandType != 5) return Reject(line, L"CommandType is not 3 or 5");
    if (size != kBlockSize) return Reject(line, L"Size is not 128");
    brightness = -1;
    if (commandType == 5) {
        if (data[kBlockSize - 1] > 100) return Reject(line, L"brightness above 100");
        brightness = data[kBlockSize - 1];
    }
    return WBEM_S_NO_ERROR;
}

}  // namespace

bool IsBstr(const BSTR text) {
    return text != nullptr && SysStringLen(text) == wcslen(text);
}

WbemObject* NewFirmwareClass() {
    WbemObject* firmware = WbemObject::NewClass(kFirmwareClass);
    firmware->Declare(L"InstanceName", VT_BSTR);
    firmware->Declare(L"Active", VT_BOOL);
    firmware->AddMethod(kFirmwareMethod, NewSignature(L"InData", FirmwareMethodOrigin()),
                        NewSignature(L"OutData", FirmwareMethodOrigin()));
    return firmware;
}

WbemObject* NewRequestBlockClass() {
    WbemObject* block = WbemObject::NewClass(kRequestBlockClass);
    block->Declare(L"Sign", VT_ARRAY | VT_UI1);
    block->Declare(L"Command", VT_I4);
    block->Declare(L"CommandType", VT_I4);
    block->Declare(L"Size", VT_I4);
    block->Declare(L"orvBData", VT_ARRAY | VT_UI1);
    return block;
}

WbemObject* NewFirmwareInstance() {
    WbemObject* instance = InstanceOf(NewFirmwareClass());
    instance->path = kInstancePath;
    return instance;
}

HRESULT CheckMethodInput(IWbemClassObject* input, JsonLine& line, int& brightness) {
    WbemObject* parameters = WbemObject::FromInterface(input);
    if (parameters == nullptr) return Reject(line, L"input is not a method input instance");
    const bool fromSignature =
        !parameters->IsClass() && parameters->origin == FirmwareMethodOrigin();
    const VARIANT* inData = parameters->Value(L"InData");
    WbemObject* block = nullptr;
    if (fromSignature && inData != nullptr && inData->vt == VT_UNKNOWN) {
        block = WbemObject::FromInterface(inData->punkVal);
    }
    parameters->Release();
    if (!fromSignature) return Reject(line, L"input was not spawned from the method's signature");
    if (block == nullptr) return Reject(line, L"InData does not hold a request block");
    const HRESULT status = CheckBlock(*block, line, brightness);
    block->Release();
    return status;
}

WbemObject* NewMethodOutput() {
    if (HasFault(L"no-output")) return nullptr;
    WbemObject* outputClass = WbemObject::NewClass(L"__PARAMETERS");
    outputClass->Declare(L"OutData", VT_UNKNOWN);
    WbemObject* result = InstanceOf(outputClass);

    VARIANT outData;
    VariantInit(&outData);
    if (HasFault(L"outdata-not-object")) {
        outData.vt = VT_I4;
        outData.lVal = 0;
    } else if (HasFault(L"outdata-null-object")) {
        outData.vt = VT_UNKNOWN;
        outData.punkVal = nullptr;
    } else {
        WbemObject* answerClass = WbemObject::NewClass(L"orvBDataOut");
        if (!HasFault(L"no-return-code")) answerClass->Declare(L"rwReturnCode", VT_I4);
        WbemObject* answer = InstanceOf(answerClass);
        VARIANT returnCode;
        VariantInit(&returnCode);
        returnCode.vt = VT_I4;
        returnCode.lVal = 0;
        answer->Assign(L"rwReturnCode", returnCode);
        outData.vt = VT_UNKNOWN;
        outData.punkVal = static_cast<IWbemClassObject*>(answer);
    }
    result->Assign(L"OutData", outData);
    VariantClear(&outData);
    return result;
}
