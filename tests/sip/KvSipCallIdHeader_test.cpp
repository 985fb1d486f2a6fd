// Text and value headers: Call-ID, Subject, User-Agent and Expires.
#include "KvDate.h"
#include "KvException.h"
#include "KvSipCallIdHeader.h"
#include "KvSipExpiresHeader.h"
#include "KvSipSubjectHeader.h"
#include "KvSipUserAgentHeader.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

KvHandle<KvSipHeader> parseLine(const std::string& line) {
    return KvSipHeader::sConstructFrom(*kvStreamOf(line));
}

size_t chainLength(const KvHandle<KvSipHeader>& head) {
    size_t n = 0;
    for (KvSipHeader* h = head.get(); h; h = h->getNext().get())
        ++n;
    return n;
}

std::string valueOf(const KvSipHeader* header) {
    KvStringOutputStream sink;
    header->serialize(sink);
    return sink.text;
}

std::string valueOf(const KvHandle<KvSipHeader>& header) {
    return valueOf(header.get());
}

std::string lineOf(const KvHandle<KvSipHeader>& head) {
    KvStringOutputStream sink;
    head->serializeChain(sink);
    return sink.text;
}

std::string parseFailure(const std::string& line) {
    try {
        parseLine(line);
    } catch (KvHandle<KvException>& e) {
        return e->getText();
    }
    return "";
}

template <class T> T* as(const KvHandle<KvSipHeader>& header) {
    T* typed = dynamic_cast<T*>(header.get());
    EXPECT_NE(typed, nullptr);
    return typed;
}

std::string corpusLine(const char* file, const std::string& prefix) {
    std::ifstream in(std::string(KV_CORPUS_DIR) + "/rfc4475/" + file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    std::string text = content.str();
    size_t at = text.find("\n" + prefix);
    EXPECT_NE(at, std::string::npos) << file << ": " << prefix;
    if (at == std::string::npos)
        return "";
    size_t end = text.find('\n', at + 1);
    return text.substr(at + 1, end - at);
}

} // namespace

TEST(KvSipCallIdHeaderTest, ParsesOneTokenAndWritesItBack) {
    auto header = parseLine("Call-ID: a84b4c76e66710@pc33.atlanta.com\r\n");
    EXPECT_STREQ(as<KvSipCallIdHeader>(header)->getCallIdText(), "a84b4c76e66710@pc33.atlanta.com");
    EXPECT_EQ(header->getId(), KV_HEADER_CALL_ID);
    EXPECT_EQ(lineOf(header), "Call-ID: a84b4c76e66710@pc33.atlanta.com\r\n");

    auto compact = parseLine("i: f81d4fae-7dec-11d0-a765-00a0c91e6bf6@foo.bar.com\r\n");
    as<KvSipCallIdHeader>(compact);
    EXPECT_EQ(lineOf(compact), "i: f81d4fae-7dec-11d0-a765-00a0c91e6bf6@foo.bar.com\r\n");

    EXPECT_STREQ(as<KvSipCallIdHeader>(parseLine("Call-ID: abc def\r\n"))->getCallIdText(), "abc");
    EXPECT_EQ(parseFailure("Call-ID: \r\n"), "Invalid Call-ID header");
    std::string longId(600, 'x');
    EXPECT_EQ(as<KvSipCallIdHeader>(parseLine("Call-ID: " + longId + "\r\n"))->getCallIdText(),
              longId);
}

TEST(KvSipCallIdHeaderTest, TextConstructorKeepsTheTextByteForByte) {
    KvSipCallIdHeader spaced(" a b@host ");
    EXPECT_STREQ(spaced.getCallIdText(), " a b@host ");
    EXPECT_EQ(valueOf(&spaced), " a b@host ");
    KvSipCallIdHeader null(nullptr);
    EXPECT_STREQ(null.getCallIdText(), "");
    EXPECT_EQ(valueOf(&null), "");
    KvHandle<KvSipCallIdHeader> copy(static_cast<KvSipCallIdHeader*>(spaced.clone()));
    EXPECT_STREQ(copy->getCallIdText(), " a b@host ");
    EXPECT_EQ(copy->getId(), KV_HEADER_CALL_ID);
}

