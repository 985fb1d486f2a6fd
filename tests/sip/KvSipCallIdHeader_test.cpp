// Text and value headers: Call-ID, Subject, User-Agent and Expires.
#include "KvDate.h"
#include "KvException.h"
#include "KvSipCallIdHeader.h"
#include "KvSipExpiresHeader.h"
#include "KvSipSubjectHeader.h"
#include "KvSipUserAgentHeader.h"
#include "support/KvCorpus.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

TEST(KvSipCallIdHeaderTest, ParsesOneTokenAndWritesItBack) {
    auto header = kvParseHeader("Call-ID: a84b4c76e66710@pc33.atlanta.com\r\n");
    EXPECT_STREQ(kvAs<KvSipCallIdHeader>(header)->getCallIdText(),
                 "a84b4c76e66710@pc33.atlanta.com");
    EXPECT_EQ(header->getId(), KV_HEADER_CALL_ID);
    EXPECT_EQ(kvChainText(header), "Call-ID: a84b4c76e66710@pc33.atlanta.com\r\n");

    auto compact = kvParseHeader("i: f81d4fae-7dec-11d0-a765-00a0c91e6bf6@foo.bar.com\r\n");
    kvAs<KvSipCallIdHeader>(compact);
    EXPECT_EQ(kvChainText(compact), "i: f81d4fae-7dec-11d0-a765-00a0c91e6bf6@foo.bar.com\r\n");

    EXPECT_STREQ(kvAs<KvSipCallIdHeader>(kvParseHeader("Call-ID: abc def\r\n"))->getCallIdText(),
                 "abc");
    EXPECT_EQ(kvParseFailure("Call-ID: \r\n"), "Invalid Call-ID header");
    std::string longId(600, 'x');
    EXPECT_EQ(
        kvAs<KvSipCallIdHeader>(kvParseHeader("Call-ID: " + longId + "\r\n"))->getCallIdText(),
        longId);
}

TEST(KvSipCallIdHeaderTest, TextConstructorKeepsTheTextByteForByte) {
    KvSipCallIdHeader spaced(" a b@host ");
    EXPECT_STREQ(spaced.getCallIdText(), " a b@host ");
    EXPECT_EQ(kvSerialized(spaced), " a b@host ");
    KvSipCallIdHeader null(nullptr);
    EXPECT_STREQ(null.getCallIdText(), "");
    EXPECT_EQ(kvSerialized(null), "");
    KvHandle<KvSipCallIdHeader> copy(static_cast<KvSipCallIdHeader*>(spaced.clone()));
    EXPECT_STREQ(copy->getCallIdText(), " a b@host ");
    EXPECT_EQ(copy->getId(), KV_HEADER_CALL_ID);
}

TEST(KvSipSubjectHeaderTest, SubjectIsFreeTextToTheLineEnd) {
    auto header = kvParseHeader("Subject: Hi, there\r\n");
    EXPECT_EQ(kvChainLength(header), 1u);
    EXPECT_EQ(std::string(kvAs<KvSipSubjectHeader>(header)->getSubject().c_str()), "Hi, there");
    EXPECT_EQ(kvChainText(header), "Subject: Hi, there\r\n");

    EXPECT_EQ(kvChainText(kvParseHeader("s: Need more boxes  \r\n")), "s: Need more boxes\r\n");
    EXPECT_EQ(kvSerialized(kvParseHeader("Subject: lunch\r\n tomorrow\r\n")), "lunch tomorrow");
    EXPECT_EQ(kvSerialized(kvParseHeader("Subject:\r\n")), "");
}

