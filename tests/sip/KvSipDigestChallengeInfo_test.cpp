#include "KvSipDigestChallengeInfo.h"
#include "KvException.h"
#include "support/KvTestExceptions.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <string>

namespace {

KvHandle<KvSipDigestChallengeInfo> parsed(const std::string& text) {
    return KvSipDigestChallengeInfo::sConstructFrom(KvByteArray::sFromString(text.c_str()));
}

} // namespace

TEST(KvSipDigestChallengeInfo, ParsesItemsWithoutQuotesAndBlanks) {
    auto challenge = parsed("realm=\"atlanta.com\", nonce=\"84a4cc6f3082121f32b42a2187831a9e\", "
                            "algorithm=MD5, qop=\"auth,auth-int\", opaque=\"x y\"");
    EXPECT_EQ(challenge->getRealm(), "atlanta.com");
    EXPECT_EQ(challenge->getNonce(), "84a4cc6f3082121f32b42a2187831a9e");
    EXPECT_EQ(challenge->getAlgorithm(), "MD5");
    EXPECT_EQ(challenge->getQop(), "auth,auth-int");
    EXPECT_EQ(challenge->getOpaque(), "x y");
    EXPECT_EQ(challenge->getScheme(), "Digest");
}

TEST(KvSipDigestChallengeInfo, WritesTokensBareAndEverythingElseQuoted) {
    // The list holds its newest entry first.
    auto challenge = parsed("realm=\"atlanta.com\", nonce=\"abc==\", algorithm=MD5, qop=\"auth\", "
                            "stale=TRUE, domain=\"sip:a.com sip:b.com\", uri=sip:x");
    EXPECT_EQ(kvSerialized(*challenge), "uri=sip:x,domain=\"sip:a.com sip:b.com\",stale=TRUE,"
                                        "qop=\"auth\",algorithm=MD5,nonce=\"abc==\","
                                        "realm=\"atlanta.com\"");
    // Read back, the same entries come out (in the order of the text written).
    auto again = parsed(kvSerialized(*challenge));
    EXPECT_EQ(again->getNonce(), "abc==");
    EXPECT_EQ(again->getQop(), "auth");
}

TEST(KvSipDigestChallengeInfo, ServerFillsItsOwnChallenge) {
    KvHandle<KvSipDigestChallengeInfo> challenge(new KvSipDigestChallengeInfo);
    challenge->setParameter("realm", "biloxi.com");
    challenge->setParameter("nonce", "n1");
    challenge->setParameter("NONCE", " n2 "); // replaces, trimmed
    challenge->setParameter("stale", "true");
    challenge->setParameter("opaque", nullptr); // ignored
    EXPECT_EQ(challenge->getNonce(), "n2");
    EXPECT_EQ(kvSerialized(*challenge), "stale=true,nonce=\"n2\",realm=\"biloxi.com\"");
}

TEST(KvSipDigestChallengeInfo, FactoryAcceptsDigestInAnyCase) {
    auto text = KvByteArray::sFromString("realm=\"r\"");
    EXPECT_EQ(KvSipChallengeInfo::sConstructFrom("digest", text)->getRealm(), "r");
    EXPECT_EQ(KvSipChallengeInfo::sConstructFrom("DIGEST", text)->getRealm(), "r");
    EXPECT_EQ(kvThrownText([&] { KvSipChallengeInfo::sConstructFrom("Basic", text); }),
              "Challenge type not supported !");
    EXPECT_EQ(kvThrownText([&] { KvSipChallengeInfo::sConstructFrom("", text); }),
              "Challenge type not supported !");
}

TEST(KvSipDigestChallengeInfo, OverlongTextIsRefused) {
    const std::string nonce(1000, 'n');
    EXPECT_EQ(kvThrownText([&] { parsed("realm=\"r\", nonce=\"" + nonce + "\""); }),
              "(nothing thrown)");
    EXPECT_EQ(kvThrownText([&] {
                  parsed("realm=\"" + std::string(30, 'r') + "\", nonce=\"" + nonce + "\"");
              }),
              "Buffer overflew !!!");
}
