#pragma once

// The career's calendar: days 1 to 60 are three months of 20 working days.
namespace career {

constexpr int kDays = 60;
constexpr int kDaysPerMonth = 20;
constexpr int kMonths = 3;

// The day of the month of a career day; days outside 1..60 count as the
// nearest of them.
int DayOfMonth(int day);
// The month of a career day, 0..2 (clamped like DayOfMonth).
int MonthIndex(int day);

// Where a day lies on its month's page: seven columns a row, each month
// starting on its own weekday.
struct Cell {
    int row;
    int column;
};
Cell CalendarCell(int day);

// Seconds played as whole hours and the minutes beyond them; what is not a
// finite positive number counts as 0, and the hours stop at a million.
void SplitPlayedTime(float seconds, int& hours, int& minutes);

} // namespace career
