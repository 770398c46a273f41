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

}  // namespace platform::win32
