#pragma once

#include <wbemcli.h>
#include <windows.h>

#include "firmware/wbem_ids.h"

// Every object the stand-in hands out is counted, so a test can prove that a client released
// each reference it took.
LONG& LiveObjectCount();
// A call on an object after its last release: logged and counted, so a test can prove that a
// client released nothing twice. Answers E_UNEXPECTED.
HRESULT NoteMisuse(const wchar_t* call);
LONG& MisuseCount();

// An object whose last reference is gone gives up what it holds at once but stays in memory for
// a while, so that a late call on it is noticed rather than landing in freed memory.
class Retirable {
  public:
    virtual ~Retirable() = default;

  protected:
    // Releases what the object holds; may run again from the destructor.
    virtual void Retire() {}
    static void Quarantine(Retirable* object);
};

// Reference counting and QueryInterface for an object exposing `Interface`; further interfaces
// are answered by QueryOther.
template <class Interface>
class ComObject : public Interface, public Retirable {
  public:
    ComObject() { InterlockedIncrement(&LiveObjectCount()); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (Dead()) return NoteMisuse(L"QueryInterface");
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
    ULONG STDMETHODCALLTYPE AddRef() override {
        if (Dead()) {
            NoteMisuse(L"AddRef");
            return 0;
        }
        return InterlockedIncrement(&references_);
    }
    ULONG STDMETHODCALLTYPE Release() override {
        if (Dead()) {
            NoteMisuse(L"Release");
            return 0;
        }
        const ULONG remaining = InterlockedDecrement(&references_);
        if (remaining == 0) {
            InterlockedDecrement(&LiveObjectCount());
            Retire();
            Quarantine(this);
        }
        return remaining;
    }

  protected:
    virtual void* QueryOther(REFIID) { return nullptr; }
    bool Dead() const { return references_ == 0; }

  private:
    LONG references_ = 1;
};
