#include "KvException.h"
#include "KvPlatformTime.h"
#include "KvUuid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace {

std::string makeUuid() {
    char buffer[kUuidTextSize];
    generateUuid(buffer);
    return buffer;
}

// The RFC 4122 text of a version-1 UUID whose node carries the marker bit.
bool isVersionOneText(const std::string& text) {
    if (text.size() != 36)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-')
                return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return text[14] == '1' && std::strchr("89ab", text[19]) != nullptr &&
           std::strchr("89abcdef", text[24]) != nullptr;
}

uint64_t timestampOf(const std::string& text) {
    uint64_t low = std::stoull(text.substr(0, 8), nullptr, 16);
    uint64_t mid = std::stoull(text.substr(9, 4), nullptr, 16);
    uint64_t high = std::stoull(text.substr(14, 4), nullptr, 16) & 0x0fff;
    return high << 48 | mid << 32 | low;
}

TEST(KvUuid, TextForm) {
    std::string text = makeUuid();
    EXPECT_TRUE(isVersionOneText(text)) << text;
    // The timestamp counts 100 ns steps since 1582-10-15: close to the clock now.
    uint64_t now = kvFileTimeNow() + 5748192000000000ULL;
    uint64_t stamp = timestampOf(text);
    EXPECT_LE(stamp, now + 10000000ULL);
    EXPECT_GE(stamp + 10000000ULL * 5, now);
}

TEST(KvUuid, SuccessiveIdsOnOneThreadDifferInTimeOnly) {
    std::string first = makeUuid(), second = makeUuid();
    EXPECT_NE(first.substr(0, 18), second.substr(0, 18));
    EXPECT_LT(timestampOf(first), timestampOf(second));
    EXPECT_EQ(first.substr(19), second.substr(19)); // clock sequence and node
}

TEST(KvUuid, AtMostOneBlockOfIdsPerClockValue) {
    std::vector<uint64_t> stamps;
    for (int i = 0; i < 5000; ++i)
        stamps.push_back(timestampOf(makeUuid()));
    std::map<uint64_t, std::vector<uint64_t>> byClock;
    for (size_t i = 1; i < stamps.size(); ++i)
        ASSERT_LT(stamps[i - 1], stamps[i]);
    for (uint64_t stamp : stamps)
        byClock[stamp / 1024].push_back(stamp % 1024);
    for (const auto& [clock, ticks] : byClock) {
        ASSERT_LE(ticks.size(), 1024u);
        for (size_t i = 1; i < ticks.size(); ++i)
            ASSERT_EQ(ticks[i], ticks[i - 1] + 1);
    }
}

TEST(KvUuid, HundredThousandIdsFromEightThreadsAreDistinct) {
    constexpr int kThreads = 8, kEach = 12500;
    std::vector<std::vector<std::string>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&made, t] {
            made[t].reserve(kEach);
            for (int i = 0; i < kEach; ++i)
                made[t].push_back(makeUuid());
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::unordered_set<std::string> distinct;
    std::set<std::string> nodes;
    for (const auto& list : made) {
        nodes.insert(list.front().substr(24));
        for (const auto& text : list) {
            ASSERT_TRUE(isVersionOneText(text)) << text;
            distinct.insert(text);
        }
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kEach));
    EXPECT_EQ(nodes.size(), static_cast<size_t>(kThreads)); // every thread its own node
}

TEST(KvUuid, SizedFormChecksTheBuffer) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    generateUuid(buffer, kUuidTextSize);
    EXPECT_TRUE(isVersionOneText(buffer));
    EXPECT_EQ(buffer[37], 'x');

    std::memset(buffer, 'x', sizeof buffer);
    try {
        generateUuid(buffer, kUuidTextSize - 1);
        FAIL() << "no exception";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "generateUuid: buffer too small");
    }
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_THROW(generateUuid(nullptr, 100), KvHandle<KvException>);
}

} // namespace
