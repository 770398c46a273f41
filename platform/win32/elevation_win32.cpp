// Whether the process runs elevated, on real Windows: asked of its own
// access token.
#include "platform/platform.h"

#include "platform/win32/win32_holders.h"
#include "platform/win32/windows_min.h"

namespace platform {

Elevation ReadElevation() {
  Elevation result;
  HANDLE hToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) {
    result.m_LastError = GetLastError();
    return result;
  }
  const win32::ProcessHandle token(hToken);  // a token closes as a process handle does
  TOKEN_ELEVATION elevation{};
  DWORD nReturned = 0;
  if (!GetTokenInformation(token.m_h, TokenElevation, &elevation, sizeof(elevation),
                           &nReturned)) {
    result.m_LastError = GetLastError();
    return result;
  }
  result.m_Known = true;
  result.m_Elevated = elevation.TokenIsElevated != 0;
  return result;
}

}  // namespace platform
