// The result of a Win32 call that changes the machine, in the seam's one
// shape: GetLastError() is read at once, before anything else (a handle
// closing) can change it.
#pragma once

#include "platform/platform.h"
#include "platform/win32/windows_min.h"

namespace platform::win32 {

inline CallResult Succeeded() { return {true, 0}; }
inline CallResult FailedWithLastError() { return {false, GetLastError()}; }

// For a call that returns a BOOL and sets the last error when it fails.
inline CallResult ResultOf(BOOL bOk) { return bOk ? Succeeded() : FailedWithLastError(); }

}  // namespace platform::win32
