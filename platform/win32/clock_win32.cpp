// The local time and waiting on real Windows.
#include "platform/platform.h"
#include "platform/win32/windows_min.h"

namespace platform {

LocalTime ReadLocalTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  LocalTime time;
  time.m_Year = now.wYear;
  time.m_Month = now.wMonth;
  time.m_Day = now.wDay;
  time.m_Hour = now.wHour;
  time.m_Minute = now.wMinute;
  time.m_Second = now.wSecond;
  time.m_Milliseconds = now.wMilliseconds;
  return time;
}

void Pause(std::uint32_t nMilliseconds) { Sleep(nMilliseconds); }

}  // namespace platform
