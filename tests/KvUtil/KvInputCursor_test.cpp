// Reading straight from the bytes of an in-memory stream (peek, the cursor, the tokenizer's
// scanners) against the byte-by-byte calls of a stream that shows nothing: same bytes, and the
// stream left at the same place with the same mark.
#include "KvInputStream.h"
#include "KvParameters.h"
#include "KvStreamTokenizer.h"
#include "support/KvTestExceptions.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Where the stream stands and where it is marked, as the bytes a reader would get.
std::string stateOf(KvInputStream& stream) {
    std::string state = kvRestOf(stream) + "|";
    stream.reset();
    return state + kvRestOf(stream);
}

// A random run of reads, marks and resets through a cursor; the log of what was read.
std::string exercise(KvInputStream& stream, uint32_t seed, bool release) {
    std::mt19937 random(seed);
    std::string log;
    {
        KvInputCursor cursor(stream);
        for (int step = 0; step < 40; ++step) {
            switch (random() % 4) {
            case 0:
                cursor.mark();
                log += 'M';
                break;
            case 1:
                cursor.reset();
                log += 'R';
                break;
            default:
                log += std::to_string(cursor.read()) + ',';
            }
        }
        if (release) {
            cursor.release();
            // Spent, the cursor passes every call on.
            log += std::to_string(cursor.read());
        }
    }
    return log;
}

} // namespace

TEST(KvInputCursor, ReadsMarksAndResetsAsTheStreamWould) {
    const std::string text = "abc;def\r\nghi\xff\x00jkl";
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        for (size_t skipped : {size_t(0), size_t(3)}) {
            for (bool release : {false, true}) {
                KvPlainStream plain(text);
                auto fast = kvStreamOf(text);
                // A mark made before the cursor, behind bytes already read: reset may go there.
                for (size_t i = 0; i < skipped; ++i) {
                    plain.read();
                    fast->read();
                }
                plain.mark(1);
                fast->mark(1);
                plain.read();
                fast->read();
                EXPECT_EQ(exercise(*fast, seed, release), exercise(plain, seed, release)) << seed;
                EXPECT_EQ(stateOf(*fast), stateOf(plain)) << seed;
            }
        }
    }
}

TEST(KvInputCursor, TakesRunsOnlyFromMemory) {
    auto fast = kvStreamOf("hello world");
    KvInputCursor cursor(*fast);
    uint32_t length = 0;
    const char* rest = cursor.rest(length);
    ASSERT_NE(rest, nullptr);
    EXPECT_EQ(std::string(rest, length), "hello world");
    cursor.advance(6);
    EXPECT_EQ(cursor.read(), 'w');
    cursor.release();
    EXPECT_EQ(fast->read(), 'o');

    KvPlainStream plain("hello");
    KvInputCursor other(plain);
    EXPECT_EQ(other.rest(length), nullptr);
    EXPECT_EQ(length, 0u);
}

TEST(KvInputCursor, TokenizerScansAlikeBothWays) {
    // Delimiter sets of every size the scanners treat apart, bytes above 127, NUL and blanks.
    const std::vector<std::string> delimiterSets = {"",
                                                    "/",
                                                    ":",
                                                    "\r\n",
                                                    ",;",
                                                    " \t\r\n",
                                                    "\xff"
                                                    ",",
                                                    " \t\r\n\\\"()<>@,;:/[]?={}"};
    const std::vector<std::string> texts = {
        "",
        "   ",
        "token",
        " \t\r\n  token rest",
        "a/b:c,d;e f\tg\r\nh",
        std::string("x\0y\xff"
                    "z,w",
                    7),
        "\x80\x81 \xfe\xff;end",
        "\r\n\r\nline\r\nnext",
        std::string(600, 'k') + ";",
    };
    for (const std::string& delimiters : delimiterSets) {
        for (const std::string& text : texts) {
            const std::string where = "[" + delimiters + "] over [" + text + "]";
            {
                KvPlainStream plain(text);
                auto fast = kvStreamOf(text);
                EXPECT_EQ(KvStreamTokenizer::skipWhitespace(*fast),
                          KvStreamTokenizer::skipWhitespace(plain))
                    << where;
                EXPECT_EQ(stateOf(*fast), stateOf(plain)) << where;
            }
            {
                KvPlainStream plain(text);
                auto fast = kvStreamOf(text);
                const uint32_t length = KvStreamTokenizer::tokenLength(plain, delimiters.c_str());
                EXPECT_EQ(KvStreamTokenizer::tokenLength(*fast, delimiters.c_str()), length)
                    << where;
                EXPECT_EQ(stateOf(*fast), stateOf(plain)) << where;
                // The same set as a character class, both ways.
                const KvCharClass set = KvCharClass::of(delimiters.c_str());
                KvPlainStream plainAgain(text);
                auto fastAgain = kvStreamOf(text);
                EXPECT_EQ(KvStreamTokenizer::tokenLength(plainAgain, set), length) << where;
                EXPECT_EQ(KvStreamTokenizer::tokenLength(*fastAgain, set), length) << where;
                EXPECT_EQ(stateOf(*fastAgain), stateOf(plainAgain)) << where;
            }
            for (uint32_t size : {1u, 4u, 32u}) {
                KvPlainStream plain(text);
                auto fast = kvStreamOf(text);
                char a[32];
                char b[32];
                const bool fitsFast =
                    KvStreamTokenizer::readTokenToBuffer(*fast, delimiters.c_str(), a, size);
                const bool fitsPlain =
                    KvStreamTokenizer::readTokenToBuffer(plain, delimiters.c_str(), b, size);
                EXPECT_EQ(fitsFast, fitsPlain) << where;
                if (fitsFast && fitsPlain) {
                    EXPECT_STREQ(a, b) << where;
                }
                EXPECT_EQ(stateOf(*fast), stateOf(plain)) << where;
            }
            // Read into a string, copied straight from the window or byte by byte.
            {
                const KvCharClass set = KvCharClass::of(delimiters.c_str());
                KvPlainStream plain(text);
                auto fast = kvStreamOf(text);
                const KvString fromFast(
                    KvStringBuffer::readToken(nullptr, *fast, delimiters.c_str()));
                const KvString fromPlain(
                    KvStringBuffer::readToken(nullptr, plain, delimiters.c_str()));
                EXPECT_EQ(std::string(fromFast.data(), fromFast.length()),
                          std::string(fromPlain.data(), fromPlain.length()))
                    << where;
                EXPECT_EQ(fromFast.isNull(), fromPlain.isNull()) << where;
                // The token behind it, through the character class.
                EXPECT_TRUE(KvString(KvStringBuffer::readToken(nullptr, *fast, set)) ==
                            KvString(KvStringBuffer::readToken(nullptr, plain, set)))
                    << where;
                EXPECT_EQ(stateOf(*fast), stateOf(plain)) << where;
            }
            // Taken in place from the window, through the buffer or a string without one.
            for (uint32_t size : {1u, 4u, 32u}) {
                const KvCharClass set = KvCharClass::of(delimiters.c_str());
                KvPlainStream plain(text);
                auto fast = kvStreamOf(text);
                char a[32];
                char b[32];
                KvString longerFast;
                KvString longerPlain;
                const std::string_view fromFast =
                    KvStreamTokenizer::takeToken(*fast, set, a, size, longerFast);
                const std::string_view fromPlain =
                    KvStreamTokenizer::takeToken(plain, set, b, size, longerPlain);
                EXPECT_EQ(fromFast, fromPlain) << where;
                EXPECT_EQ(stateOf(*fast), stateOf(plain)) << where;
            }
        }
    }
}

