// Retry-After: seconds or a date, an optional comment and an optional duration (RFC 3261 20.33).
#include "KvException.h"
#include "KvSipParseError.h"
#include "KvSipRetryAfterHeader.h"
#include "support/KvCorpus.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

KvHandle<KvSipRetryAfterHeader> parseRetryAfter(const std::string& value) {
    KvHandle<KvSipHeader> header = kvParseHeader("Retry-After: " + value + "\r\n");
    auto* typed = dynamic_cast<KvSipRetryAfterHeader*>(header.get());
    EXPECT_NE(typed, nullptr) << value;
    EXPECT_TRUE(header->getNext().isNull()) << value;
    return KvHandle<KvSipRetryAfterHeader>(typed);
}

} // namespace

TEST(KvSipRetryAfterHeaderTest, SecondsWithCommentAndDurationRoundTrip) {
    auto plain = parseRetryAfter("120");
    EXPECT_EQ(plain->getId(), KV_HEADER_RETRY_AFTER);
    EXPECT_FALSE(plain->isDateForm());
    EXPECT_EQ(plain->getDeltaSeconds(), 120u);
    EXPECT_FALSE(plain->hasDuration());
    EXPECT_EQ(kvSerialized(plain), "120");

    auto duration = parseRetryAfter("18000;duration=3600");
    EXPECT_EQ(duration->getDeltaSeconds(), 18000u);
    EXPECT_TRUE(duration->hasDuration());
    EXPECT_EQ(duration->getDuration(), 3600u);
    EXPECT_EQ(kvSerialized(duration), "18000; duration=3600");

    auto comment = parseRetryAfter("120 (I'm in a meeting)");
    EXPECT_EQ(std::string(comment->getComment().c_str()), "I'm in a meeting");
    EXPECT_EQ(kvSerialized(comment), "120 (I'm in a meeting)");

    auto both = parseRetryAfter("120 (busy, call later);duration=60");
    EXPECT_EQ(std::string(both->getComment().c_str()), "busy, call later");
    EXPECT_EQ(both->getDuration(), 60u);
    EXPECT_EQ(kvSerialized(both), "120 (busy, call later); duration=60");
    // Writing and reading again gives the same text.
    EXPECT_EQ(kvSerialized(parseRetryAfter(kvSerialized(both)).get()), kvSerialized(both));
}

TEST(KvSipRetryAfterHeaderTest, DurationIsFoundByItsWholeName) {
    auto later = parseRetryAfter("30;foo=\"a;b\";DURATION=5");
    EXPECT_TRUE(later->hasDuration());
    EXPECT_EQ(later->getDuration(), 5u);
    auto longer = parseRetryAfter("30;durationx=5");
    EXPECT_FALSE(longer->hasDuration());
    auto prefix = parseRetryAfter("30;dur=5");
    EXPECT_FALSE(prefix->hasDuration());
    EXPECT_EQ(kvParseFailure("Retry-After: 30;duration=soon\r\n"), "unsigned number expected");
    EXPECT_EQ(kvParseFailure("Retry-After: 4294967306\r\n"), "unsigned number expected");
}

TEST(KvSipRetryAfterHeaderTest, DateForm) {
    auto date = parseRetryAfter("Fri, 21 Nov 2003 08:09:10 GMT;duration=3600");
    EXPECT_TRUE(date->isDateForm());
    EXPECT_TRUE(date->getComment().isEmpty());
    EXPECT_EQ(date->getDuration(), 3600u);
    EXPECT_EQ(kvSerialized(date), "Fri, 21 Nov 2003 08:09:10 GMT; duration=3600");

    auto commented = parseRetryAfter("Fri, 21 Nov 2003 08:09:10 GMT (maintenance)");
    EXPECT_TRUE(commented->isDateForm());
    EXPECT_EQ(kvSerialized(commented), "Fri, 21 Nov 2003 08:09:10 GMT (maintenance)");

    EXPECT_EQ(kvParseFailure("Retry-After: soon\r\n"), "Invalid Date in Retry-After header");
    EXPECT_EQ(kvParseFailure("Retry-After: " + std::string(300, 'x') + "\r\n"),
              "Invalid Retry-After header");
}

TEST(KvSipRetryAfterHeaderTest, CommentsAreBounded) {
    EXPECT_EQ(kvParseFailure("Retry-After: 120 (" + std::string(300, 'c') + ")\r\n"),
              "Missing ')' for comment");
    EXPECT_EQ(kvParseFailure("Retry-After: 120 (" + std::string(256, 'c') + ")\r\n"),
              "Missing ')' for comment");
    EXPECT_EQ(parseRetryAfter("120 (" + std::string(255, 'c') + ")")->getComment().length(), 255u);
    EXPECT_EQ(kvParseFailure("Retry-After: 120 (never closed\r\n"), "Missing ')' for comment");
    // Nested comments and escaped parentheses are kept whole.
    auto nested = parseRetryAfter("120 (out (of office) \\) back)");
    EXPECT_EQ(std::string(nested->getComment().c_str()), "out (of office) \\) back");
}

TEST(KvSipRetryAfterHeaderTest, ValueConstructorAndSetters) {
    KvSipRetryAfterHeader noDuration(5, 0);
    EXPECT_EQ(kvSerialized(noDuration), "5");
    KvSipRetryAfterHeader withDuration(5, 10);
    EXPECT_EQ(kvSerialized(withDuration), "5; duration=10");

    KvSipRetryAfterHeader header(5, 0);
    header.setComment("  lunch");
    EXPECT_EQ(kvSerialized(header), "5 (lunch)");
    try {
        header.setDate("not a date");
        FAIL() << "a bad date must be refused";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "Invalid Date in Retry-After header");
        EXPECT_NE(dynamic_cast<KvSipParseError*>(e.get()), nullptr);
    }
    EXPECT_FALSE(header.isDateForm());
    header.setDate("Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_TRUE(header.isDateForm());

    KvHandle<KvSipRetryAfterHeader> copy(static_cast<KvSipRetryAfterHeader*>(header.clone()));
    EXPECT_EQ(kvSerialized(copy), "Sun, 06 Nov 1994 08:49:37 GMT (lunch)");
}

TEST(KvSipRetryAfterHeaderTest, Rfc4475ScalarIsRefused) {
    KV_REQUIRE_CORPUS();
    EXPECT_EQ(kvParseFailure(kvCorpusHeaderLine("scalarlg.dat", "Retry-After:")),
              "unsigned number expected");
}
