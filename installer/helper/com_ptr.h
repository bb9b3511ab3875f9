#pragma once

// Owns one reference on a COM object and releases it when it goes out of scope; put() hands an
// interface's out-parameter the place to store the reference it returns.
template <class Interface>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* operator->() const { return object_; }
    Interface& operator*() const { return *object_; }
    Interface** put() {
        Reset();
        return &object_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

  private:
    void Reset() {
        if (object_ != nullptr) object_->Release();
        object_ = nullptr;
    }

    Interface* object_ = nullptr;
};
