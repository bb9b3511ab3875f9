#include "standin/services.h"

#include <vector>

#include "standin/firmware_provider.h"

namespace {

constexpr LONG kProviderAnswerMs = 100;

bool IsName(const BSTR text, const wchar_t* name) {
    return IsBstr(text) && CompareStringOrdinal(text, -1, name, -1, TRUE) == CSTR_EQUAL;
}

// Hands out the firmware instance, or nothing when a fault says there is none.
class InstanceEnumerator final : public ComObject<IEnumWbemClassObject> {
  public:
    HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects,
                                   ULONG* returned) override {
        if (Dead()) return NoteMisuse(L"Next");
        if (objects == nullptr || returned == nullptr || count == 0) {
            return WbemError(WBEM_E_INVALID_PARAMETER);
        }
        *returned = 0;
        // The provider takes a moment to answer, so a Next that hardly waits gets nothing.
        const bool waits =
            timeout == static_cast<LONG>(WBEM_INFINITE) || timeout >= kProviderAnswerMs;
        if (HasFault(L"enum-timeout") || !waits) return WBEM_S_TIMEDOUT;
        if (HasFault(L"no-instance") || handedOut_) return WBEM_S_FALSE;
        handedOut_ = true;
        objects[0] = NewFirmwareInstance();
        *returned = 1;
        return count == 1 ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        handedOut_ = false;
        return WBEM_S_NO_ERROR;
    }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override {
        return WbemError(WBEM_E_NOT_SUPPORTED);
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override {
        return WbemError(WBEM_E_NOT_SUPPORTED);
    }
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return WbemError(WBEM_E_NOT_SUPPORTED); }

  private:
    bool handedOut_ = false;
};

}  // namespace

HRESULT Services::GetObject(const BSTR path, LONG flags, IWbemContext*, IWbemClassObject** object,
                            IWbemCallResult** callResult) {
    if (Dead()) return NoteMisuse(L"GetObject");
    JsonLine line(L"GetObject");
    line.Add(L"path", path ? path : L"");
    HRESULT status = WbemError(WBEM_E_INVALID_PARAMETER);
    if (object != nullptr) *object = nullptr;
    const bool wellFormed =
        IsBstr(path) && flags == 0 && object != nullptr && callResult == nullptr;
    if (!wellFormed) {
        line.Add(L"error", L"malformed call");
    } else if (HasFault(std::wstring(L"missing-class:") + path)) {
        status = WbemError(WBEM_E_NOT_FOUND);
    } else if (IsName(path, kFirmwareClass)) {
        *object = NewFirmwareClass();
        status = WBEM_S_NO_ERROR;
    } else if (IsName(path, kRequestBlockClass)) {
        *object = NewRequestBlockClass();
        status = WBEM_S_NO_ERROR;
    } else {
        status = WbemError(WBEM_E_NOT_FOUND);
    }
    line.AddStatus(status).Write();
    return status;
}

HRESULT Services::CreateInstanceEnum(const BSTR className, LONG flags, IWbemContext*,
                                     IEnumWbemClassObject** enumerator) {
    if (Dead()) return NoteMisuse(L"CreateInstanceEnum");
    JsonLine line(L"CreateInstanceEnum");
    line.Add(L"class", className ? className : L"").Add(L"flags", flags);
    HRESULT status = WbemError(WBEM_E_INVALID_PARAMETER);
    if (enumerator != nullptr) *enumerator = nullptr;
    if (enumerator == nullptr || !IsBstr(className)) {
        line.Add(L"error", L"malformed call");
    } else if (!IsName(className, kFirmwareClass)) {
        status = WbemError(WBEM_E_INVALID_CLASS);
    } else if (flags != (WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY)) {
        line.Add(L"error", L"unexpected flags");
    } else if (HasFault(L"enum-fail")) {
        status = WbemError(WBEM_E_FAILED);
    } else {
        *enumerator = new InstanceEnumerator();
        status = WBEM_S_NO_ERROR;
    }
    line.AddStatus(status).Write();
    return status;
}

HRESULT Services::ExecMethod(const BSTR path, const BSTR method, LONG flags, IWbemContext*,
                             IWbemClassObject* input, IWbemClassObject** output,
                             IWbemCallResult** callResult) {
    if (Dead()) return NoteMisuse(L"ExecMethod");
    JsonLine line(L"ExecMethod");
    line.Add(L"path", path ? path : L"").Add(L"method", method ? method : L"");
    if (output != nullptr) *output = nullptr;
    int brightness = -1;
    HRESULT status = WbemError(WBEM_E_INVALID_PARAMETER);
    if (!IsBstr(path) || wcscmp(path, kInstancePath) != 0) {
        status = WbemError(WBEM_E_INVALID_OBJECT_PATH);
        line.Add(L"error", L"not the firmware instance's path, or not a BSTR");
    } else if (!IsBstr(method) || wcscmp(method, kFirmwareMethod) != 0) {
        status = WbemError(WBEM_E_INVALID_METHOD);
        line.Add(L"error", L"not the firmware method, or not a BSTR");
    } else if (flags != 0 || output == nullptr || callResult != nullptr) {
        line.Add(L"error", L"malformed call");
    } else {
        status = CheckMethodInput(input, line, brightness);
    }
    if (SUCCEEDED(status)) {
        const std::wstring commandType = brightness < 0 ? L"3" : L"5";
        if (HasFault(L"exec-crash:" + commandType)) {
            // The provider takes the process down in the middle of the request.
            line.Add(L"error", L"crashed").Write();
            TerminateProcess(GetCurrentProcess(), STATUS_ACCESS_VIOLATION);
        }
        // The provider never answers: only whoever started the program can end it.
        if (HasFault(L"exec-hang:" + commandType)) Sleep(INFINITE);
        if (HasFault(L"exec-fail:" + commandType)) {
            status = WbemError(WBEM_E_FAILED);
        } else {
            *output = NewMethodOutput();
            if (brightness >= 0) RememberBrightness(brightness);
        }
    }
    line.AddStatus(status).Write();
    return status;
}
