// A calendar time in broken-down fields, read from and written as the RFC 1123 date text of SIP
// headers ("Sun, 06 Nov 1994 08:49:37 GMT"). The fields hold UTC, as the zone text says.
#pragma once

#include <cstddef>
#include <cstdint>

class KvDate {
public:
    // Room enough for the text of any date.
    static constexpr size_t kFormatSize = 80;

    // The current time.
    KvDate();

    // Reads a date text into the fields; throws KvException naming the part that is wrong.
    void parse(const char* text);
    // Writes the date text, cut to the buffer's size, and returns the buffer.
    char* format(char* buffer, size_t size) const;

    // The date minus the current time; negative for a date in the past.
    int64_t secondsFromNow() const;
    bool isNow() const;
    bool isPast() const;
    bool isFuture() const;
    // Move the date; every field, the weekday included, is recomputed.
    void addSeconds(int64_t seconds);
    void subtractSeconds(int64_t seconds);

    int32_t getSecond() const { return m_second; }
    int32_t getMinute() const { return m_minute; }
    int32_t getHour() const { return m_hour; }
    int32_t getDay() const { return m_day; }
    int32_t getMonth() const { return m_month; }
    // Years since 1900.
    int32_t getYear() const { return m_year; }
    // 0 (Sunday) to 6, or -1 when the parsed text had no day name.
    int32_t getWeekday() const { return m_weekday; }
    int32_t getDayOfYear() const { return m_dayOfYear; }
    int32_t getDaylightFlag() const { return m_daylightFlag; }
    const char* getZone() const { return m_zone; }

    void setSecond(int32_t second) { m_second = second; }
    void setMinute(int32_t minute) { m_minute = minute; }
    void setHour(int32_t hour) { m_hour = hour; }
    void setDay(int32_t day) { m_day = day; }
    void setMonth(int32_t month) { m_month = month; }
    // An unknown name throws "Invalid Month in KvDate".
    void setMonth(const char* name);
    void setZone(const char* zone);

    // Name tables: null for an index out of range, -1 for an unknown name (case matters).
    static const char* getDayName(int32_t index);
    static const char* getMonthName(int32_t index);
    static int32_t getDayIndex(const char* name);
    static int32_t getMonthIndex(const char* name);

private:
    void setFromTime(int64_t seconds);
    int64_t toTime() const;

    int32_t m_second;
    int32_t m_minute;
    int32_t m_hour;
    int32_t m_day;
    int32_t m_month;
    int32_t m_year;
    int32_t m_weekday;
    int32_t m_dayOfYear;
    int32_t m_daylightFlag;
    char m_zone[16];
};
