// Reading straight from the bytes of an in-memory stream (peek, the cursor, the tokenizer's
// scanners) against the byte-by-byte calls of a stream that shows nothing: same bytes, and the
// stream left at the same place with the same mark.
#include "KvInputStream.h"
#include "KvStreamTokenizer.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

class PlainStream : public KvInputStream {
public:
    explicit PlainStream(std::string text) : m_text(std::move(text)) {}
    int read() override {
        return m_position < m_text.size() ? static_cast<uint8_t>(m_text[m_position++]) : -1;
    }
    int32_t available() override { return static_cast<int32_t>(m_text.size() - m_position); }
    bool markSupported() override { return true; }
    void mark(int32_t) override { m_mark = m_position; }
    void reset() override { m_position = m_mark; }

private:
    std::string m_text;
    size_t m_position = 0;
    size_t m_mark = 0;
};

// Where the stream stands and where it is marked, as the bytes a reader would get.
std::string stateOf(KvInputStream& stream) {
    std::string state;
    for (int c = stream.read(); c >= 0; c = stream.read())
        state.push_back(static_cast<char>(c));
    state += "|";
    stream.reset();
    for (int c = stream.read(); c >= 0; c = stream.read())
        state.push_back(static_cast<char>(c));
    return state;
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
                PlainStream plain(text);
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

    PlainStream plain("hello");
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
                PlainStream plain(text);
                auto fast = kvStreamOf(text);
                EXPECT_EQ(KvStreamTokenizer::skipWhitespace(*fast),
                          KvStreamTokenizer::skipWhitespace(plain))
                    << where;
                EXPECT_EQ(stateOf(*fast), stateOf(plain)) << where;
            }
            {
                PlainStream plain(text);
                auto fast = kvStreamOf(text);
                EXPECT_EQ(KvStreamTokenizer::tokenLength(*fast, delimiters.c_str()),
                          KvStreamTokenizer::tokenLength(plain, delimiters.c_str()))
                    << where;
                EXPECT_EQ(stateOf(*fast), stateOf(plain)) << where;
            }
            for (uint32_t size : {1u, 4u, 32u}) {
                PlainStream plain(text);
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
        }
    }
}
