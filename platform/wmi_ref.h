// Holds one WMI handle of the platform layer and releases it when it goes
// out of scope, so every way out of a WMI conversation releases what it
// holds before COM is uninitialised.
#pragma once

#include "platform/platform.h"

namespace platform {

template <class T>
class WmiRef {
 public:
  WmiRef() = default;
  WmiRef(const WmiRef&) = delete;
  WmiRef& operator=(const WmiRef&) = delete;
  ~WmiRef() { Reset(); }
  T* Get() const { return m_p; }
  // For a call that hands out a new handle: drops the one held first.
  T** Put() {
    Reset();
    return &m_p;
  }
  void Reset() {
    if (m_p != nullptr) WmiRelease(m_p);
    m_p = nullptr;
  }

 private:
  T* m_p = nullptr;
};

}  // namespace platform
