#include "platform/sim/clock.h"

#include <cstdio>
#include <stdexcept>

namespace sim {
namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int* y, unsigned* m, unsigned* d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (*m <= 2));
}

}  // namespace

void Clock::SetStart(const std::string& start) {
  int y, mo, d, h, mi, s;
  if (std::sscanf(start.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) {
    throw std::invalid_argument("clock start must read YYYY-MM-DD HH:MM:SS: " + start);
  }
  startSeconds_ = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

std::string Clock::Start() const {
  int y;
  unsigned m, d;
  CivilFromDays(startSeconds_ / 86400, &y, &m, &d);
  std::int64_t rest = startSeconds_ % 86400;
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", y, m, d,
                static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                static_cast<int>(rest % 60));
  return text;
}

win::SYSTEMTIME Clock::LocalTime() const {
  std::int64_t ms = startSeconds_ * 1000 + now_;
  std::int64_t days = ms / 86400000;
  std::int64_t rest = ms % 86400000;
  int y;
  unsigned m, d;
  CivilFromDays(days, &y, &m, &d);
  win::SYSTEMTIME t{};
  t.wYear = static_cast<win::WORD>(y);
  t.wMonth = static_cast<win::WORD>(m);
  t.wDay = static_cast<win::WORD>(d);
  t.wDayOfWeek = static_cast<win::WORD>((days % 7 + 11) % 7);  // 1970-01-01 was a Thursday
  t.wHour = static_cast<win::WORD>(rest / 3600000);
  t.wMinute = static_cast<win::WORD>(rest / 60000 % 60);
  t.wSecond = static_cast<win::WORD>(rest / 1000 % 60);
  t.wMilliseconds = static_cast<win::WORD>(rest % 1000);
  return t;
}

}  // namespace sim
