// Move-only owners for Win32 handles, so every handle is released on every way out.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace tamrisk::win32 {

template <typename T, typename Traits>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) : value_(value) {}
  ~UniqueResource() { reset(); }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(std::exchange(other.value_, Traits::Invalid())) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = std::exchange(other.value_, Traits::Invalid());
    }
    return *this;
  }

  T get() const { return value_; }
  explicit operator bool() const { return !Empty(value_); }
  T release() { return std::exchange(value_, Traits::Invalid()); }
  void reset(T value = Traits::Invalid()) {
    if (!Empty(value_)) Traits::Close(value_);
    value_ = value;
  }
  // For APIs that fill in a handle: releases the current one first.
  T* put() {
    reset();
    return &value_;
  }

 private:
  // Traits may name more than one empty value (IsEmpty); by default only Invalid() is.
  static bool Empty(T value) {
    if constexpr (requires { Traits::IsEmpty(value); }) {
      return Traits::IsEmpty(value);
    } else {
      return value == Traits::Invalid();
    }
  }

  T value_ = Traits::Invalid();
};

struct KernelHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
// CreateFileW fails with INVALID_HANDLE_VALUE, most other calls with NULL: both are empty.
struct FileHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static bool IsEmpty(HANDLE h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::FindClose(h); }
};
struct RegKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY h) { ::RegCloseKey(h); }
};
// Memory the system allocated for the caller: FormatMessageW's buffer, security descriptors.
struct LocalMemoryTraits {
  static HLOCAL Invalid() { return nullptr; }
  static void Close(HLOCAL h) { ::LocalFree(h); }
};
// Memory COM or the shell allocated for the caller: item ID lists, strings.
struct CoTaskMemoryTraits {
  static void* Invalid() { return nullptr; }
  static void Close(void* p) { ::CoTaskMemFree(p); }
};
struct GdiObjectTraits {
  static HGDIOBJ Invalid() { return nullptr; }
  static void Close(HGDIOBJ h) { ::DeleteObject(h); }
};

using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using UniqueFileHandle = UniqueResource<HANDLE, FileHandleTraits>;
using UniqueLocalMemory = UniqueResource<HLOCAL, LocalMemoryTraits>;
using UniqueCoTaskMemory = UniqueResource<void*, CoTaskMemoryTraits>;
using UniqueFindHandle = UniqueResource<HANDLE, FindHandleTraits>;
using UniqueRegKey = UniqueResource<HKEY, RegKeyTraits>;
using UniqueGdiObject = UniqueResource<HGDIOBJ, GdiObjectTraits>;

// The COM apartment of the calling thread for the owner's lifetime: uninitialized only when this
// initialization succeeded (S_FALSE, already initialized, counts and is balanced too).
class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) : result_(::CoInitializeEx(nullptr, model)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  HRESULT Result() const { return result_; }
  bool Ready() const { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

// Releases a COM interface pointer.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  void reset() {
    if (ptr_) ptr_->Release();
    ptr_ = nullptr;
  }
  void** put_void() {
    reset();
    return reinterpret_cast<void**>(&ptr_);
  }
  T** put() {
    reset();
    return &ptr_;
  }

 private:
  T* ptr_ = nullptr;
};

}  // namespace tamrisk::win32
