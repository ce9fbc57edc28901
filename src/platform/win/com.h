#pragma once
// Owners for COM: interface pointers, BSTRs, VARIANTs and the calling thread's apartment.

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string_view>
#include <utility>

namespace win {

using Microsoft::WRL::ComPtr;

class [[nodiscard]] Bstr {
 public:
  Bstr() noexcept = default;
  explicit Bstr(std::wstring_view text)
      : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = std::exchange(other.value_, nullptr);
    }
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { reset(); }

  BSTR get() const noexcept { return value_; }
  BSTR* put() noexcept {
    reset();
    return &value_;
  }
  [[nodiscard]] BSTR release() noexcept { return std::exchange(value_, nullptr); }
  void reset() noexcept {
    if (value_) ::SysFreeString(value_);
    value_ = nullptr;
  }
  std::wstring_view view() const noexcept { return {value_ ? value_ : L"", value_ ? ::SysStringLen(value_) : 0}; }

 private:
  BSTR value_ = nullptr;
};

class [[nodiscard]] Variant {
 public:
  Variant() noexcept { ::VariantInit(&value_); }
  Variant(Variant&& other) noexcept : value_(other.value_) { ::VariantInit(&other.value_); }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = other.value_;
      ::VariantInit(&other.value_);
    }
    return *this;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { reset(); }

  static Variant Long(LONG value) noexcept {
    Variant v;
    v.value_.vt = VT_I4;
    v.value_.lVal = value;
    return v;
  }
  static Variant String(std::wstring_view text) {
    Variant v;
    v.value_.vt = VT_BSTR;
    v.value_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return v;
  }

  VARIANT* get() noexcept { return &value_; }
  const VARIANT* get() const noexcept { return &value_; }
  VARIANT* put() noexcept {
    reset();
    return &value_;
  }
  void reset() noexcept {
    ::VariantClear(&value_);
    ::VariantInit(&value_);
  }

 private:
  VARIANT value_;
};

// Enters a single-threaded apartment for the life of the guard; leaves it only if it got in.
class [[nodiscard]] ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
      : result_(::CoInitializeEx(nullptr, model)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  // S_OK or S_FALSE; RPC_E_CHANGED_MODE means the thread already lives in another kind of apartment.
  HRESULT result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

}  // namespace win
