// Owners for the Win32 and COM resources the platform layer hands around:
// each frees what it holds when it goes out of scope.
#pragma once

#include <string>
#include <utility>

#include "platform/win32/windows_min.h"

#include <oleauto.h>

namespace platform::win32 {

// One BSTR copied from a wide string. m_Bstr is null when the allocation
// failed; the caller checks before use.
struct BstrHolder {
  BSTR m_Bstr = nullptr;

  explicit BstrHolder(const std::wstring& sz) : m_Bstr(SysAllocString(sz.c_str())) {}
  ~BstrHolder() { SysFreeString(m_Bstr); }  // null is allowed
  BstrHolder(const BstrHolder&) = delete;
  BstrHolder& operator=(const BstrHolder&) = delete;
};

// A VARIANT, initialised empty and cleared (freeing any BSTR, array or
// interface it holds) when it goes out of scope.
struct VariantHolder {
  VARIANT m_Var;

  VariantHolder() { VariantInit(&m_Var); }
  ~VariantHolder() { VariantClear(&m_Var); }
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;
};

// One counted reference to a COM interface, released when it goes out of
// scope. Movable, not copyable: there is always exactly one owner.
template <class I>
struct ComHolder {
  I* m_p = nullptr;

  ComHolder() = default;
  ~ComHolder() { Reset(); }
  ComHolder(ComHolder&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  ComHolder& operator=(ComHolder&& other) noexcept {
    if (this != &other) {
      Reset();
      m_p = std::exchange(other.m_p, nullptr);
    }
    return *this;
  }
  ComHolder(const ComHolder&) = delete;
  ComHolder& operator=(const ComHolder&) = delete;

  // For a call that hands out a new reference: drops the one held first.
  I** Put() {
    Reset();
    return &m_p;
  }
  void Reset() {
    if (m_p != nullptr) m_p->Release();
    m_p = nullptr;
  }
};

// A kernel handle or search handle, closed when it goes out of scope.
// Traits name the value that means "no handle" for this kind (NULL for
// processes and threads, INVALID_HANDLE_VALUE for files and searches) and
// the call that closes it. Movable, not copyable.
template <class Traits>
struct HandleHolder {
  HANDLE m_h = Traits::Invalid();

  HandleHolder() = default;
  explicit HandleHolder(HANDLE h) : m_h(h) {}
  ~HandleHolder() { Reset(); }
  HandleHolder(HandleHolder&& other) noexcept : m_h(std::exchange(other.m_h, Traits::Invalid())) {}
  HandleHolder& operator=(HandleHolder&& other) noexcept {
    if (this != &other) {
      Reset();
      m_h = std::exchange(other.m_h, Traits::Invalid());
    }
    return *this;
  }
  HandleHolder(const HandleHolder&) = delete;
  HandleHolder& operator=(const HandleHolder&) = delete;

  bool Valid() const { return m_h != Traits::Invalid(); }
  void Reset() {
    if (Valid()) Traits::Close(m_h);
    m_h = Traits::Invalid();
  }
};

struct ProcessHandleTraits {  // processes and threads: NULL means none
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFileW: INVALID_HANDLE_VALUE means none
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits {  // FindFirstFileW: INVALID_HANDLE_VALUE means none
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindClose(h); }
};

struct FindVolumeHandleTraits {  // FindFirstVolumeW: INVALID_HANDLE_VALUE means none
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindVolumeClose(h); }
};

using ProcessHandle = HandleHolder<ProcessHandleTraits>;
using FileHandle = HandleHolder<FileHandleTraits>;
using FindHandle = HandleHolder<FindHandleTraits>;
using FindVolumeHandle = HandleHolder<FindVolumeHandleTraits>;

}  // namespace platform::win32
