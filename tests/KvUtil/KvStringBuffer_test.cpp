#include "KvConstString.h"
#include "KvException.h"
#include "KvStringBuffer.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <new>
#include <thread>
#include <vector>

TEST(KvStringBuffer, CreateFollowsTextLengthAndCapacity) {
    EXPECT_EQ(KvStringBuffer::create(nullptr, 0, 0), nullptr);
    EXPECT_EQ(KvStringBuffer::create("", 0, 0), nullptr);
    KvString empty(KvStringBuffer::create("", 0, 10));
    ASSERT_FALSE(empty.isNull());
    EXPECT_EQ(empty.length(), 0u);
    EXPECT_EQ(empty->capacity(), 10u);
    KvString part(KvStringBuffer::create("abcdef", 3, 1));
    EXPECT_STREQ(part.data(), "abc");
    EXPECT_EQ(part->capacity(), 4u);
}

// A size whose terminator would pass the 32-bit limit cannot be held: refused before the sum.
TEST(KvStringBuffer, SizesAtThe32BitLimitAreRefused) {
    EXPECT_THROW(KvStringBuffer::create("abc", 0xFFFFFFFFu), std::bad_alloc);
    auto stream = kvStreamOf("abc");
    EXPECT_THROW(KvStringBuffer::readBytes(nullptr, *stream, 0xFFFFFFFFu), std::bad_alloc);
    KvString text(KvStringBuffer::readBytes(nullptr, *stream, 3));
    EXPECT_STREQ(text.data(), "abc");
}

TEST(KvString, CopyOnWriteLeavesSharersAlone) {
    KvString a("abc");
    KvString b = a;
    EXPECT_EQ(a.get(), b.get());
    b += "def";
    EXPECT_STREQ(a.data(), "abc");
    EXPECT_STREQ(b.data(), "abcdef");
    KvString c = a;
    c.toUpperCase();
    EXPECT_STREQ(a.data(), "abc");
    EXPECT_STREQ(c.data(), "ABC");
    KvString d = a;
    d = "xyz";
    EXPECT_STREQ(a.data(), "abc");
    KvString e = b;
    e.trim();
    // Room to change in place must not tempt a shared buffer into it.
    KvString roomy(KvStringBuffer::create("  abc  ", 0, 64));
    KvString g = roomy;
    g += "def";
    EXPECT_STREQ(roomy.data(), "  abc  ");
    EXPECT_STREQ(g.data(), "  abc  def");
    KvString h = roomy;
    h.trim();
    EXPECT_STREQ(roomy.data(), "  abc  ");
    EXPECT_STREQ(h.data(), "abc");
    KvString f = a;
    f += f; // appending a string to itself
    EXPECT_STREQ(f.data(), "abcabc");
    EXPECT_STREQ(a.data(), "abc");
}

TEST(KvString, AssignAndAppendInPlaceWithOwnText) {
    KvString s(KvStringBuffer::create("hello world", 0, 64));
    KvStringBuffer* before = s.get();
    s = s.data() + 6; // a suffix of its own text
    EXPECT_EQ(s.get(), before);
    EXPECT_STREQ(s.data(), "world");
    s += s.data();
    EXPECT_STREQ(s.data(), "worldworld");
    s += static_cast<const char*>(nullptr);
    EXPECT_STREQ(s.data(), "worldworld");
    EXPECT_EQ(KvStringBuffer::append(s.get(), "xyz", 2), s.get());
    EXPECT_STREQ(s.data(), "worldworldxy");
    // A null text is the empty string, also for a string that is shared.
    KvString sharer = s;
    s = static_cast<const char*>(nullptr);
    EXPECT_TRUE(s.isNull());
    EXPECT_STREQ(sharer.data(), "worldworldxy");
    // A length beyond the text is cut to the text, also when there is no buffer yet.
    const char shortText[] = {'a', 'b', '\0', 'X', 'Y'};
    KvString fresh(KvStringBuffer::append(nullptr, shortText, 5));
    EXPECT_STREQ(fresh.data(), "ab");
    EXPECT_EQ(fresh.length(), 2u);
    fresh += KvString();
    EXPECT_STREQ(fresh.data(), "ab");
}

TEST(KvString, SubstringTrimAndIndexOf) {
    KvString three("abc");
    EXPECT_TRUE(three.substring(3, 0).isNull());
    EXPECT_TRUE(three.substring(4, 0).isNull());
    KvString six("abcdef");
    EXPECT_STREQ(six.substring(2, 10).data(), "cdef");
    EXPECT_STREQ(six.substring(1, 2).data(), "bc");

    KvString padded(" \t\r\na b \n\r ");
    padded.trim();
    EXPECT_STREQ(padded.data(), "a b");
    KvString blanks("    ");
    blanks.trim();
    EXPECT_EQ(blanks.length(), 0u);

    EXPECT_EQ(six.indexOf("cd"), 2);
    EXPECT_EQ(six.indexOf("cd", 3), -1);
    EXPECT_EQ(six.indexOf("a", 6), -1);
    EXPECT_EQ(KvString().indexOf("a"), -1);
}