TEST(KvInputCursor, NumbersReadAlikeBothWays) {
    for (const std::string text : {"", " \t42 x", "007;", "4294967295,", "4294967296",
                                   "99999999999999999999 z", "x1", "12"}) {
        KvPlainStream plain(text);
        auto fast = kvStreamOf(text);
        uint32_t fromPlain = 0;
        uint32_t fromFast = 0;
        EXPECT_EQ(kvThrownText([&] { fromFast = KvStreamTokenizer::readUnsignedNumber(*fast); }),
                  kvThrownText([&] { fromPlain = KvStreamTokenizer::readUnsignedNumber(plain); }))
            << text;
        EXPECT_EQ(fromFast, fromPlain) << text;
        EXPECT_EQ(stateOf(*fast), stateOf(plain)) << text;
    }
}

TEST(KvInputCursor, ParametersParseAlikeBothWays) {
    const std::vector<std::string> texts = {
        "transport=udp;lr",
        "branch=z9hG4bK776asdhds;received=192.0.2.1;rport, SIP/2.0/UDP next",
        "a=\"x;y,z\";b=2",
        "a=\"esc\\\"aped;still\";b",
        "a=1;\r\n b=2\r\nNext: x",
        "a=1\r\nNext",
        "k = v ; x=y=z;;",
        "key=",
        "=value",
        std::string("n\0ul=\xff\x80;z", 9),
        std::string(1030, 'k'),
        "a=\"" + std::string(1100, 'v'),
        // Line ends, lone CRs and NULs in quotes, at the buffer's bound and one past it.
        "a=1;b=2\r\n",
        "a=1;b\n",
        "a=1\r\n\tb=2\r\nNext",
        "a=1\rb=2;c",
        "a=\"x\r\ny\";b=2\r\n",
        std::string("a=\"x\0y\";b", 10),
        std::string("a=\"x\\\0\";b", 10),
        ",rest",
        " ;\t, rest",
        std::string(1023, 'k'),
        std::string(1024, 'k'),
        "a=" + std::string(1020, 'v') + "\r\n",
        "a=" + std::string(1021, 'v') + "\r\n",
    };
    for (const char* separator : {";", ",", "&"}) {
        for (const std::string& text : texts) {
            const std::string where = std::string(separator) + " over [" + text + "]";
            KvPlainStream plain(text);
            auto fast = kvStreamOf(text);
            KvParameters fromPlain(separator);
            KvParameters fromFast(separator);
            const std::string failedPlain = kvThrownText([&] { fromPlain.parse(plain); });
            const std::string failedFast = kvThrownText([&] { fromFast.parse(*fast); });
            EXPECT_EQ(failedFast, failedPlain) << where;
            EXPECT_STREQ(fromFast.serialize().c_str(), fromPlain.serialize().c_str()) << where;
            EXPECT_EQ(kvRestOf(*fast), kvRestOf(plain)) << where;
        }
    }
}
