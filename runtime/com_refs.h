// Owners for COM and OLE Automation resources: interface pointers, BSTRs,
// VARIANTs and malloc'ed buffers. Each is non-copyable.
#pragma once

#include "platform/com_platform.h"

#include <cstdlib>
#include <memory>
#include <utility>

// An owned interface pointer. get() borrows, attach() adopts a reference
// without AddRef, detach() hands the reference away, copy_to() AddRefs.
template <class T>
class OvComPtr {
 public:
  OvComPtr() = default;
  ~OvComPtr() { reset(); }
  OvComPtr(const OvComPtr&) = delete;
  OvComPtr& operator=(const OvComPtr&) = delete;

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  void attach(T* ptr) {
    reset();
    ptr_ = ptr;
  }
  T* detach() { return std::exchange(ptr_, nullptr); }
  void copy_to(T** out) const {
    if (ptr_ != nullptr) ptr_->AddRef();
    *out = ptr_;
  }
  // The slot for an out-parameter; whatever was held is released first.
  T** put() {
    reset();
    return &ptr_;
  }
  void reset() {
    if (ptr_ != nullptr) std::exchange(ptr_, nullptr)->Release();
  }

 private:
  T* ptr_ = nullptr;
};

// An owned BSTR, freed with SysFreeString.
class OvBstr {
 public:
  OvBstr() = default;
  explicit OvBstr(BSTR bstr) : bstr_(bstr) {}
  ~OvBstr() { SysFreeString(bstr_); }
  OvBstr(const OvBstr&) = delete;
  OvBstr& operator=(const OvBstr&) = delete;

  BSTR get() const { return bstr_; }
  BSTR release() { return std::exchange(bstr_, nullptr); }

 private:
  BSTR bstr_ = nullptr;
};

// A VARIANT initialised on construction and cleared with VariantClear when
// the owner goes away. Code that must spare borrowed interface pointers
// clears explicitly (ov_clear_variant) and relies on the empty VARIANT left
// behind.
class OvVariant {
 public:
  OvVariant() { VariantInit(&v_); }
  ~OvVariant() { VariantClear(&v_); }
  OvVariant(const OvVariant&) = delete;
  OvVariant& operator=(const OvVariant&) = delete;

  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  VARIANT* operator->() { return &v_; }

 private:
  VARIANT v_;
};

// A malloc'ed block, freed with free.
struct OvFree {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using OvMallocPtr = std::unique_ptr<T, OvFree>;
