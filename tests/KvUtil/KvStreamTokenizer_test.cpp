#include "KvException.h"
#include "KvParameters.h"
#include "KvStreamTokenizer.h"
#include "support/KvTestExceptions.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <thread>

using T = KvStreamTokenizer;

TEST(KvStreamTokenizer, Numbers) {
    auto s = kvStreamOf("  42;");
    EXPECT_EQ(T::readUnsignedNumber(*s), 42u);
    EXPECT_EQ(s->read(), ';');
    EXPECT_EQ(T::readUnsignedNumber(*kvStreamOf("4294967295")), 4294967295u);
    // Past 32 bits is refused, not wrapped (4294967298 would read as 2).
    EXPECT_EQ(kvThrownText([] { T::readUnsignedNumber(*kvStreamOf("4294967298")); }),
              "unsigned number expected");
    EXPECT_EQ(kvThrownText([] { T::readUnsignedNumber(*kvStreamOf("99999999999999999999999")); }),
              "unsigned number expected");
    EXPECT_EQ(kvThrownText([] { T::readUnsignedNumber(*kvStreamOf("x")); }),
              "unsigned number expected");

    auto f = kvStreamOf("1.25 ");
    EXPECT_DOUBLE_EQ(T::readFloat(*f), 1.25);
    EXPECT_EQ(f->read(), ' ');
    EXPECT_EQ(kvThrownText([] { T::readFloat(*kvStreamOf("1.2.3")); }),
              "floating-point value expected");
    EXPECT_EQ(kvThrownText([] { T::readFloat(*kvStreamOf(".")); }),
              "floating-point value expected");
}

