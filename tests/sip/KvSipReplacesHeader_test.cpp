// Replaces (RFC 3891): the call-id of the dialog to replace and its tags.
#include "KvSipReplacesHeader.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

KvHandle<KvSipReplacesHeader> parseReplaces(const std::string& value) {
    KvHandle<KvSipHeader> header = kvParseHeader("Replaces: " + value + "\r\n");
    auto* typed = dynamic_cast<KvSipReplacesHeader*>(header.get());
    EXPECT_NE(typed, nullptr);
    EXPECT_TRUE(header->getNext().isNull());
    return KvHandle<KvSipReplacesHeader>(typed);
}

} // namespace

TEST(KvSipReplacesHeaderTest, Rfc3891ExampleRoundTrips) {
    auto header = parseReplaces("98732@sip.example.com;from-tag=r33th4x0r;to-tag=ff87ff");
    EXPECT_EQ(header->getId(), KV_HEADER_REPLACES);
    EXPECT_STREQ(header->getCallId(), "98732@sip.example.com");
    EXPECT_STREQ(header->getFromTag(), "r33th4x0r");
    EXPECT_STREQ(header->getToTag(), "ff87ff");

    auto again = parseReplaces(kvSerialized(header));
    EXPECT_STREQ(again->getCallId(), "98732@sip.example.com");
    EXPECT_STREQ(again->getFromTag(), "r33th4x0r");
    EXPECT_STREQ(again->getToTag(), "ff87ff");
    // The parameter list writes its pairs in reverse order of reading, so the text comes back in
    // its first form after every second pass.
    EXPECT_EQ(kvSerialized(again), "98732@sip.example.com;from-tag=r33th4x0r;to-tag=ff87ff");
}

TEST(KvSipReplacesHeaderTest, ParametersAndCallIdEdges) {
    auto flagged = parseReplaces("12345600@atlanta.example.com ;to-tag=a1;from-tag=b2;early-only");
    EXPECT_STREQ(flagged->getCallId(), "12345600@atlanta.example.com");
    EXPECT_STREQ(flagged->getToTag(), "a1");
    EXPECT_STREQ(flagged->getFromTag(), "b2");
    EXPECT_TRUE(flagged->getParameters()->hasParameter("early-only"));
    EXPECT_EQ(flagged->getParameters()->getParameterText("early-only"), nullptr);

    auto bare = parseReplaces("abc@host");
    EXPECT_STREQ(bare->getCallId(), "abc@host");
    EXPECT_EQ(bare->getParameters()->getCount(), 0u);
    EXPECT_EQ(bare->getFromTag(), nullptr);
    EXPECT_EQ(bare->getToTag(), nullptr);
    EXPECT_EQ(kvSerialized(bare), "abc@host");

    auto empty = parseReplaces("");
    EXPECT_STREQ(empty->getCallId(), "");

    KvHandle<KvSipReplacesHeader> copy(static_cast<KvSipReplacesHeader*>(flagged->clone()));
    copy->getParameters()->setParameter("to-tag", "zz");
    EXPECT_STREQ(flagged->getToTag(), "a1");
    EXPECT_STREQ(copy->getCallId(), "12345600@atlanta.example.com");
}
