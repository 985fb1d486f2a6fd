#include "KvSipDigestChallengeInfo.h"
#include "KvSipHeaders.h"
#include "KvException.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A header line given without its line end.
KvHandle<KvSipHeader> headerOf(const std::string& line) {
    return kvParseHeader(line + "\r\n");
}

} // namespace

TEST(KvSipAuthenticateHeader, WwwAuthenticateParsesAndWritesBack) {
    auto header = headerOf("WWW-Authenticate: Digest realm=\"atlanta.com\", "
                           "nonce=\"84a4cc6f3082121f32b42a2187831a9e\", algorithm=MD5, "
                           "qop=\"auth\"");
    KvHandle<KvSipWWWAuthenticateHeader> www(header);
    ASSERT_FALSE(www.isNull());
    EXPECT_EQ(www->getId(), KV_HEADER_WWW_AUTHENTICATE);
    EXPECT_TRUE(www->getNext().isNull()) << "commas in a challenge make no siblings";
    KvHandle<KvSipDigestChallengeInfo> challenge(www->getChallenge());
    EXPECT_EQ(challenge->getRealm(), "atlanta.com");
    EXPECT_EQ(challenge->getQop(), "auth");
    EXPECT_EQ(kvChainText(*www),
              "WWW-Authenticate: Digest qop=\"auth\",algorithm=MD5,"
              "nonce=\"84a4cc6f3082121f32b42a2187831a9e\",realm=\"atlanta.com\"\r\n");
}

TEST(KvSipAuthenticateHeader, SchemeIsCaseBlindAndWrittenAsDigest) {
    KvHandle<KvSipAuthenticateHeader> header(headerOf("Proxy-Authenticate: digest realm=\"r\""));
    ASSERT_FALSE(header.isNull());
    EXPECT_EQ(header->getId(), KV_HEADER_PROXY_AUTHENTICATE);
    EXPECT_EQ(kvChainText(*header), "Proxy-Authenticate: Digest realm=\"r\"\r\n");
}

TEST(KvSipAuthenticateHeader, SchemeEndsAtBlankOrTab) {
    KvHandle<KvSipAuthenticateHeader> tab(headerOf("WWW-Authenticate: Digest\trealm=\"r\""));
    EXPECT_EQ(tab->getChallenge()->getRealm(), "r");
    KvHandle<KvSipAuthenticateHeader> spaces(headerOf("WWW-Authenticate:   Digest   realm=r"));
    EXPECT_EQ(spaces->getChallenge()->getRealm(), "r");
}

TEST(KvSipAuthenticateHeader, BareDigestIsAnEmptyChallenge) {
    KvHandle<KvSipAuthenticateHeader> header(headerOf("WWW-Authenticate: Digest"));
    ASSERT_FALSE(header->getChallenge().isNull());
    EXPECT_TRUE(header->getChallenge()->getRealm().isNull());
    EXPECT_EQ(kvChainText(*header), "WWW-Authenticate: Digest \r\n");
}

TEST(KvSipAuthenticateHeader, OtherSchemesAreRefused) {
    EXPECT_EQ(kvThrownText([] { headerOf("WWW-Authenticate: Basic realm=\"r\""); }),
              "Challenge type not supported !");
    EXPECT_EQ(kvThrownText([] { headerOf("WWW-Authenticate: NTLM"); }),
              "Challenge type not supported !");
    EXPECT_EQ(kvThrownText([] { headerOf("WWW-Authenticate:"); }),
              "Challenge type not supported !");
}

TEST(KvSipAuthenticateHeader, BuiltHeadersCarryTheServersChallenge) {
    KvHandle<KvSipDigestChallengeInfo> challenge(new KvSipDigestChallengeInfo);
    challenge->setParameter("realm", "biloxi.com");
    challenge->setParameter("nonce", "abc");
    challenge->setParameter("stale", "true");
    KvHandle<KvSipHeader> www(new KvSipWWWAuthenticateHeader(challenge));
    KvHandle<KvSipHeader> proxy(new KvSipProxyAuthenticateHeader(challenge));
    EXPECT_EQ(www->getId(), KV_HEADER_WWW_AUTHENTICATE);
    EXPECT_EQ(proxy->getId(), KV_HEADER_PROXY_AUTHENTICATE);
    EXPECT_EQ(kvChainText(*www),
              "WWW-Authenticate: Digest stale=true,nonce=\"abc\",realm=\"biloxi.com\"\r\n");
    EXPECT_EQ(kvChainText(*proxy),
              "Proxy-Authenticate: Digest stale=true,nonce=\"abc\",realm=\"biloxi.com\"\r\n");

    EXPECT_EQ(kvChainText(*KvHandle<KvSipHeader>(new KvSipWWWAuthenticateHeader)),
              "WWW-Authenticate: \r\n");
}

TEST(KvSipAuthenticateHeader, ClonesShareTheChallenge) {
    auto header = headerOf("Proxy-Authenticate: Digest realm=\"r\"");
    KvHandle<KvSipHeader> copy(static_cast<KvSipHeader*>(header->clone()));
    KvHandle<KvSipProxyAuthenticateHeader> proxyCopy(copy);
    ASSERT_FALSE(proxyCopy.isNull());
    EXPECT_EQ(proxyCopy->getId(), KV_HEADER_PROXY_AUTHENTICATE);
    EXPECT_EQ(proxyCopy->getChallenge().get(),
              KvHandle<KvSipAuthenticateHeader>(header)->getChallenge().get());

    KvHandle<KvSipHeader> www(new KvSipWWWAuthenticateHeader);
    KvHandle<KvSipWWWAuthenticateHeader> wwwCopy(
        KvHandle<KvSipHeader>(static_cast<KvSipHeader*>(www->clone())));
    EXPECT_FALSE(wwwCopy.isNull());
}
