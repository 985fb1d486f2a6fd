// Session timer headers (RFC 4028): Session-Expires and Min-SE.
#include "KvException.h"
#include "KvSipMinSEHeader.h"
#include "KvSipSessionExpiresHeader.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <string>

namespace {

KvHandle<KvSipHeader> parseLine(const std::string& line) {
    return KvSipHeader::sConstructFrom(*kvStreamOf(line));
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

template <class T> KvHandle<T> parseAs(const std::string& line) {
    KvHandle<KvSipHeader> header = parseLine(line);
    T* typed = dynamic_cast<T*>(header.get());
    EXPECT_NE(typed, nullptr) << line;
    return KvHandle<T>(typed);
}

} // namespace

TEST(KvSipSessionExpiresHeaderTest, Rfc4028ExamplesRoundTrip) {
    for (const char* line : {"Session-Expires: 4000;refresher=uac\r\n", "Session-Expires: 1800\r\n",
                             "x: 1800;refresher=uas\r\n"}) {
        KvHandle<KvSipHeader> header = parseLine(line);
        EXPECT_EQ(lineOf(header), line);
        EXPECT_EQ(lineOf(parseLine(lineOf(header))), line);
    }
    auto compact = parseAs<KvSipSessionExpiresHeader>("x: 1800;refresher=uas\r\n");
    EXPECT_EQ(compact->getId(), KV_HEADER_SESSION_EXPIRES);
    EXPECT_EQ(compact->getDeltaSeconds(), 1800u);
    EXPECT_STREQ(compact->getRefresher(), "uas");
}

TEST(KvSipSessionExpiresHeaderTest, RefresherIsCheckedAndAValuelessOneDropped) {
    auto upper = parseAs<KvSipSessionExpiresHeader>("Session-Expires: 1800;refresher=UAS\r\n");
    EXPECT_STREQ(upper->getRefresher(), "UAS");
    EXPECT_EQ(parseFailure("Session-Expires: 1800;refresher=proxy\r\n"),
              "Invalid Refresher in Session-Expires Header");

    auto other = parseAs<KvSipSessionExpiresHeader>("Session-Expires: 1800;foo=1\r\n");
    EXPECT_FALSE(other->hasRefresher());
    EXPECT_EQ(other->getRefresher(), nullptr);

    auto bare = parseAs<KvSipSessionExpiresHeader>("Session-Expires: 1800;refresher;foo=1\r\n");
    EXPECT_FALSE(bare->hasRefresher());
    EXPECT_EQ(bare->getRefresher(), nullptr);
    EXPECT_EQ(lineOf(KvHandle<KvSipHeader>(bare)), "Session-Expires: 1800;foo=1\r\n");

    auto trailing = parseAs<KvSipSessionExpiresHeader>("Session-Expires: 1800 trailing\r\n");
    EXPECT_EQ(trailing->getDeltaSeconds(), 1800u);
    EXPECT_EQ(trailing->getParameters()->getCount(), 0u);

    EXPECT_EQ(parseFailure("Session-Expires: long\r\n"), "unsigned number expected");
    EXPECT_EQ(parseFailure("Session-Expires: 4294967306\r\n"), "unsigned number expected");
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
    auto minSE = parseAs<KvSipMinSEHeader>("Min-SE: 90\r\n");
    EXPECT_EQ(minSE->getSeconds(), 90u);
    EXPECT_EQ(minSE->getId(), KV_HEADER_MIN_SE);
    EXPECT_EQ(lineOf(KvHandle<KvSipHeader>(minSE)), "Min-SE: 90\r\n");
    EXPECT_EQ(lineOf(parseLine("Min-SE: 90;foo=1\r\n")), "Min-SE: 90\r\n");
    EXPECT_EQ(parseFailure("Min-SE: abc\r\n"), "Invalid Minimum SE header");
    EXPECT_EQ(parseFailure("Min-SE: \r\n"), "Invalid Minimum SE header");
    EXPECT_EQ(parseFailure("Min-SE: 4294967306\r\n"), "unsigned number expected");

    KvSipMinSEHeader built(1800);
    KvHandle<KvSipMinSEHeader> copy(static_cast<KvSipMinSEHeader*>(built.clone()));
    EXPECT_EQ(copy->getSeconds(), 1800u);
}
