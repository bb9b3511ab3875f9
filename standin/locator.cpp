// The administrative locator: the stand-in's entry, registered under the locator's CLSID.
#include <objbase.h>

#include "standin/environment.h"
#include "standin/firmware_provider.h"
#include "standin/services.h"

namespace {

LONG serverLocks = 0;

class Locator final : public ComObject<IWbemLocator> {
  public:
    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR wmiNamespace, const BSTR user,
                                            const BSTR password, const BSTR locale, LONG flags,
                                            const BSTR authority, IWbemContext* context,
                                            IWbemServices** services) override {
        if (Dead()) return NoteMisuse(L"ConnectServer");
        JsonLine line(L"ConnectServer");
        line.Add(L"namespace", wmiNamespace ? wmiNamespace : L"");
        HRESULT status = WbemError(WBEM_E_INVALID_PARAMETER);
        if (services != nullptr) *services = nullptr;
        // The caller connects as itself, with the process's locale.
        const bool asCaller = user == nullptr && password == nullptr && locale == nullptr &&
                              authority == nullptr && context == nullptr;
        if (services == nullptr || flags != 0 || !asCaller || !IsBstr(wmiNamespace)) {
            line.Add(L"error", L"malformed call");
        } else if (CompareStringOrdinal(wmiNamespace, -1, L"root\\wmi", -1, TRUE) != CSTR_EQUAL) {
            status = WbemError(WBEM_E_INVALID_NAMESPACE);
        } else if (HasFault(L"connect-fail")) {
            status = WbemError(WBEM_E_ACCESS_DENIED);
        } else {
            *services = new Services();
            status = WBEM_S_NO_ERROR;
        }
        line.AddStatus(status).Write();
        return status;
    }
};

// COM's own object, not one the client holds: static and uncounted.
class LocatorFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = (iid == __uuidof(IUnknown) || iid == __uuidof(IClassFactory)) ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        JsonLine(L"CreateLocator").Write();
        Locator* locator = new Locator();
        const HRESULT status = locator->QueryInterface(iid, object);
        locator->Release();
        return status;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&serverLocks);
        } else {
            InterlockedDecrement(&serverLocks);
        }
        return S_OK;
    }
};

LocatorFactory factory;

}  // namespace

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (clsid != kClsidWbemAdministrativeLocator) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

HRESULT WINAPI DllCanUnloadNow() {
    const LONG live = LiveObjectCount();
    JsonLine(L"DllCanUnloadNow").Add(L"live", live).Add(L"misuses", MisuseCount()).Write();
    return live == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

// For in-process tests: how many of the stand-in's objects are alive right now.
LONG WINAPI StandInLiveObjects() {
    return LiveObjectCount();
}

// For in-process tests: how many calls reached an object after its last release.
LONG WINAPI StandInMisuses() {
    return MisuseCount();
}

}  // extern "C"
