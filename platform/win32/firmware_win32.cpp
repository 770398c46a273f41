// The firmware-variable probe on real Windows.
#include "platform/platform.h"

#include <vector>

#include "platform/win32/windows_min.h"

namespace platform {

FirmwareVariableResult ProbeFirmwareVariable(const std::wstring& szName,
                                             const std::wstring& szGuid, std::uint32_t nSize) {
  std::vector<wchar_t> buffer(nSize, L'\0');
  FirmwareVariableResult result;
  // nSize counts bytes for the API; the buffer has twice that, so it can never overrun.
  // Without firmware variables (legacy BIOS) this fails with ERROR_INVALID_FUNCTION.
  result.m_BytesStored =
      GetFirmwareEnvironmentVariableW(szName.c_str(), szGuid.c_str(), buffer.data(), nSize);
  if (result.m_BytesStored == 0) result.m_LastError = GetLastError();
  return result;
}

}  // namespace platform