TEST(KvStreamTokenizer, Lines) {
    auto s = kvStreamOf(" \t\r\n");
    EXPECT_TRUE(T::isAtLineEnd(*s));
    EXPECT_EQ(s->read(), ' ');
    EXPECT_FALSE(T::isAtLineEnd(*kvStreamOf(" a")));
    EXPECT_STREQ(T::readLine(*kvStreamOf("\r\nabc\r\nnext")).data(), "abc");
    KvString atEnd = T::readLine(*kvStreamOf(""));
    EXPECT_FALSE(atEnd.isNull());
    EXPECT_EQ(atEnd.length(), 0u);

    char buffer[16];
    EXPECT_EQ(
        kvThrownText([&] { T::readLineToBuffer(*kvStreamOf("abc\rx"), buffer, sizeof buffer); }),
        "carriage return without newline");
    auto two = kvStreamOf("first\nsecond\r\n");
    ASSERT_TRUE(T::readLineToBuffer(*two, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "first");
    ASSERT_TRUE(T::readLineToBuffer(*two, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "second");
    EXPECT_FALSE(
        T::readLineToBuffer(*kvStreamOf("0123456789abcdefXYZ\r\n"), buffer, sizeof buffer));

    auto skip = kvStreamOf("skip me\nkeep");
    T::skipLine(*skip);
    EXPECT_EQ(skip->read(), 'k');
}

TEST(KvStreamTokenizer, TokensAndPeeks) {
    char buffer[4];
    auto s = kvStreamOf("abc;");
    ASSERT_TRUE(T::readTokenToBuffer(*s, ";", buffer, 4));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(s->read(), ';');
    auto four = kvStreamOf("abcd;");
    EXPECT_FALSE(T::readTokenToBuffer(*four, ";", buffer, 4));
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(T::tokenLength(*kvStreamOf(""), ";"), 0u);

    char peek[16];
    auto p = kvStreamOf("  INVITE sip:x");
    ASSERT_TRUE(T::peekToken(*p, " ", peek, sizeof peek));
    EXPECT_STREQ(peek, "INVITE");
    ASSERT_TRUE(T::peekToken(*p, " ", peek, sizeof peek));
    EXPECT_STREQ(peek, "INVITE");
    EXPECT_EQ(p->read(), ' ');
    EXPECT_FALSE(T::peekToken(*kvStreamOf("noend"), " ", peek, sizeof peek));

    KvString q = T::readQuotedString(*kvStreamOf(" \"a\\\"b\" rest"));
    EXPECT_STREQ(q.data(), "\"a\\\"b\"");
    EXPECT_EQ(kvThrownText([] { T::readQuotedString(*kvStreamOf("abc")); }),
              "quote ( \" ) expected");
    EXPECT_EQ(kvThrownText([] { T::readQuotedString(*kvStreamOf("\"open")); }),
              "quote ( \" ) expected");
}

TEST(KvStreamTokenizer, HighBytesAreBytes) {
    std::string text = "\xFF\xFE;";
    auto s = kvStreamOf(text);
    char buffer[8];
    ASSERT_TRUE(T::readTokenToBuffer(*s, ";", buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer), "\xFF\xFE");
}

namespace {
class NoMarks : public KvInputStream {
public:
    int read() override { return -1; }
};
} // namespace

TEST(KvStreamTokenizer, NeedsMarks) {
    NoMarks s;
    EXPECT_EQ(kvThrownText([&] { T::skipWhitespace(s); }),
              "Can only tokenize streams where mark supported");
    EXPECT_EQ(kvThrownText([&] { T::isAtLineEnd(s); }),
              "Can only tokenize streams where mark supported");
}

TEST(KvParameters, ParseOrderAndSerialize) {
    KvParameters p;
    p.parseString("transport=udp;lr");
    EXPECT_EQ(p.getCount(), 2u);
    EXPECT_STREQ(p.serialize().data(), "lr;transport=udp");
    EXPECT_TRUE(p.hasParameter(" LR "));
    EXPECT_EQ(p.getParameterText("lr"), nullptr);
    EXPECT_EQ(p.getParameterText("absent"), nullptr);
    EXPECT_STREQ(p.getParameterText("Transport"), "udp");
    EXPECT_TRUE(p.getParameter("lr").isNull());

    p.setParameter("TRANSPORT", "tcp");
    EXPECT_EQ(p.getCount(), 2u);
    EXPECT_STREQ(p.getParameter("transport").data(), "tcp");
    p.removeParameter("Lr");
    EXPECT_STREQ(p.serialize().data(), "transport=tcp");
    p.setParameter("x", nullptr);
    p.setParameter("", "v");
    p.setParameter(" \t ", "v"); // blanks alone are no key: never written as "=v"
    EXPECT_EQ(p.getCount(), 1u);
    EXPECT_STREQ(p.serialize().data(), "transport=tcp");
}

TEST(KvParameters, QuotesCommasAndFolding) {
    KvParameters p;
    p.parseString("a=\"x;y,z\";b=2");
    EXPECT_STREQ(p.getParameterText("a"), "\"x;y,z\"");

    auto s = kvStreamOf("tag=1, next");
    KvParameters q;
    q.parse(*s);
    EXPECT_STREQ(q.getParameterText("tag"), "1");
    EXPECT_EQ(s->read(), ',');

    auto folded = kvStreamOf("a=1;\r\n b=2\r\nNext: x");
    KvParameters r;
    r.parse(*folded);
    EXPECT_STREQ(r.getParameterText("b"), "2");
    EXPECT_EQ(folded->read(), 'N');

    KvParameters bad;
    EXPECT_EQ(kvThrownText([&] { bad.parseString("key="); }),
              "Parameter doesn't have Key/Value pair\n");
}

TEST(KvParameters, BufferLimitIsEnforcedEverywhere) {
    KvParameters p;
    EXPECT_EQ(kvThrownText([&] { p.parseString(std::string(1100, 'k').c_str()); }),
              "KvParameters - Buffer overflow");
    // An unclosed quote runs to the end of input, never past the buffer.
    KvParameters q;
    EXPECT_EQ(kvThrownText([&] { q.parseString(("a=\"" + std::string(2000, 'v')).c_str()); }),
              "KvParameters - Buffer overflow");
    KvParameters r;
    r.parseString("a=\"unclosed");
    EXPECT_STREQ(r.getParameterText("a"), "\"unclosed");
    KvParameters fits;
    fits.parseString(std::string(1000, 'k').c_str());
    EXPECT_EQ(fits.getCount(), 1u);
}

TEST(KvParameters, CopiesReverseTheOrderAndCrossAssignmentDoesNotDeadlock) {
    KvParameters p;
    p.parseString("a=1;b=2;c=3");
    EXPECT_STREQ(p.serialize().data(), "c=3;b=2;a=1");
    KvParameters copy(p);
    EXPECT_STREQ(copy.serialize().data(), "a=1;b=2;c=3");
    KvParameters assigned;
    assigned.parseString("old=1");
    assigned = p;
    EXPECT_STREQ(assigned.serialize().data(), "a=1;b=2;c=3");
    EXPECT_EQ(assigned.getCount(), 3u);

    KvParameters a, b;
    a.parseString("x=1");
    b.parseString("y=2");
    std::thread t1([&] {
        for (int i = 0; i < 2000; ++i)
            a = b;
    });
    std::thread t2([&] {
        for (int i = 0; i < 2000; ++i)
            b = a;
    });
    t1.join();
    t2.join();
    EXPECT_EQ(a.getCount(), 1u);
}

// An overflow leaves the stream as reading byte by byte does, marked on the last byte read,
// whether or not the stream shows its bytes.
TEST(KvParameters, OverflowLeavesTheStreamMarkedOnTheLastByteRead) {
    const std::string text = std::string(1100, 'a') + ";b=1";
    auto shown = kvStreamOf(text);
    KvPlainStream plain(text);
    for (KvInputStream* stream :
         {static_cast<KvInputStream*>(shown.get()), static_cast<KvInputStream*>(&plain)}) {
        stream->mark(1);
        KvParameters p;
        EXPECT_EQ(kvThrownText([&] { p.parse(*stream); }), "KvParameters - Buffer overflow");
        stream->reset();
        EXPECT_EQ(kvRestOf(*stream), std::string(77, 'a') + ";b=1");
    }
}
