#include "simulator/sim_clock.h"

#include <cstdio>

namespace sim {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

std::optional<std::int64_t> ParseClock(const std::string& szText) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0, n = 0;
  if (szText.size() != 23 ||
      std::sscanf(szText.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%n", &y, &mo, &d, &h, &mi, &s, &ms,
                  &n) != 7 ||
      n != 23) {
    return std::nullopt;
  }
  static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1601 || mo < 1 || mo > 12 || d < 1 ||
      d > kDaysInMonth[mo - 1] + (mo == 2 && IsLeap(y)) || h > 23 || mi > 59 || s > 59) {
    return std::nullopt;
  }
  return ((DaysFromCivil(y, mo, d) * 24 + h) * 60 + mi) * 60000 + s * 1000 + ms;
}

platform::LocalTime ToLocalTime(std::int64_t nMs) {
  std::int64_t days = nMs / 86400000;
  std::int64_t rest = nMs % 86400000;
  if (rest < 0) {
    rest += 86400000;
    --days;
  }
  platform::LocalTime t;
  CivilFromDays(days, t.m_Year, t.m_Month, t.m_Day);
  t.m_Hour = static_cast<int>(rest / 3600000);
  t.m_Minute = static_cast<int>(rest / 60000 % 60);
  t.m_Second = static_cast<int>(rest / 1000 % 60);
  t.m_Milliseconds = static_cast<int>(rest % 1000);
  return t;
}

}  // namespace sim
