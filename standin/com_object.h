#pragma once

#include <wbemcli.h>
#include <windows.h>

// WBEM's error enumerators lie above INT_MAX; as HRESULTs they are negative.
constexpr HRESULT WbemError(WBEMSTATUS status) {
    return static_cast<HRESULT>(status);
}

// Every object the stand-in hands out is counted, so a test can prove that a client released
// each reference it took.
LONG& LiveObjectCount();

// Reference counting and QueryInterface for an object exposing `Interface`; further interfaces
// are answered by QueryOther.
template <class Interface>
class ComObject : public Interface {
  public:
    ComObject() { InterlockedIncrement(&LiveObjectCount()); }
    virtual ~ComObject() { InterlockedDecrement(&LiveObjectCount()); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(Interface)) {
            *object = static_cast<Interface*>(this);
        } else {
            *object = QueryOther(iid);
        }
        if (*object == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG remaining = InterlockedDecrement(&references_);
        if (remaining == 0) delete this;
        return remaining;
    }

  protected:
    virtual void* QueryOther(REFIID) { return nullptr; }

  private:
    LONG references_ = 1;
};