TEST(KvSipSubjectHeaderTest, SubjectIsFreeTextToTheLineEnd) {
    auto header = parseLine("Subject: Hi, there\r\n");
    EXPECT_EQ(chainLength(header), 1u);
    EXPECT_EQ(std::string(as<KvSipSubjectHeader>(header)->getSubject().c_str()), "Hi, there");
    EXPECT_EQ(lineOf(header), "Subject: Hi, there\r\n");

    EXPECT_EQ(lineOf(parseLine("s: Need more boxes  \r\n")), "s: Need more boxes\r\n");
    EXPECT_EQ(valueOf(parseLine("Subject: lunch\r\n tomorrow\r\n")), "lunch tomorrow");
    EXPECT_EQ(valueOf(parseLine("Subject:\r\n")), "");
}

TEST(KvSipUserAgentHeaderTest, ProductAndVersionRoundTrip) {
    auto header = parseLine("User-Agent: Softphone/1.2.3\r\n");
    auto* agent = as<KvSipUserAgentHeader>(header);
    EXPECT_EQ(std::string(agent->getProduct().c_str()), "Softphone");
    EXPECT_EQ(std::string(agent->getVersion().c_str()), "1.2.3");
    EXPECT_EQ(valueOf(header), "Softphone/1.2.3");
    EXPECT_EQ(valueOf(parseLine("User-Agent: Softphone\r\n")), "Softphone");

    KvSipUserAgentHeader built("KvPhone", "2.0");
    EXPECT_EQ(built.getId(), KV_HEADER_USER_AGENT);
    EXPECT_EQ(valueOf(&built), "KvPhone/2.0");
    KvSipUserAgentHeader productOnly("KvPhone", "");
    EXPECT_EQ(valueOf(&productOnly), "KvPhone");
}

TEST(KvSipUserAgentHeaderTest, CommentsStayInTheTextAndDoNotSplitTheHeader) {
    auto header = parseLine("User-Agent: Foo/1.0 (Linux, x86_64)\r\n");
    EXPECT_EQ(chainLength(header), 1u);
    EXPECT_EQ(std::string(as<KvSipUserAgentHeader>(header)->getVersion().c_str()),
              "1.0 (Linux, x86_64)");
    EXPECT_EQ(valueOf(header), "Foo/1.0 (Linux, x86_64)");

    // Neither a "/" nor a nested comment inside a comment ends the product.
    auto commented = parseLine("User-Agent: Foo (a/b, (c, d) \\) e)\r\n");
    EXPECT_EQ(chainLength(commented), 1u);
    EXPECT_EQ(valueOf(commented), "Foo (a/b, (c, d) \\) e)");

    // A comma outside any comment still separates two values.
    EXPECT_EQ(chainLength(parseLine("User-Agent: A/1, B/2\r\n")), 2u);
}

TEST(KvSipExpiresHeaderTest, DeltaSeconds) {
    auto header = parseLine("Expires: 3600\r\n");
    auto* expires = as<KvSipExpiresHeader>(header);
    EXPECT_FALSE(expires->isDateForm());
    EXPECT_EQ(expires->getDeltaSeconds(), 3600u);
    EXPECT_EQ(valueOf(header), "3600");
    EXPECT_EQ(as<KvSipExpiresHeader>(parseLine("Expires: 0\r\n"))->getDeltaSeconds(), 0u);
    EXPECT_EQ(as<KvSipExpiresHeader>(parseLine("Expires: 4294967295  \r\n"))->getDeltaSeconds(),
              4294967295u);
    // Text attached to the digits counts as part of the number token; its digits decide.
    EXPECT_EQ(as<KvSipExpiresHeader>(parseLine("Expires: 120;foo=1\r\n"))->getDeltaSeconds(), 120u);

    KvSipExpiresHeader built(7200);
    EXPECT_EQ(built.getId(), KV_HEADER_EXPIRES);
    EXPECT_EQ(valueOf(&built), "7200");
}

