#include "platform/LocalTime.h"

namespace {

#ifdef _WIN32
// The UTC calendar fields of t, for any date of the proleptic Gregorian
// calendar (days from civil dates, after Howard Hinnant's algorithm).
void CivilTime(std::int64_t t, std::tm& tmOut) {
    std::int64_t nDays = t / 86400;
    std::int64_t nSeconds = t % 86400;
    if (nSeconds < 0) {
        nSeconds += 86400;
        --nDays;
    }
    const std::int64_t z = nDays + 719468;
    const std::int64_t nEra = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t nDayOfEra = z - nEra * 146097;
    const std::int64_t nYearOfEra =
        (nDayOfEra - nDayOfEra / 1460 + nDayOfEra / 36524 - nDayOfEra / 146096) / 365;
    const std::int64_t nDayOfYear =
        nDayOfEra - (365 * nYearOfEra + nYearOfEra / 4 - nYearOfEra / 100);
    const std::int64_t nMonthIndex = (5 * nDayOfYear + 2) / 153;  // March is 0
    const std::int64_t nMonth = nMonthIndex < 10 ? nMonthIndex + 3 : nMonthIndex - 9;
    const std::int64_t nYear = nYearOfEra + nEra * 400 + (nMonth <= 2 ? 1 : 0);
    const bool bLeap = (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
    static constexpr int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    tmOut = std::tm{};
    tmOut.tm_year = static_cast<int>(nYear - 1900);
    tmOut.tm_mon = static_cast<int>(nMonth - 1);
    tmOut.tm_mday = static_cast<int>(nDayOfYear - (153 * nMonthIndex + 2) / 5 + 1);
    tmOut.tm_yday = kDaysBefore[tmOut.tm_mon] + tmOut.tm_mday - 1 + (bLeap && nMonth > 2 ? 1 : 0);
    tmOut.tm_wday = static_cast<int>(((nDays % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    tmOut.tm_hour = static_cast<int>(nSeconds / 3600);
    tmOut.tm_min = static_cast<int>(nSeconds / 60 % 60);
    tmOut.tm_sec = static_cast<int>(nSeconds % 60);
    tmOut.tm_isdst = 0;
}
#endif

}  // namespace

bool LocalTime(std::int64_t t, std::tm& tmLocal) {
    const auto tt = static_cast<std::time_t>(t);
#ifdef _WIN32
    if (t >= 0) {
        return localtime_s(&tmLocal, &tt) == 0;
    }
    // The C run-time takes no time before 1970: such a time is shown in the
    // zone's standard time.
    _tzset();
    CivilTime(t - _timezone, tmLocal);  // _timezone: seconds west of UTC
    return true;
#else
    return localtime_r(&tt, &tmLocal) != nullptr;
#endif
}
