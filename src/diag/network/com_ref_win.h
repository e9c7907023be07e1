#pragma once
// Owners of COM interface pointers, BSTRs and VARIANTs.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace qor {

template <typename T>
class ComRef {
public:
    ComRef() noexcept = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { Reset(); }

    T* Get() const noexcept { return object_; }
    T* operator->() const noexcept { return object_; }
    T** Put() noexcept {
        Reset();
        return &object_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    void Reset() noexcept {
        if (object_) std::exchange(object_, nullptr)->Release();
    }

private:
    T* object_ = nullptr;
};

// One COM initialisation of the thread, undone when it was ours.
class ComApartment {
public:
    explicit ComApartment(DWORD model) noexcept : answer_(CoInitializeEx(nullptr, model)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(answer_)) CoUninitialize();
    }
    // Failed unless initialised here or already in another apartment model.
    bool Usable() const noexcept { return SUCCEEDED(answer_) || answer_ == RPC_E_CHANGED_MODE; }
    HRESULT Answer() const noexcept { return answer_; }

private:
    HRESULT answer_;
};

class BstrText {
public:
    BstrText() noexcept = default;
    BstrText(const BstrText&) = delete;
    BstrText& operator=(const BstrText&) = delete;
    ~BstrText() { SysFreeString(text_); }

    BSTR* Put() noexcept {
        SysFreeString(std::exchange(text_, nullptr));
        return &text_;
    }
    std::wstring Text() const { return text_ ? std::wstring(text_, SysStringLen(text_)) : std::wstring(); }

private:
    BSTR text_ = nullptr;
};

class VariantValue {
public:
    VariantValue() noexcept { VariantInit(&value_); }
    VariantValue(const VariantValue&) = delete;
    VariantValue& operator=(const VariantValue&) = delete;
    ~VariantValue() { VariantClear(&value_); }

    VARIANT* Get() noexcept { return &value_; }

private:
    VARIANT value_;
};

}  // namespace qor
