#include "diag/local_clock.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

namespace {

void ExpectSameAsLocaltime(const LocalClock& clock, time_t time) {
    struct tm expected {};
    localtime_r(&time, &expected);
    const LocalClock::CivilTime actual = clock.ToLocal(time);
    EXPECT_EQ((std::array{actual.year, actual.month, actual.day, actual.hour, actual.minute,
                          actual.second}),
              (std::array{expected.tm_year + 1900, expected.tm_mon + 1, expected.tm_mday,
                          expected.tm_hour, expected.tm_min, expected.tm_sec}))
        << time;
}

} // namespace

// The clock learns the offsets in advance; across daylight-saving changes, leap days and the
// turn of the year it must agree with localtime_r to the second.
TEST(LocalClock, AgreesWithLocaltimeAcrossDaylightSavingChanges) {
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1); // nothing else in this program reads the zone
    tzset();
    const time_t start = 1704067200; // 2024-01-01 00:00:00 UTC
    LocalClock clock;
    clock.Prepare(start);
    for (time_t t = start; t < start + 700L * 86400; t += 3607)
        ExpectSameAsLocaltime(clock, t);
    // Around the change of 2024-03-10 07:00 UTC (02:00 EST) and of 2024-11-03 06:00 UTC.
    for (time_t change : {time_t{1710054000}, time_t{1730613600}}) {
        for (time_t t = change - 2; t <= change + 2; ++t)
            ExpectSameAsLocaltime(clock, t);
    }
    ExpectSameAsLocaltime(clock, start - 400L * 86400); // the system clock was set back
    unsetenv("TZ");
    tzset();
}
