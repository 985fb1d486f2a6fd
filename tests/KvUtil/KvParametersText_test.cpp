// The text of a parameter list written straight to a stream, and its count read without the
// lock while other threads change the list.
#include "KvParameters.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

TEST(KvParametersText, WritingGivesTheSerializedText) {
    for (const char* separator : {";", ",", "&&"}) {
        for (const char* text : {"", "lr", "tag=1928301774", "a=1;b;c=3", "x=\"q;q\";y",
                                 "branch=z9hG4bK776asdhds;received=192.0.2.1;rport"}) {
            KvParameters list(separator);
            list.parseString(text);
            list.setParameter("added", "");
            KvStringOutputStream out;
            list.writeTo(out);
            EXPECT_TRUE(list.serialize() == out.text.c_str()) << separator << " " << text;
        }
    }
}

TEST(KvParametersText, CountIsReadWhileTheListChanges) {
    KvParameters list;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            list.setParameter("a", "1");
            list.setParameter("b", "2");
            list.removeParameter("a");
            list.removeAll();
        }
        done = true;
    });
    uint32_t highest = 0;
    while (!done) {
        const uint32_t count = list.getCount();
        EXPECT_LE(count, 2u);
        highest = count > highest ? count : highest;
    }
    writer.join();
    EXPECT_EQ(list.getCount(), 0u);
    list.setParameter("k", "v");
    EXPECT_EQ(list.getCount(), 1u);
}
