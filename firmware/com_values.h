#pragma once

#include <windows.h>
#include <oleauto.h>

// Owns a BSTR. WMI marshals a BSTR by the length stored in front of it, so every string that an
// interface takes as a BSTR goes through one of these, never as a plain wide buffer.
class Bstr {
  public:
    explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return value_; }
    explicit operator bool() const { return value_ != nullptr; }

  private:
    BSTR value_;
};

// Owns a VARIANT and clears it, with whatever it refers to, when it goes out of scope.
class Variant {
  public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() { return &value_; }
    const VARIANT& operator*() const { return value_; }

  private:
    VARIANT value_;
};
