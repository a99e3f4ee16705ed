#pragma once

#include <ctime>

// Local time for a signal handler. localtime_r may take locks and read time zone files, so the
// clock learns the UTC offsets ahead of time: the offset at preparation and every change of it
// (daylight saving) during the next two years. Converting a time is then plain arithmetic.
class LocalClock {
public:
    struct CivilTime {
        int year;
        int month; // 1 to 12
        int day;
        int hour;
        int minute;
        int second;
    };

    // Learns the offsets from `from` on. Not for signal handlers.
    void Prepare(time_t from);
    // Signal-safe. Before preparation it gives UTC.
    CivilTime ToLocal(time_t time) const;

private:
    static constexpr int kMaxChanges = 16;
    struct OffsetChange {
        time_t at;
        long offset; // seconds east of UTC from `at` on
    };

    long OffsetAt(time_t time) const;

    long m_initialOffset = 0;
    OffsetChange m_changes[kMaxChanges] = {};
    int m_changeCount = 0;
};