TEST(KvSipExpiresHeaderTest, NumbersAreCheckedAndBounded) {
    EXPECT_EQ(parseFailure("Expires: 4294967306\r\n"), "Invalid Expires header");
    std::string digits63 = std::string(59, '0') + "3600";
    EXPECT_EQ(as<KvSipExpiresHeader>(parseLine("Expires: " + digits63 + "\r\n"))->getDeltaSeconds(),
              3600u);
    EXPECT_EQ(parseFailure("Expires: " + std::string(64, '1') + "\r\n"),
              "un-expecting end of file when parsing KvSipExpiresHeader");
    EXPECT_EQ(parseFailure("Expires: " + std::string(900, '1') + "\r\n"),
              "un-expecting end of file when parsing KvSipExpiresHeader");
}

TEST(KvSipExpiresHeaderTest, ValueWithoutLineEndIsReadToTheEnd) {
    // As a URL header value is handed over: no CR LF behind the number.
    KvSipExpiresHeader header;
    header.doParse(*kvStreamOf("300"));
    EXPECT_EQ(header.getDeltaSeconds(), 300u);
}

TEST(KvSipExpiresHeaderTest, DateFormIsReadWholeAndWrittenBack) {
    auto header = parseLine("Expires: Sat, 13 Nov 2010 23:29:00 GMT\r\n");
    auto* expires = as<KvSipExpiresHeader>(header);
    EXPECT_EQ(chainLength(header), 1u);
    EXPECT_TRUE(expires->isDateForm());
    EXPECT_EQ(valueOf(header), "Sat, 13 Nov 2010 23:29:00 GMT");
    // In the past: 0, never a negative count wrapped into a huge one.
    EXPECT_EQ(expires->getDeltaSeconds(), 0u);

    KvHandle<KvSipExpiresHeader> copy(static_cast<KvSipExpiresHeader*>(expires->clone()));
    EXPECT_TRUE(copy->isDateForm());
    EXPECT_EQ(valueOf(copy.get()), "Sat, 13 Nov 2010 23:29:00 GMT");
}

TEST(KvSipExpiresHeaderTest, FutureDateGivesTheSecondsUntilIt) {
    KvDate inAnHour;
    inAnHour.addSeconds(3600);
    char text[KvDate::kFormatSize];
    inAnHour.format(text, sizeof text);
    auto header = parseLine(std::string("Expires: ") + text + "\r\n");
    uint32_t seconds = as<KvSipExpiresHeader>(header)->getDeltaSeconds();
    EXPECT_LE(seconds, 3600u);
    EXPECT_GE(seconds, 3500u);
}

TEST(KvSipExpiresHeaderTest, NumberFollowedByTextIsReadAsADate) {
    EXPECT_NE(parseFailure("Expires: 3600 seconds\r\n"), "");
    EXPECT_EQ(parseFailure("Expires: soon\r\n").empty(), false);
    EXPECT_EQ(parseFailure("Expires: \r\n"), "Invalid Expires header");
}

TEST(KvSipCallIdHeaderTest, Rfc4475Lines) {
    // intmeth: every word character of RFC 3261 may stand in a Call-ID.
    auto callId = parseLine(corpusLine("intmeth.dat", "Call-ID:"));
    EXPECT_STREQ(as<KvSipCallIdHeader>(callId)->getCallIdText(),
                 "intmeth.word%ZK-!.*_+'@word`~)(><:\\/\"][?}{");
    // scalar02: a 101-digit Expires is refused.
    EXPECT_EQ(parseFailure(corpusLine("scalar02.dat", "Expires:")),
              "un-expecting end of file when parsing KvSipExpiresHeader");
}
