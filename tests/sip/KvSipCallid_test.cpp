// Call-ID values: a UUID text, "@", and a host text; the local host name is looked up once.
#include "KvException.h"
#include "KvInetAddress.h"
#include "KvSipCallid.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::regex
    kUuidAtHost("[0-9a-f]{8}-[0-9a-f]{4}-1[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}@(.*)");

std::string hostPart(const std::string& value) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(value, match, kUuidAtHost)) << value;
    return match.size() > 1 ? match[1].str() : std::string();
}

} // namespace

TEST(KvSipCallidTest, ValueIsUuidAtHost) {
    KvSipCallid first("pc-17");
    KvSipCallid second("pc-17");
    std::string a = first.getValue();
    std::string b = second.getValue();
    EXPECT_EQ(a.size(), 42u); // 36, "@" and the five characters of the host
    EXPECT_EQ(hostPart(a), "pc-17");
    EXPECT_EQ(hostPart(b), "pc-17");
    EXPECT_NE(a.substr(0, 36), b.substr(0, 36));

    KvSipCallid address("192.0.2.5");
    EXPECT_EQ(std::string(address.getValue()).size(), 46u);

    std::string longHost(300, 'h');
    KvSipCallid longOne(longHost.c_str());
    EXPECT_EQ(hostPart(longOne.getValue()), longHost);
}

TEST(KvSipCallidTest, CopyAndCloneKeepTheText) {
    KvSipCallid original("pc-17");
    KvSipCallid copy(original);
    EXPECT_STREQ(copy.getValue(), original.getValue());
    KvHandle<KvSipCallid> clone(static_cast<KvSipCallid*>(original.clone()));
    EXPECT_STREQ(clone->getValue(), original.getValue());
}

TEST(KvSipCallidTest, UniqueAcrossThreads) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 2000;
    std::vector<std::vector<std::string>> values(kThreads);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < kThreads) {
            }
            for (int i = 0; i < kPerThread; ++i)
                values[t].emplace_back(KvSipCallid("pc-17").getValue());
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::set<std::string> all;
    for (auto& list : values)
        all.insert(list.begin(), list.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kPerThread));
}

// One test, because the host cache lives for the whole process: a failed look-up leaves it empty,
// threads that fill it together agree, and later changes of the local host do not reach it.
TEST(KvSipCallidTest, LocalHostIsLookedUpOnceAndRetriedAfterAFailure) {
    ASSERT_TRUE(KvInetAddress::setLocalHost("bad.invalid"));
    EXPECT_THROW(KvSipCallid(nullptr), KvHandle<KvException>);

    ASSERT_TRUE(KvInetAddress::setLocalHost("127.0.0.1"));
    std::string expectedHost = KvInetAddress::getLocalHost().getHostName().c_str();
    ASSERT_FALSE(expectedHost.empty());

    constexpr int kThreads = 8;
    std::vector<std::string> values(kThreads);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < kThreads) {
            }
            values[t] = KvSipCallid(nullptr).getValue();
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::set<std::string> distinct(values.begin(), values.end());
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads));
    for (auto& value : values)
        EXPECT_EQ(hostPart(value), expectedHost);

    // A look-up would now fail; the cached name is used instead.
    ASSERT_TRUE(KvInetAddress::setLocalHost("bad.invalid"));
    EXPECT_EQ(hostPart(KvSipCallid(nullptr).getValue()), expectedHost);
    KvInetAddress::setLocalHost("");
}
