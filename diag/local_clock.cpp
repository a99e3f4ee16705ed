#include "diag/local_clock.h"

namespace {

long UtcOffset(time_t time) {
    struct tm parts {};
    if (localtime_r(&time, &parts) == nullptr)
        return 0;
    return parts.tm_gmtoff;
}

// Days since 1970-01-01 to a proleptic Gregorian date.
void CivilFromDays(long long days, int& year, int& month, int& day) {
    days += 719468;
    long long era = (days >= 0 ? days : days - 146096) / 146097;
    long long dayOfEra = days - era * 146097;
    long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    long long monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

} // namespace

void LocalClock::Prepare(time_t from) {
    tzset();
    constexpr time_t kDay = 24 * 60 * 60;
    constexpr int kDays = 2 * 366;
    m_initialOffset = UtcOffset(from);
    m_changeCount = 0;
    long previous = m_initialOffset;
    for (int day = 1; day <= kDays && m_changeCount < kMaxChanges; ++day) {
        time_t probe = from + day * kDay;
        long offset = UtcOffset(probe);
        if (offset == previous)
            continue;
        // The change lies in (probe - kDay, probe]: find its first second.
        time_t low = probe - kDay, high = probe;
        while (high - low > 1) {
            time_t middle = low + (high - low) / 2;
            if (UtcOffset(middle) == previous)
                low = middle;
            else
                high = middle;
        }
        m_changes[m_changeCount++] = {high, offset};
        previous = offset;
    }
}

long LocalClock::OffsetAt(time_t time) const {
    long offset = m_initialOffset;
    for (int i = 0; i < m_changeCount && m_changes[i].at <= time; ++i)
        offset = m_changes[i].offset;
    return offset;
}

LocalClock::CivilTime LocalClock::ToLocal(time_t time) const {
    long long local = static_cast<long long>(time) + OffsetAt(time);
    long long days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
    long long seconds = local - days * 86400;
    CivilTime civil{};
    CivilFromDays(days, civil.year, civil.month, civil.day);
    civil.hour = static_cast<int>(seconds / 3600);
    civil.minute = static_cast<int>(seconds / 60 % 60);
    civil.second = static_cast<int>(seconds % 60);
    return civil;
}
