#include "standin/wbem_object.h"

#include <windows.h>
#include <oleauto.h>

#include "standin/environment.h"

namespace {

// Private interface id: answered only by the stand-in's own objects.
constexpr IID kIidStandInObject = {
    0x6b1f3a52, 0x0c4e, 0x4d8e, {0x9a, 0x31, 0x5e, 0x77, 0x20, 0x1c, 0x8b, 0x64}};

bool SameName(std::wstring_view left, std::wstring_view right) {
    return CompareStringOrdinal(left.data(), static_cast<int>(left.size()), right.data(),
                                static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

HRESULT ReturnBstr(const std::wstring& text, VARIANT* value) {
    value->vt = VT_NULL;
    if (text.empty()) return WBEM_S_NO_ERROR;
    value->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (value->bstrVal == nullptr) return WbemError(WBEM_E_OUT_OF_MEMORY);
    value->vt = VT_BSTR;
    return WBEM_S_NO_ERROR;
}

}  // namespace

WbemObject::WbemObject(std::wstring className, bool isClass)
    : className_(std::move(className)), isClass_(isClass) {}

WbemObject::~WbemObject() {
    Retire();
}

void WbemObject::Retire() {
    for (auto& property : properties_) VariantClear(&property.value);
    properties_.clear();
    for (auto& method : methods_) {
        if (method.inSignature) method.inSignature->Release();
        if (method.outSignature) method.outSignature->Release();
    }
    methods_.clear();
}

WbemObject* WbemObject::NewClass(std::wstring className) {
    return new WbemObject(std::move(className), true);
}

WbemObject* WbemObject::FromInterface(IUnknown* object) {
    void* own = nullptr;
    if (object == nullptr || FAILED(object->QueryInterface(kIidStandInObject, &own)))
        return nullptr;
    return static_cast<WbemObject*>(static_cast<IWbemClassObject*>(own));
}

void* WbemObject::QueryOther(REFIID iid) {
    return iid == kIidStandInObject ? static_cast<IWbemClassObject*>(this) : nullptr;
}

void WbemObject::Declare(std::wstring name, VARTYPE type) {
    Property property{std::move(name), type, {}};
    VariantInit(&property.value);
    property.value.vt = VT_NULL;
    properties_.push_back(std::move(property));
}

void WbemObject::Assign(std::wstring_view name, const VARIANT& value) {
    if (Property* property = Find(name))
        VariantCopy(&property->value, const_cast<VARIANT*>(&value));
}

void WbemObject::AddMethod(std::wstring name, WbemObject* inSignature, WbemObject* outSignature) {
    methods_.push_back({std::move(name), inSignature, outSignature});
}

const VARIANT* WbemObject::Value(std::wstring_view name) const {
    for (const auto& property : properties_) {
        if (SameName(property.name, name)) return &property.value;
    }
    return nullptr;
}

long WbemObject::IntegerValue(std::wstring_view name) const {
    const VARIANT* value = Value(name);
    return value != nullptr && value->vt == VT_I4 ? value->lVal : -1;
}

WbemObject::Property* WbemObject::Find(std::wstring_view name) {
    for (auto& property : properties_) {
        if (SameName(property.name, name)) return &property;
    }
    return nullptr;
}

HRESULT WbemObject::Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type, LONG* flavor) {
    if (Dead()) return NoteMisuse(L"Get");
    if (name == nullptr || flags != 0) return WbemError(WBEM_E_INVALID_PARAMETER);
    if (type) *type = 0;
    if (flavor) *flavor = 0;
    if (value == nullptr) {
        const bool known = SameName(name, L"__CLASS") || SameName(name, L"__PATH") || Find(name);
        return known ? S_OK : WbemError(WBEM_E_NOT_FOUND);
    }
    VariantInit(value);
    if (SameName(name, L"__CLASS")) return ReturnBstr(className_, value);
    if (SameName(name, L"__PATH")) {
        if (HasFault(L"no-path")) return WbemError(WBEM_E_NOT_FOUND);
        return ReturnBstr(path, value);
    }
    const Property* property = Find(name);
    if (property == nullptr) return WbemError(WBEM_E_NOT_FOUND);
    return VariantCopy(value, const_cast<VARIANT*>(&property->value));
}

bool WbemObject::PutFaultInjected(std::wstring_view name, const VARIANT& value) {
    const std::wstring fault = L"put-fail:" + std::wstring(name);
    if (HasFault(fault)) return true;
    // "@N" narrows the fault to requests of command type N: the block's own, or, for the
    // method input, that of the block being put into it.
    long commandType = IntegerValue(L"CommandType");
    if (value.vt == VT_UNKNOWN) {
        if (WbemObject* block = FromInterface(value.punkVal)) {
            commandType = block->IntegerValue(L"CommandType");
            block->Release();
        }
    }
    return HasFault(fault + L"@" + std::to_wstring(commandType));
}

HRESULT WbemObject::Put(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE type) {
    if (Dead()) return NoteMisuse(L"Put");
    if (name == nullptr || value == nullptr || flags != 0 || type != 0) {
        return WbemError(WBEM_E_INVALID_PARAMETER);
    }
    if (name[0] == L'_' && name[1] == L'_') return WbemError(WBEM_E_SYSTEM_PROPERTY);
    // Clients of the firmware only ever fill in instances.
    if (isClass_) return WbemError(WBEM_E_INVALID_OPERATION);
    Property* property = Find(name);
    if (property == nullptr) return WbemError(WBEM_E_NOT_FOUND);
    if (value->vt != property->type) return WbemError(WBEM_E_TYPE_MISMATCH);
    if (PutFaultInjected(name, *value)) return WbemError(WBEM_E_FAILED);
    return VariantCopy(&property->value, value);
}

HRESULT WbemObject::SpawnInstance(LONG flags, IWbemClassObject** instance) {
    if (Dead()) return NoteMisuse(L"SpawnInstance");
    if (instance == nullptr || flags != 0) return WbemError(WBEM_E_INVALID_PARAMETER);
    *instance = nullptr;
    if (!isClass_) return WbemError(WBEM_E_INVALID_OPERATION);
    auto* spawned = new WbemObject(className_, false);
    for (const auto& property : properties_) spawned->Declare(property.name, property.type);
    spawned->origin = origin;
    *instance = spawned;
    return WBEM_S_NO_ERROR;
}

HRESULT WbemObject::GetMethod(LPCWSTR name, LONG flags, IWbemClassObject** inSignature,
                              IWbemClassObject** outSignature) {
    if (Dead()) return NoteMisuse(L"GetMethod");
    if (name == nullptr || flags != 0) return WbemError(WBEM_E_INVALID_PARAMETER);
    if (inSignature) *inSignature = nullptr;
    if (outSignature) *outSignature = nullptr;
    if (!isClass_) return WbemError(WBEM_E_INVALID_OPERATION);
    for (const auto& method : methods_) {
        if (!SameName(method.name, name)) continue;
        if (inSignature) (*inSignature = method.inSignature)->AddRef();
        if (outSignature) (*outSignature = method.outSignature)->AddRef();
        return WBEM_S_NO_ERROR;
    }
    return WbemError(WBEM_E_NOT_FOUND);
}
