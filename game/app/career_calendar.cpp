#include "game/app/career_calendar.h"

#include <algorithm>
#include <cmath>

namespace career {

namespace {

constexpr int kDayOfMonth[kDays + 1] = {
    0,
    1, 4, 5, 6, 7, 8, 11, 12, 14, 15, 18, 19, 20, 21, 22, 25, 26, 27, 28, 29,
    1, 3, 4, 5, 8, 9, 10, 11, 12, 15, 16, 17, 18, 19, 22, 23, 24, 26, 29, 30,
    1, 2, 3, 6, 7, 8, 10, 13, 14, 15, 16, 20, 22, 23, 24, 27, 28, 29, 30, 31,
};
// The weekday column of each month's day 0.
constexpr int kMonthOffset[kMonths] = {3, -1, 1};

int Clamp(int day) { return day < 1 ? 1 : day > kDays ? kDays : day; }

} // namespace

int DayOfMonth(int day) { return kDayOfMonth[Clamp(day)]; }

int MonthIndex(int day) { return (Clamp(day) - 1) / kDaysPerMonth; }

Cell CalendarCell(int day) {
    const int cell = DayOfMonth(day) + kMonthOffset[MonthIndex(day)];
    return Cell{cell / 7, cell % 7};
}

void SplitPlayedTime(float seconds, int& hours, int& minutes) {
    // Capped while still a float: a huge value would not fit the integer.
    constexpr float kMaxSeconds = 3600.0f * 1000000;
    const float played = std::isfinite(seconds) && seconds > 0 ? std::min(seconds, kMaxSeconds) : 0.0f;
    const long long whole = static_cast<long long>(played);
    hours = static_cast<int>(whole / 3600);
    minutes = static_cast<int>(whole % 3600 / 60);
}

} // namespace career
