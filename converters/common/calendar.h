#pragma once
// Days counted from 1970-01-01 (day 0) in the Gregorian calendar, also before 1970.

#include <cstdint>

namespace kconv {

struct civil_date {
    std::int64_t year;
    int month; // 1-12
    int day;   // 1-31
};

civil_date civil_from_days(std::int64_t day);
std::int64_t days_from_civil(std::int64_t year, int month, int day);
// 0 Monday ... 6 Sunday.
int weekday_of(std::int64_t day);
int days_in_month(std::int64_t year, int month);

} // namespace kconv
