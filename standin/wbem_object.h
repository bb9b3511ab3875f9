#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "standin/com_object.h"

// One generic property bag serves as class, instance, method signature and method output.
class WbemObject final : public ComObject<IWbemClassObject> {
  public:
    static WbemObject* NewClass(std::wstring className);
    // The stand-in's own object behind `object`, with a reference, or null for a foreign one.
    static WbemObject* FromInterface(IUnknown* object);

    void Declare(std::wstring name, VARTYPE type);
    void Assign(std::wstring_view name, const VARIANT& value);
    // Takes over one reference on each signature.
    void AddMethod(std::wstring name, WbemObject* inSignature, WbemObject* outSignature);
    // The value of a declared property (VT_NULL until put), or null if it is not declared.
    const VARIANT* Value(std::wstring_view name) const;
    // The value of an integer property, or -1.
    long IntegerValue(std::wstring_view name) const;

    const std::wstring& ClassName() const { return className_; }
    bool IsClass() const { return isClass_; }
    std::wstring path;    // answered as "__PATH"; empty: none
    std::wstring origin;  // for a method signature: the class and method it belongs to

    ~WbemObject() override;

    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type,
                                  LONG* flavor) override;
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE type) override;
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG flags, IWbemClassObject** instance) override;
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR name, LONG flags, IWbemClassObject** inSignature,
                                        IWbemClassObject** outSignature) override;

    // Not needed by any client of the firmware provider.
    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override {
        return Unsupported();
    }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) override {
        return Unsupported();
    }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override {
        return Unsupported();
    }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override {
        return Unsupported();
    }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR*) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override {
        return Unsupported();
    }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*,
                                        IWbemClassObject*) override {
        return Unsupported();
    }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**,
                                         IWbemClassObject**) override {
        return Unsupported();
    }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return Unsupported(); }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override {
        return Unsupported();
    }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return Unsupported(); }

  protected:
    void* QueryOther(REFIID iid) override;
    void Retire() override;

  private:
    struct Property {
        std::wstring name;
        VARTYPE type;
        VARIANT value;
    };
    struct Method {
        std::wstring name;
        WbemObject* inSignature;
        WbemObject* outSignature;
    };

    WbemObject(std::wstring className, bool isClass);
    static HRESULT Unsupported() { return WbemError(WBEM_E_NOT_SUPPORTED); }
    Property* Find(std::wstring_view name);
    bool PutFaultInjected(std::wstring_view name, const VARIANT& value);

    std::wstring className_;
    bool isClass_;
    std::vector<Property> properties_;
    std::vector<Method> methods_;
};
