// One owner for every COM resource: interface pointers, VARIANTs and BSTRs. Code outside this
// header never calls Release, VariantClear or SysFreeString itself.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <utility>

namespace addin::com {

template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  explicit ComPtr(T* p) noexcept : p_(p) {  // takes a new reference
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() {
    if (p_) p_->Release();
  }
  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  T** put() noexcept {
    *this = ComPtr();
    return &p_;
  }

  template <class U>
  ComPtr<U> As(REFIID iid) const noexcept {
    ComPtr<U> r;
    if (p_) p_->QueryInterface(iid, reinterpret_cast<void**>(r.put()));
    return r;
  }

 private:
  T* p_ = nullptr;
};

class UniqueVariant {
 public:
  UniqueVariant() noexcept { VariantInit(&v_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { VariantClear(&v_); }
  VARIANT* get() noexcept { return &v_; }
  const VARIANT& operator*() const noexcept { return v_; }
  VARIANT* reset() noexcept {
    VariantClear(&v_);
    return &v_;
  }

 private:
  VARIANT v_;
};

class UniqueBstr {
 public:
  UniqueBstr() noexcept = default;
  explicit UniqueBstr(BSTR b) noexcept : b_(b) {}  // takes ownership
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { SysFreeString(b_); }
  BSTR get() const noexcept { return b_; }
  BSTR* put() noexcept {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }

 private:
  BSTR b_ = nullptr;
};

// The EXCEPINFO of a failed Invoke, its texts freed with it.
struct UniqueExcepInfo : EXCEPINFO {
  UniqueExcepInfo() noexcept : EXCEPINFO{} {}
  UniqueExcepInfo(const UniqueExcepInfo&) = delete;
  ~UniqueExcepInfo() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
};

}  // namespace addin::com