TEST(KvSipUserAgentHeaderTest, ProductAndVersionRoundTrip) {
    auto header = kvParseHeader("User-Agent: Softphone/1.2.3\r\n");
    auto* agent = kvAs<KvSipUserAgentHeader>(header);
    EXPECT_EQ(std::string(agent->getProduct().c_str()), "Softphone");
    EXPECT_EQ(std::string(agent->getVersion().c_str()), "1.2.3");
    EXPECT_EQ(kvSerialized(header), "Softphone/1.2.3");
    EXPECT_EQ(kvSerialized(kvParseHeader("User-Agent: Softphone\r\n")), "Softphone");

    KvSipUserAgentHeader built("KvPhone", "2.0");
    EXPECT_EQ(built.getId(), KV_HEADER_USER_AGENT);
    EXPECT_EQ(kvSerialized(built), "KvPhone/2.0");
    KvSipUserAgentHeader productOnly("KvPhone", "");
    EXPECT_EQ(kvSerialized(productOnly), "KvPhone");
}

TEST(KvSipUserAgentHeaderTest, CommentsStayInTheTextAndDoNotSplitTheHeader) {
    auto header = kvParseHeader("User-Agent: Foo/1.0 (Linux, x86_64)\r\n");
    EXPECT_EQ(kvChainLength(header), 1u);
    EXPECT_EQ(std::string(kvAs<KvSipUserAgentHeader>(header)->getVersion().c_str()),
              "1.0 (Linux, x86_64)");
    EXPECT_EQ(kvSerialized(header), "Foo/1.0 (Linux, x86_64)");

    // Neither a "/" nor a nested comment inside a comment ends the product.
    auto commented = kvParseHeader("User-Agent: Foo (a/b, (c, d) \\) e)\r\n");
    EXPECT_EQ(kvChainLength(commented), 1u);
    EXPECT_EQ(kvSerialized(commented), "Foo (a/b, (c, d) \\) e)");

    // A comma outside any comment still separates two values.
    EXPECT_EQ(kvChainLength(kvParseHeader("User-Agent: A/1, B/2\r\n")), 2u);
}

TEST(KvSipExpiresHeaderTest, DeltaSeconds) {
    auto header = kvParseHeader("Expires: 3600\r\n");
    auto* expires = kvAs<KvSipExpiresHeader>(header);
    EXPECT_FALSE(expires->isDateForm());
    EXPECT_EQ(expires->getDeltaSeconds(), 3600u);
    EXPECT_EQ(kvSerialized(header), "3600");
    EXPECT_EQ(kvAs<KvSipExpiresHeader>(kvParseHeader("Expires: 0\r\n"))->getDeltaSeconds(), 0u);
    EXPECT_EQ(
        kvAs<KvSipExpiresHeader>(kvParseHeader("Expires: 4294967295  \r\n"))->getDeltaSeconds(),
        4294967295u);
    // Text attached to the digits counts as part of the number token; its digits decide.
    EXPECT_EQ(kvAs<KvSipExpiresHeader>(kvParseHeader("Expires: 120;foo=1\r\n"))->getDeltaSeconds(),
              120u);

    KvSipExpiresHeader built(7200);
    EXPECT_EQ(built.getId(), KV_HEADER_EXPIRES);
    EXPECT_EQ(kvSerialized(built), "7200");
}

TEST(KvSipExpiresHeaderTest, DeltaFormDateIsMadeOnceWhenAskedAndCopied) {
    auto header = kvParseHeader("Expires: 60\r\n");
    auto* expires = kvAs<KvSipExpiresHeader>(header);
    // Asked from several threads at once: one date, the time the header was made, for all.
    std::vector<const KvDate*> seen(4);
    std::vector<std::thread> threads;
    for (auto& date : seen)
        threads.emplace_back([&date, expires] { date = &expires->getDate(); });
    for (auto& thread : threads)
        thread.join();
    for (const KvDate* date : seen)
        EXPECT_EQ(date, seen[0]);
    EXPECT_LE(std::llabs(seen[0]->secondsFromNow()), 2);

    KvHandle<KvSipExpiresHeader> copy(static_cast<KvSipExpiresHeader*>(expires->clone()));
    char original[KvDate::kFormatSize];
    char copied[KvDate::kFormatSize];
    EXPECT_STREQ(copy->getDate().format(copied, sizeof copied),
                 seen[0]->format(original, sizeof original));
    EXPECT_FALSE(copy->isDateForm());
    EXPECT_EQ(kvSerialized(copy), "60");
}

