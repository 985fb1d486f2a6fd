#include "KvDate.h"
#include "KvException.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string formatted(const KvDate& date) {
    char buffer[KvDate::kFormatSize];
    return date.format(buffer, sizeof buffer);
}

std::string parseError(const char* text) {
    KvDate date;
    try {
        date.parse(text);
    } catch (KvHandle<KvException>& e) {
        return e->getText();
    }
    return "(parsed)";
}

KvDate parsed(const char* text) {
    KvDate date;
    date.parse(text);
    return date;
}

TEST(KvDate, RoundTripsTheHeaderForm) {
    KvDate date = parsed("Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(date.getWeekday(), 0);
    EXPECT_EQ(date.getDay(), 6);
    EXPECT_EQ(date.getMonth(), 10);
    EXPECT_EQ(date.getYear(), 94);
    EXPECT_EQ(date.getHour(), 8);
    EXPECT_EQ(date.getMinute(), 49);
    EXPECT_EQ(date.getSecond(), 37);
    EXPECT_STREQ(date.getZone(), "GMT");
    EXPECT_EQ(formatted(date), "Sun, 06 Nov 1994 08:49:37 GMT");
    // Runs of blanks are passed over, as between strtok's tokens.
    EXPECT_EQ(formatted(parsed("Sun,   06  Nov 1994 08:49:37   GMT")),
              "Sun, 06 Nov 1994 08:49:37 GMT");
}

TEST(KvDate, WeekdayIsOptional) {
    KvDate date = parsed("06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(date.getWeekday(), -1);
    EXPECT_EQ(formatted(date), "06 Nov 1994 08:49:37 GMT");
    // A first token before a comma that is no day name: the whole text is read without it.
    EXPECT_EQ(parseError("Xyz, 06 Nov 1994 08:49:37 GMT"), "Invalid Month in KvDate");
}

TEST(KvDate, YearForms) {
    EXPECT_EQ(parsed("Sun, 06 Nov 04 08:49:37 GMT").getYear(), 104);
    EXPECT_EQ(parsed("Sun, 06 Nov 49 08:49:37 GMT").getYear(), 149);
    EXPECT_EQ(parsed("Sun, 06 Nov 50 08:49:37 GMT").getYear(), 50);
    EXPECT_EQ(parsed("Sun, 06 Nov 99 08:49:37 GMT").getYear(), 99);
    EXPECT_EQ(parsed("Sun, 06 Nov 2004 08:49:37 GMT").getYear(), 104);
    // 1900 is a four-digit year like any other.
    EXPECT_EQ(parsed("Mon, 01 Jan 1900 00:00:00 GMT").getYear(), 0);
    EXPECT_EQ(formatted(parsed("Mon, 01 Jan 1900 00:00:00 GMT")), "Mon, 01 Jan 1900 00:00:00 GMT");
    EXPECT_EQ(parsed("Sun, 06 Nov 1899 08:49:37 GMT").getYear(), -1);
}

TEST(KvDate, ParseErrorsNameThePart) {
    EXPECT_EQ(parseError(nullptr), "KvDate cannot be constructed from NULL string");
    EXPECT_EQ(parseError(""), "KvDate cannot be constructed from NULL string");
    EXPECT_EQ(parseError("Sun,"), "Invalid Integer Day of Month in KvDate");
    EXPECT_EQ(parseError("Sun, -1 Nov 1994 08:49:37 GMT"),
              "Invalid Integer Day of Month in KvDate");
    EXPECT_EQ(parseError("Sun, 06"), "Invalid Month in KvDate");
    EXPECT_EQ(parseError("Sun, 06 nov 1994 08:49:37 GMT"), "Invalid Month in KvDate");
    EXPECT_EQ(parseError("Sun, 06 Nov"), "Invalid Year in KvDate");
    EXPECT_EQ(parseError("Sun, 06 Nov 1994"), "Invalid Hour Integer in KvDate");
    EXPECT_EQ(parseError("Sun, 06 Nov 1994 08"), "Invalid Minute Integer in KvDate");
    EXPECT_EQ(parseError("Sun, 06 Nov 1994 08:49:"), "Invalid Second Integer in Date");
    EXPECT_EQ(parseError("Sun, 06 Nov 1994 08:49:37"), "Invalid Time Zone in Date");
    EXPECT_EQ(parseError("Sun, 06 Nov 1994 08:49:37 UTC"), "Invalid Time Zone in Date");
    EXPECT_EQ(parseError(",,,"), "Invalid Month in KvDate");
    // Numbers are read as atoi reads them: no digits give 0, and huge values do not overflow.
    EXPECT_EQ(parsed("Sun, xx Nov 1994 08:49:37 GMT").getDay(), 0);
    EXPECT_EQ(parsed("Sun, 06 Nov 1994 99999999999999:49:37 GMT").getHour(), 2147483647);
}

TEST(KvDate, FailedParseLeavesTheDateAlone) {
    KvDate date = parsed("Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_THROW(date.parse("Mon, 07 Dec 1995 09:50:38 CET"), KvHandle<KvException>);
    EXPECT_EQ(formatted(date), "Sun, 06 Nov 1994 08:49:37 GMT");
}

TEST(KvDate, FormatRespectsTheBufferSize) {
    KvDate date = parsed("Sun, 06 Nov 1994 08:49:37 GMT");
    char small[12];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(date.format(small, 10), small);
    EXPECT_STREQ(small, "Sun, 06 N");
    EXPECT_EQ(small[10], 'x');
    EXPECT_EQ(date.format(small, 0), small);
    EXPECT_EQ(date.format(nullptr, 10), nullptr);
    // Fields set out of range never make format read outside its tables.
    date.setMonth(12);
    date.setZone("A-zone-name-longer-than-its-array");
    std::string text = formatted(date);
    EXPECT_EQ(text.substr(0, 11), "Sun, 06  19");
    EXPECT_LT(std::string(date.getZone()).size(), 16u);
    // Names are looked up exactly; an unknown month name changes nothing.
    EXPECT_THROW(date.setMonth("feb"), KvHandle<KvException>);
    EXPECT_EQ(date.getMonth(), 12);
    date.setMonth("Feb");
    EXPECT_EQ(date.getMonth(), 1);
    EXPECT_EQ(KvDate::getDayIndex("wed"), -1);
    EXPECT_EQ(KvDate::getMonthName(-1), nullptr);
}

TEST(KvDate, TimeArithmetic) {
    KvDate date;
    EXPECT_TRUE(date.isNow() || date.isPast());
    date.addSeconds(3600);
    EXPECT_NEAR(static_cast<double>(date.secondsFromNow()), 3600.0, 2.0);
    EXPECT_TRUE(date.isFuture());
    date.subtractSeconds(7200);
    EXPECT_NEAR(static_cast<double>(date.secondsFromNow()), -3600.0, 2.0);
    EXPECT_TRUE(date.isPast());

    KvDate fixed = parsed("06 Nov 1994 23:59:30 GMT");
    fixed.addSeconds(45); // every field recomputed, the weekday too
    EXPECT_EQ(formatted(fixed), "Mon, 07 Nov 1994 00:00:15 GMT");
    EXPECT_EQ(fixed.getDayOfYear(), 310);
    fixed.subtractSeconds(86400 * 7);
    EXPECT_EQ(formatted(fixed), "Mon, 31 Oct 1994 00:00:15 GMT");
}

TEST(KvDate, ParsesOnManyThreadsAtOnce) {
    const char* texts[] = {"Sun, 06 Nov 1994 08:49:37 GMT", "Tue, 15 Nov 1994 12:45:26 GMT",
                           "01 Jan 2030 00:00:00 GMT", "Sat, 29 Feb 2020 23:59:59 GMT"};
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                const char* text = texts[(t + i) % 4];
                KvDate date;
                date.parse(text);
                if (formatted(date) != text)
                    ++mismatches;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
