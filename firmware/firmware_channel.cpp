#include "firmware/firmware_channel.h"

#include <cwchar>

#include "firmware/com_values.h"
#include "firmware/wmi_names.h"

namespace {

template <class Interface>
void ReleaseHeld(Interface*& object) {
    if (object) object->Release();
    object = nullptr;
}

bool HoldsObject(const VARIANT& value) {
    return (value.vt == VT_UNKNOWN || value.vt == VT_DISPATCH) && value.punkVal != nullptr;
}

}  // namespace

HRESULT FormMethodName(MethodNameBuffer& name) {
    name.fill(L'\0');
    const int written =
        std::swprintf(name.data(), kMethodNameFormatBytes / sizeof(wchar_t), L"orvBIOSInt%ld", 0L);
    return written < 0 ? E_FAIL : S_OK;
}

HRESULT FirmwareChannel::Invoke(LONG commandType, const DataBlock& input, DataBlock& output) {
    const HRESULT status = Send(commandType, input, output);
    ReleaseAll();
    return status;
}

HRESULT FirmwareChannel::Send(LONG commandType, const DataBlock& input, DataBlock& output) {
    HRESULT status = Connect();
    if (FAILED(status)) return status;
    status = CoSetProxyBlanket(services,                     // proxy
                               RPC_C_AUTHN_WINNT,            // authentication service
                               RPC_C_AUTHZ_NONE,             // authorization service
                               nullptr,                      // server principal name
                               RPC_C_AUTHN_LEVEL_CALL,       // authentication level
                               RPC_C_IMP_LEVEL_IMPERSONATE,  // impersonation level
                               nullptr,                      // client identity
                               EOAC_NONE);                   // capabilities
    if (FAILED(status)) return status;
    if (FAILED(status = PrepareRequest())) return status;

    fillStatus = S_OK;
    FillRequest(input, commandType);
    if (FAILED(fillStatus)) return fillStatus;

    IWbemClassObject* instance = nullptr;
    status = FindFirmwareInstance(instance);
    // No firmware object means nothing was executed: that is a failure, whatever the enumeration
    // itself reported.
    if (instance == nullptr) return FAILED(status) ? status : WbemError(WBEM_E_NOT_FOUND);
    if (SUCCEEDED(status)) status = ExecuteOn(*instance);
    instance->Release();
    if (FAILED(status)) return status;
    return ReadResponse(output);
}

HRESULT FirmwareChannel::Connect() {
    HRESULT status = S_OK;
    if (locator == nullptr) {
        status = CoCreateInstance(kClsidWbemAdministrativeLocator, nullptr, CLSCTX_INPROC_SERVER,
                                  kIidWbemLocator, reinterpret_cast<void**>(&locator));
    }
    if (locator != nullptr && services == nullptr) {
        const Bstr wmiNamespace(kFirmwareNamespace);
        if (!wmiNamespace) return E_OUTOFMEMORY;
        status = locator->ConnectServer(wmiNamespace.get(),  // namespace
                                        nullptr,             // user
                                        nullptr,             // password
                                        nullptr,             // locale
                                        0,                   // security flags
                                        nullptr,             // authority
                                        nullptr,             // context
                                        &services);
    }
    if (locator == nullptr || services == nullptr) return FAILED(status) ? status : E_POINTER;
    return S_OK;
}

HRESULT FirmwareChannel::PrepareRequest() {
    const Bstr firmwareClassName(kFirmwareClassName);
    const Bstr requestBlockClassName(kRequestBlockClassName);
    if (!firmwareClassName || !requestBlockClassName) return E_OUTOFMEMORY;

    HRESULT status =
        services->GetObject(firmwareClassName.get(), 0, nullptr, &firmwareClass, nullptr);
    if (FAILED(status)) return status;
    MethodNameBuffer methodName;
    if (FAILED(status = FormMethodName(methodName))) return status;
    status = firmwareClass->GetMethod(methodName.data(), 0, &methodSignature, nullptr);
    if (FAILED(status)) return status;
    // A method without input parameters has no signature, and nothing to carry the request.
    if (methodSignature == nullptr) return WbemError(WBEM_E_INVALID_METHOD_PARAMETERS);
    if (FAILED(status = methodSignature->SpawnInstance(0, &methodInput))) return status;
    status =
        services->GetObject(requestBlockClassName.get(), 0, nullptr, &requestBlockClass, nullptr);
    if (FAILED(status)) return status;
    return requestBlockClass->SpawnInstance(0, &requestBlock);
}

HRESULT FirmwareChannel::FindFirmwareInstance(IWbemClassObject*& instance) {
    const Bstr firmwareClassName(kFirmwareClassName);
    if (!firmwareClassName) return E_OUTOFMEMORY;
    IEnumWbemClassObject* enumerator = nullptr;
    HRESULT status = services->CreateInstanceEnum(
        firmwareClassName.get(), WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr,
        &enumerator);
    if (FAILED(status)) return status;
    ULONG returned = 0;
    status = enumerator->Next(kEnumerationTimeoutMs, 1, &instance, &returned);
    enumerator->Release();
    if (returned == 0) instance = nullptr;
    return status;
}

HRESULT FirmwareChannel::ExecuteOn(IWbemClassObject& instance) {
    Variant path;
    HRESULT status = instance.Get(L"__PATH", 0, path.get(), nullptr, nullptr);
    if (FAILED(status)) return status;
    if ((*path).vt != VT_BSTR || (*path).bstrVal == nullptr)
        return WbemError(WBEM_E_INVALID_OBJECT_PATH);

    MethodNameBuffer methodName;
    if (FAILED(status = FormMethodName(methodName))) return status;
    const Bstr methodNameBstr(methodName.data());
    if (!methodNameBstr) return E_OUTOFMEMORY;
    return services->ExecMethod((*path).bstrVal,       // object path
                                methodNameBstr.get(),  // method name
                                0,                     // flags
                                nullptr,               // context
                                methodInput,           // input parameters
                                &methodOutput,         // output parameters
                                nullptr);              // call result
}

HRESULT FirmwareChannel::ReadResponse(DataBlock& output) {
    output.fill(0);
    // A method that "succeeded" without any answer did not do what was asked.
    if (methodOutput == nullptr) return WbemError(WBEM_E_FAILED);
    Variant outData;
    HRESULT status = methodOutput->Get(L"OutData", 0, outData.get(), nullptr, nullptr);
    if (FAILED(status)) return status;
    ReleaseHeld(methodOutput);
    if (!HoldsObject(*outData)) return WbemError(WBEM_E_TYPE_MISMATCH);

    IWbemClassObject* answer = nullptr;
    status =
        (*outData).punkVal->QueryInterface(kIidWbemClassObject, reinterpret_cast<void**>(&answer));
    if (FAILED(status)) return status;
    // Read to prove the answer is well-formed; its value carries no meaning for the caller.
    Variant returnCode;
    status = answer->Get(L"rwReturnCode", 0, returnCode.get(), nullptr, nullptr);
    answer->Release();
    return status;
}

void FirmwareChannel::ReleaseAll() {
    ReleaseHeld(requestBlockClass);
    ReleaseHeld(requestBlock);
    ReleaseHeld(methodInput);
    ReleaseHeld(methodOutput);
    ReleaseHeld(firmwareClass);
    ReleaseHeld(methodSignature);
    ReleaseHeld(services);
    ReleaseHeld(locator);
}