TEST(KvSipExpiresHeaderTest, NumbersAreCheckedAndBounded) {
    EXPECT_EQ(kvParseFailure("Expires: 4294967306\r\n"), "Invalid Expires header");
    std::string digits63 = std::string(59, '0') + "3600";
    EXPECT_EQ(
        kvAs<KvSipExpiresHeader>(kvParseHeader("Expires: " + digits63 + "\r\n"))->getDeltaSeconds(),
        3600u);
    EXPECT_EQ(kvParseFailure("Expires: " + std::string(64, '1') + "\r\n"),
              "un-expecting end of file when parsing KvSipExpiresHeader");
    EXPECT_EQ(kvParseFailure("Expires: " + std::string(900, '1') + "\r\n"),
              "un-expecting end of file when parsing KvSipExpiresHeader");
}

TEST(KvSipExpiresHeaderTest, ValueWithoutLineEndIsReadToTheEnd) {
    // As a URL header value is handed over: no CR LF behind the number.
    KvSipExpiresHeader header;
    header.doParse(*kvStreamOf("300"));
    EXPECT_EQ(header.getDeltaSeconds(), 300u);
}

TEST(KvSipExpiresHeaderTest, DateFormIsReadWholeAndWrittenBack) {
    auto header = kvParseHeader("Expires: Sat, 13 Nov 2010 23:29:00 GMT\r\n");
    auto* expires = kvAs<KvSipExpiresHeader>(header);
    EXPECT_EQ(kvChainLength(header), 1u);
    EXPECT_TRUE(expires->isDateForm());
    EXPECT_EQ(kvSerialized(header), "Sat, 13 Nov 2010 23:29:00 GMT");
    // In the past: 0, never a negative count wrapped into a huge one.
    EXPECT_EQ(expires->getDeltaSeconds(), 0u);

    KvHandle<KvSipExpiresHeader> copy(static_cast<KvSipExpiresHeader*>(expires->clone()));
    EXPECT_TRUE(copy->isDateForm());
    EXPECT_EQ(kvSerialized(copy), "Sat, 13 Nov 2010 23:29:00 GMT");
}

TEST(KvSipExpiresHeaderTest, FutureDateGivesTheSecondsUntilIt) {
    KvDate inAnHour;
    inAnHour.addSeconds(3600);
    char text[KvDate::kFormatSize];
    inAnHour.format(text, sizeof text);
    auto header = kvParseHeader(std::string("Expires: ") + text + "\r\n");
    uint32_t seconds = kvAs<KvSipExpiresHeader>(header)->getDeltaSeconds();
    EXPECT_LE(seconds, 3600u);
    EXPECT_GE(seconds, 3500u);
}

TEST(KvSipExpiresHeaderTest, NumberFollowedByTextIsReadAsADate) {
    EXPECT_NE(kvParseFailure("Expires: 3600 seconds\r\n"), "");
    EXPECT_EQ(kvParseFailure("Expires: soon\r\n").empty(), false);
    EXPECT_EQ(kvParseFailure("Expires: \r\n"), "Invalid Expires header");
}

TEST(KvSipCallIdHeaderTest, Rfc4475Lines) {
    KV_REQUIRE_CORPUS();
    // intmeth: every word character of RFC 3261 may stand in a Call-ID.
    auto callId = kvParseHeader(kvCorpusHeaderLine("intmeth.dat", "Call-ID:"));
    EXPECT_STREQ(kvAs<KvSipCallIdHeader>(callId)->getCallIdText(),
                 "intmeth.word%ZK-!.*_+'@word`~)(><:\\/\"][?}{");
    // scalar02: a 101-digit Expires is refused.
    EXPECT_EQ(kvParseFailure(kvCorpusHeaderLine("scalar02.dat", "Expires:")),
              "un-expecting end of file when parsing KvSipExpiresHeader");
}
