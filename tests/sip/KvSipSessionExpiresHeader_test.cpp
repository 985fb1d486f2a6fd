// Session timer headers (RFC 4028): Session-Expires and Min-SE.
#include "KvException.h"
#include "KvSipMinSEHeader.h"
#include "KvSipSessionExpiresHeader.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <string>

TEST(KvSipSessionExpiresHeaderTest, Rfc4028ExamplesRoundTrip) {
    for (const char* line : {"Session-Expires: 4000;refresher=uac\r\n", "Session-Expires: 1800\r\n",
                             "x: 1800;refresher=uas\r\n"}) {
        KvHandle<KvSipHeader> header = kvParseHeader(line);
        EXPECT_EQ(kvChainText(header), line);
        EXPECT_EQ(kvChainText(kvParseHeader(kvChainText(header))), line);
    }
    auto compact = kvParseAs<KvSipSessionExpiresHeader>("x: 1800;refresher=uas\r\n");
    EXPECT_EQ(compact->getId(), KV_HEADER_SESSION_EXPIRES);
    EXPECT_EQ(compact->getDeltaSeconds(), 1800u);
    EXPECT_STREQ(compact->getRefresher(), "uas");
}

TEST(KvSipSessionExpiresHeaderTest, RefresherIsCheckedAndAValuelessOneDropped) {
    auto upper = kvParseAs<KvSipSessionExpiresHeader>("Session-Expires: 1800;refresher=UAS\r\n");
    EXPECT_STREQ(upper->getRefresher(), "UAS");
    EXPECT_EQ(kvParseFailure("Session-Expires: 1800;refresher=proxy\r\n"),
              "Invalid Refresher in Session-Expires Header");

    auto other = kvParseAs<KvSipSessionExpiresHeader>("Session-Expires: 1800;foo=1\r\n");
    EXPECT_FALSE(other->hasRefresher());
    EXPECT_EQ(other->getRefresher(), nullptr);

    auto bare = kvParseAs<KvSipSessionExpiresHeader>("Session-Expires: 1800;refresher;foo=1\r\n");
    EXPECT_FALSE(bare->hasRefresher());
    EXPECT_EQ(bare->getRefresher(), nullptr);
    EXPECT_EQ(kvChainText(KvHandle<KvSipHeader>(bare)), "Session-Expires: 1800;foo=1\r\n");

    auto trailing = kvParseAs<KvSipSessionExpiresHeader>("Session-Expires: 1800 trailing\r\n");
    EXPECT_EQ(trailing->getDeltaSeconds(), 1800u);
    EXPECT_EQ(trailing->getParameters()->getCount(), 0u);

    EXPECT_EQ(kvParseFailure("Session-Expires: long\r\n"), "unsigned number expected");
    EXPECT_EQ(kvParseFailure("Session-Expires: 4294967306\r\n"), "unsigned number expected");
}

TEST(KvSipSessionExpiresHeaderTest, RefresherAccessorsKeepTheirPromise) {
    KvSipSessionExpiresHeader header(90, "uac");
    EXPECT_TRUE(header.hasRefresher());
    EXPECT_STREQ(header.getRefresher(), "uac");
    header.setRefresher("uas");
    EXPECT_STREQ(header.getRefresher(), "uas");
    // A null text changes nothing; a blank one drops the refresher rather than leave it
    // without a value.
    header.setRefresher(nullptr);
    EXPECT_STREQ(header.getRefresher(), "uas");
    header.setRefresher("");
    EXPECT_FALSE(header.hasRefresher());
    header.setRefresher("uac");
    header.setRefresher("  ");
    EXPECT_FALSE(header.hasRefresher());
    EXPECT_EQ(header.getRefresher(), nullptr);

    KvSipSessionExpiresHeader none(90, nullptr);
    EXPECT_FALSE(none.hasRefresher());
    KvSipSessionExpiresHeader plain(1800);
    EXPECT_EQ(plain.getId(), KV_HEADER_SESSION_EXPIRES);
    EXPECT_EQ(std::string(plain.getName().c_str()), "Session-Expires");

    KvSipSessionExpiresHeader source(1800, "uac");
    KvHandle<KvSipSessionExpiresHeader> copy(
        static_cast<KvSipSessionExpiresHeader*>(source.clone()));
    copy->setRefresher("uas");
    EXPECT_STREQ(source.getRefresher(), "uac");
    EXPECT_STREQ(copy->getRefresher(), "uas");
}

TEST(KvSipMinSEHeaderTest, SecondsAndFailures) {
    auto minSE = kvParseAs<KvSipMinSEHeader>("Min-SE: 90\r\n");
    EXPECT_EQ(minSE->getSeconds(), 90u);
    EXPECT_EQ(minSE->getId(), KV_HEADER_MIN_SE);
    EXPECT_EQ(kvChainText(KvHandle<KvSipHeader>(minSE)), "Min-SE: 90\r\n");
    EXPECT_EQ(kvChainText(kvParseHeader("Min-SE: 90;foo=1\r\n")), "Min-SE: 90\r\n");
    EXPECT_EQ(kvParseFailure("Min-SE: abc\r\n"), "Invalid Minimum SE header");
    EXPECT_EQ(kvParseFailure("Min-SE: \r\n"), "Invalid Minimum SE header");
    EXPECT_EQ(kvParseFailure("Min-SE: 4294967306\r\n"), "unsigned number expected");

    KvSipMinSEHeader built(1800);
    KvHandle<KvSipMinSEHeader> copy(static_cast<KvSipMinSEHeader*>(built.clone()));
    EXPECT_EQ(copy->getSeconds(), 1800u);
}