TEST(KvString, ComparisonsTreatNullAsEmpty) {
    KvString none;
    EXPECT_EQ(KvStringBuffer::compareText(nullptr, ""), 0);
    EXPECT_EQ(KvStringBuffer::compareText(nullptr, nullptr), 0);
    EXPECT_EQ(KvStringBuffer::compareText(nullptr, "x"), -1);
    EXPECT_TRUE(none == "");
    EXPECT_TRUE(none == static_cast<const char*>(nullptr));
    EXPECT_TRUE(none == KvString(KvStringBuffer::create("", 0, 4)));
    EXPECT_FALSE(none == KvString("a"));
    EXPECT_FALSE(KvString("a") == none);
    EXPECT_TRUE(KvString("abc") == KvString("abc"));
    EXPECT_EQ(KvStringBuffer::compareTextIgnoreCase(KvString("SIP/2.0").get(), "sip/2.0"), 0);
    EXPECT_NE(KvStringBuffer::compareTextIgnoreCase(KvString("abc").get(), "abd"), 0);
    // Only A-Z fold: '[' and '{' differ.
    EXPECT_NE(KvStringBuffer::compareTextIgnoreCase(KvString("[").get(), "{"), 0);
}

TEST(KvString, HashIsTimesFivePlusSignedChar) {
    EXPECT_EQ(KvString("ab")->hash(), 583u);
    char high[] = {'a', static_cast<char>(0xE0), 0};
    EXPECT_EQ(KvString(high)->hash(), static_cast<uint32_t>(97 * 5 - 32));
}

TEST(KvString, SharedHashIsComputedSafelyFromManyThreads) {
    KvString shared("a shared text hashed by several threads at once");
    uint32_t expected = KvString(shared.data())->hash();
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([shared, expected] {
            for (int j = 0; j < 1000; ++j)
                EXPECT_EQ(shared->hash(), expected);
        });
    for (auto& t : threads)
        t.join();
}

TEST(KvString, LockAndReleaseBuffer) {
    KvStringBuffer* raw = KvStringBuffer::create(nullptr, 0, 16);
    char* text = KvStringBuffer::lockBuffer(raw, 16);
    int n = std::snprintf(text, 16, "%d", 12345);
    KvStringBuffer::releaseBuffer(raw, n);
    KvString held(raw);
    EXPECT_STREQ(held.data(), "12345");
    EXPECT_THROW(KvStringBuffer::lockBuffer(raw, 4), KvHandle<KvException>); // held now
    KvStringBuffer* small = KvStringBuffer::create(nullptr, 0, 4);
    KvString guard(small);
    EXPECT_THROW(KvStringBuffer::releaseBuffer(small, 4), KvHandle<KvException>);
}

TEST(KvString, ReadsTokensAndPrints) {
    auto in = kvStreamOf("  first second\r\nthird");
    KvString a, b, c, d;
    *in >> a >> b >> c;
    EXPECT_STREQ(a.data(), "first");
    EXPECT_STREQ(b.data(), "second");
    EXPECT_STREQ(c.data(), "third");
    *in >> d;
    EXPECT_EQ(d.length(), 0u);

    auto peek = kvStreamOf("token;rest");
    KvString p(KvStringBuffer::peekToken(nullptr, *peek, ";"));
    EXPECT_STREQ(p.data(), "token");
    EXPECT_EQ(peek->read(), 't');

    KvStringOutputStream out;
    out << KvString("text") << KvString();
    EXPECT_EQ(out.text, "text");
}

TEST(KvConstString, OwnsItsCopy) {
    KvConstString s("Hello");
    EXPECT_EQ(s.length(), 5u);
    s.setText(s.data() + 1); // its own text
    EXPECT_STREQ(s.data(), "ello");
    s = "";
    EXPECT_EQ(s.length(), 0u);
    EXPECT_EQ(s.data(), nullptr);
    EXPECT_TRUE(s.equals(nullptr));
    EXPECT_TRUE(s.equals(""));
    EXPECT_FALSE(s.equals("a"));
    KvConstString t("Via");
    EXPECT_FALSE(t.equals(nullptr));
    EXPECT_TRUE(t.equals("Via"));
    t.toUpperCase();
    EXPECT_STREQ(t.data(), "VIA");
    KvConstString u(t);
    u.toLowerCase();
    EXPECT_STREQ(t.data(), "VIA");
    EXPECT_STREQ(u.data(), "via");
    EXPECT_EQ(u.indexOf("a"), 2);
    u = u;
    EXPECT_STREQ(u.data(), "via");
}
