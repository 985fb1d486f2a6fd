#include "KvDate.h"

#include "KvException.h"
#include "KvPlatformTime.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

namespace {

const char* const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Cuts a text into tokens the way the C runtime's strtok does (a token starts after any run of
// its delimiters and ends at the next one, which is consumed), but keeps its state here so that
// parsing is safe on any number of threads.
class Splitter {
public:
    explicit Splitter(std::string_view text) : m_text(text), m_position(0) {}

    std::optional<std::string_view> next(const char* delimiters) {
        size_t start = m_text.find_first_not_of(delimiters, m_position);
        if (start == std::string_view::npos) {
            m_position = m_text.size();
            return std::nullopt;
        }
        size_t end = m_text.find_first_of(delimiters, start);
        if (end == std::string_view::npos) {
            m_position = m_text.size();
            return m_text.substr(start);
        }
        m_position = end + 1;
        return m_text.substr(start, end - start);
    }

private:
    std::string_view m_text;
    size_t m_position;
};

// As atoi reads a number (leading white space, a sign, digits; anything else ends it, and no
// digits give 0), but a value beyond the 32-bit range is held at its limit instead of overflowing.
int32_t toInteger(std::string_view token) {
    size_t i = 0;
    while (i < token.size() && std::strchr(" \t\n\v\f\r", token[i]) && token[i] != '\0')
        ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-'))
        negative = token[i++] == '-';
    int64_t value = 0;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
        value = value * 10 + (token[i] - '0');
        if (value > std::numeric_limits<int32_t>::max())
            return negative ? std::numeric_limits<int32_t>::min()
                            : std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(negative ? -value : value);
}

template <size_t N> int32_t indexIn(const char* const (&table)[N], std::string_view name) {
    for (size_t i = 0; i < N; ++i) {
        if (name == table[i])
            return static_cast<int32_t>(i);
    }
    return -1;
}

} // namespace

KvDate::KvDate()
    : m_second(0), m_minute(0), m_hour(0), m_day(1), m_month(0), m_year(70), m_weekday(4),
      m_dayOfYear(0), m_daylightFlag(0), m_zone("GMT") {
    setFromTime(kvTimeNow());
}

void KvDate::setFromTime(int64_t seconds) {
    std::tm fields{};
    if (!kvTimeToUtc(seconds, &fields))
        return; // beyond what the calendar conversion can represent: the date stays as it was
    m_second = fields.tm_sec;
    m_minute = fields.tm_min;
    m_hour = fields.tm_hour;
    m_day = fields.tm_mday;
    m_month = fields.tm_mon;
    m_year = fields.tm_year;
    m_weekday = fields.tm_wday;
    m_dayOfYear = fields.tm_yday;
    m_daylightFlag = fields.tm_isdst;
}

int64_t KvDate::toTime() const {
    std::tm fields{};
    fields.tm_sec = m_second;
    fields.tm_min = m_minute;
    fields.tm_hour = m_hour;
    fields.tm_mday = m_day;
    fields.tm_mon = m_month;
    fields.tm_year = m_year;
    fields.tm_isdst = 0;
    return kvTimeFromUtc(&fields);
}

void KvDate::parse(const char* text) {
    if (!text || !*text)
        KvException::sThrow("KvDate cannot be constructed from NULL string");

    Splitter withWeekday(text), withoutWeekday(text);
    Splitter* tokens = &withWeekday;
    std::optional<std::string_view> token = withWeekday.next(",");
    int32_t weekday = token ? indexIn(kDayNames, *token) : -1;
    if (weekday >= 0) {
        token = withWeekday.next(" ");
    } else {
        tokens = &withoutWeekday;
        token = withoutWeekday.next(" ");
    }
    int32_t day = token ? toInteger(*token) : -1;
    if (day == -1)
        KvException::sThrow("Invalid Integer Day of Month in KvDate");

    token = tokens->next(" ");
    int32_t month = token ? indexIn(kMonthNames, *token) : -1;
    if (month < 0)
        KvException::sThrow("Invalid Month in KvDate");

    token = tokens->next(" ");
    if (!token)
        KvException::sThrow("Invalid Year in KvDate");
    int32_t year = toInteger(*token);
    if (year < 50)
        year += 100; // two digits below 50: the 2000s
    else if (year >= 1000)
        year -= 1900; // four digits, 1900 included

    token = tokens->next(":");
    if (!token)
        KvException::sThrow("Invalid Hour Integer in KvDate");
    int32_t hour = toInteger(*token);
    token = tokens->next(":");
    if (!token)
        KvException::sThrow("Invalid Minute Integer in KvDate");
    int32_t minute = toInteger(*token);
    token = tokens->next(" ");
    if (!token)
        KvException::sThrow("Invalid Second Integer in Date");
    int32_t second = toInteger(*token);

    token = tokens->next(" ");
    if (!token || *token != "GMT")
        KvException::sThrow("Invalid Time Zone in Date");

    // Only a date read whole changes the fields.
    m_weekday = weekday;
    m_day = day;
    m_month = month;
    m_year = year;
    m_hour = hour;
    m_minute = minute;
    m_second = second;
}

char* KvDate::format(char* buffer, size_t size) const {
    if (!buffer || size == 0)
        return buffer;
    const char* monthName = getMonthName(m_month);
    const char* dayName = getDayName(m_weekday);
    std::snprintf(buffer, size, "%s%s%02d %s %4lld %02d:%02d:%02d %s", dayName ? dayName : "",
                  dayName ? ", " : "", m_day, monthName ? monthName : "",
                  static_cast<long long>(m_year) + 1900, m_hour, m_minute, m_second, m_zone);
    return buffer;
}

int64_t KvDate::secondsFromNow() const {
    return toTime() - kvTimeNow();
}

bool KvDate::isNow() const {
    return toTime() == kvTimeNow();
}

bool KvDate::isPast() const {
    return toTime() < kvTimeNow();
}

bool KvDate::isFuture() const {
    return toTime() > kvTimeNow();
}

void KvDate::addSeconds(int64_t seconds) {
    int64_t moved;
    if (!__builtin_add_overflow(toTime(), seconds, &moved))
        setFromTime(moved);
}

void KvDate::subtractSeconds(int64_t seconds) {
    int64_t moved;
    if (!__builtin_sub_overflow(toTime(), seconds, &moved))
        setFromTime(moved);
}

void KvDate::setMonth(const char* name) {
    int32_t month = getMonthIndex(name);
    if (month < 0)
        KvException::sThrow("Invalid Month in KvDate");
    m_month = month;
}

void KvDate::setZone(const char* zone) {
    std::snprintf(m_zone, sizeof m_zone, "%s", zone ? zone : "");
}

const char* KvDate::getDayName(int32_t index) {
    return index >= 0 && index < 7 ? kDayNames[index] : nullptr;
}

const char* KvDate::getMonthName(int32_t index) {
    return index >= 0 && index < 12 ? kMonthNames[index] : nullptr;
}

int32_t KvDate::getDayIndex(const char* name) {
    return name ? indexIn(kDayNames, name) : -1;
}

int32_t KvDate::getMonthIndex(const char* name) {
    return name ? indexIn(kMonthNames, name) : -1;
}
