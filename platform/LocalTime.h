// Calendar time in the local time zone.
#pragma once

#include <cstdint>
#include <ctime>

// The local date and time of t (seconds since 1970, UTC); false when the
// system cannot give it. Times before 1970 are given too.
bool LocalTime(std::int64_t t, std::tm& tmLocal);
