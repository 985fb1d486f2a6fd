// Faults that the fuzz targets found in writing Digest items: an item written without quotes
// must not carry the separators that would split it into further items when read again.
#include "KvSipChallengeInfo.h"
#include "KvSipDigestChallengeInfo.h"
#include "KvSipDigestCredentialsInfo.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <string>

namespace {

KvHandle<KvSipDigestCredentialsInfo> credentialsOf(const std::string& text) {
    return KvSipDigestCredentialsInfo::sConstructFrom(KvByteArray::sFromString(text.c_str()));
}

KvHandle<KvSipDigestChallengeInfo> challengeOf(const std::string& text) {
    return KvSipDigestChallengeInfo::sConstructFrom(KvByteArray::sFromString(text.c_str()));
}

} // namespace

TEST(KvSipDigestCredentialsInfoFuzz, TokenItemsWithSeparatorsAreQuoted) {
    auto credentials =
        credentialsOf("username=\"bob\",realm=\"r\",nonce=\"n\",uri=\"sip:r\",response=\"0123\","
                      "algorithm=\"MD5, qop=auth-int\",qop=\"auth, x\",nc=\"1 2\",cnonce=\"c\"");
    std::string text = kvSerialized(credentials);
    EXPECT_EQ(text, "username=\"bob\",realm=\"r\",nonce=\"n\",response=\"0123\",uri=\"sip:r\","
                    "algorithm=\"MD5, qop=auth-int\",qop=\"auth, x\",nc=\"1 2\",cnonce=\"c\"");
    EXPECT_EQ(kvSerialized(credentialsOf(text)), text);

    // Plain tokens stay bare, as RFC 2617 writes them.
    auto plain = credentialsOf("username=\"bob\",realm=\"r\",nonce=\"n\",uri=\"sip:r\","
                               "response=\"0123\",algorithm=MD5,qop=auth,nc=00000001,cnonce=\"c\"");
    EXPECT_EQ(kvSerialized(plain), "username=\"bob\",realm=\"r\",nonce=\"n\",response=\"0123\","
                                   "uri=\"sip:r\",algorithm=MD5,qop=auth,nc=00000001,cnonce=\"c\"");
}

TEST(KvSipDigestChallengeInfoFuzz, TokenItemsWithSeparatorsAreQuoted) {
    auto challenge = challengeOf("realm=\"r\",nonce=\"n\",algorithm=\"MD5,realm=evil\"");
    std::string text = kvSerialized(challenge);
    EXPECT_NE(text.find("algorithm=\"MD5,realm=evil\""), std::string::npos) << text;
    auto again = challengeOf(text);
    EXPECT_STREQ(again->getRealm().c_str(), "r");
    EXPECT_STREQ(again->getAlgorithm().c_str(), "MD5,realm=evil");

    EXPECT_NE(
        kvSerialized(challengeOf("realm=\"r\",algorithm=MD5,stale=FALSE")).find("algorithm=MD5"),
        std::string::npos);
}
