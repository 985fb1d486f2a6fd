// The text of a parameter list written straight to a stream, and its count read without the
// lock while other threads change the list.
#include "KvException.h"
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

// Each pair keeps its key and value in one block: texts of every size around the short-copy
// limit, replaced in place (also by the pair's own text), copied and removed.
TEST(KvParametersText, PairsKeepTheirTextsThroughReplaceCopyAndRemove) {
    for (size_t size : {1u, 15u, 16u, 31u, 32u, 33u, 300u}) {
        const std::string value(size, 'v');
        KvParameters list;
        list.setParameter("Alpha", "1");
        list.setParameter("beta", value.c_str());
        list.setParameter("gamma", "");
        list.setParameter("ALPHA", value.c_str()); // stays first written as "Alpha", in its place
        list.setParameter("beta", list.getParameterText("beta"));
        EXPECT_EQ(list.getCount(), 3u);
        EXPECT_EQ(list.getParameterText("gamma"), nullptr);
        EXPECT_TRUE(list.hasParameter(" GAMMA "));
        const std::string expected = "gamma;beta=" + value + ";Alpha=" + value;
        EXPECT_TRUE(list.serialize() == expected.c_str()) << size;
        KvParameters copy(list); // a copy holds the pairs reversed
        copy = list;
        const std::string reversed = "Alpha=" + value + ";beta=" + value + ";gamma";
        EXPECT_TRUE(copy.serialize() == reversed.c_str()) << size;
        list.removeParameter("beta");
        EXPECT_TRUE(list.serialize() == ("gamma;Alpha=" + value).c_str()) << size;
        EXPECT_STREQ(copy.getParameterText("beta"), value.c_str());
    }
}

// Setting a key the list holds replaces its value, however the list came to hold it.
TEST(KvParametersText, SettingAHeldKeyReplacesIt) {
    KvParameters parsed;
    parsed.parseString("Tag=1;lr;x=2");
    parsed.setParameter("tag", "3");
    parsed.setParameter("LR", "4");
    EXPECT_TRUE(parsed.serialize() == "x=2;lr=4;Tag=3");

    KvParameters set;
    set.setParameter("tag", "1");
    set.setParsedParameter(std::string_view("TAG"), std::string_view("2"));
    KvParameters copy(set);
    copy.setParameter("Tag", "3");
    EXPECT_TRUE(copy.serialize() == "tag=3");
    KvParameters assigned;
    assigned.setParameter("other", "0");
    assigned = set;
    assigned.setParameter("tag", "4");
    EXPECT_TRUE(assigned.serialize() == "tag=4");
    set.removeAll();
    EXPECT_FALSE(set.hasParameter("tag"));
    set.setParameter("tag", "5");
    set.setParameter("TAG", "6");
    EXPECT_TRUE(set.serialize() == "tag=6");
}

// A copy reads the source's separator under the source's lock, as an assignment to the source
// writes it: no race between the two.
TEST(KvParametersText, CopyingWhileTheSourceIsAssignedSeesOneWholeSeparator) {
    KvParameters source(";");
    KvParameters semicolons(";");
    const std::string amps(32, '&'); // too long to be held in the list itself
    KvParameters longer(amps.c_str());
    semicolons.setParameter("a", "1");
    longer.setParameter("b", "2");
    std::thread assigner([&] {
        for (int i = 0; i < 2000; ++i)
            source = (i % 2) ? semicolons : longer;
    });
    for (int i = 0; i < 2000; ++i) {
        KvParameters copy(source);
        copy.setParameter("z", "9");
        const std::string text = copy.serialize().c_str();
        EXPECT_TRUE(text == "z=9" || text == "z=9;a=1" || text == "z=9" + amps + "b=2") << text;
    }
    assigner.join();
}

TEST(KvParametersText, AVisitThatChangesTheWalkedListIsRefused) {
    using Change = void (*)(KvParameters&, const char*);
    const Change changes[] = {
        [](KvParameters& list, const char* key) { list.removeParameter(key); },
        [](KvParameters& list, const char* key) { list.setParameter(key, "x"); },
        [](KvParameters& list, const char*) { list.removeAll(); },
        [](KvParameters& list, const char*) {
            KvParameters other;
            other.setParameter("x", "y");
            list = other;
        },
    };
    for (Change change : changes) {
        KvParameters list;
        for (const char* key : {"a", "b", "c"})
            list.setParameter(key, std::to_string(*key - 'a' + 1).c_str());
        KvParameters other;
        int visits = 0;
        try {
            list.forEach([&](const char* key, const char* value) {
                ++visits;
                other.setParameter(key, value); // another list may change
                change(list, key);
            });
            ADD_FAILURE() << "the change went through";
        } catch (KvHandle<KvException>& e) {
            EXPECT_STREQ(e->getText(), "KvParameters - changed during forEach");
        }
        EXPECT_EQ(visits, 1);
        EXPECT_TRUE(list.serialize() == "c=3;b=2;a=1");
        EXPECT_EQ(other.getCount(), 1u);
        // The walk is over: the lock is free and changes go through again.
        std::thread([&] { list.removeParameter("a"); }).join();
        list.setParameter("b", "x");
        EXPECT_TRUE(list.serialize() == "c=3;b=x");
    }
}
