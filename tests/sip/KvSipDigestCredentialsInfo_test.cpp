#include "KvSipDigestChallengeInfo.h"
#include "KvSipDigestCredentialsInfo.h"
#include "KvSipURL.h"
#include "KvException.h"
#include "support/KvTestExceptions.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

KvHandle<KvSipDigestCredentialsInfo> parsed(const std::string& text) {
    return KvSipDigestCredentialsInfo::sConstructFrom(KvByteArray::sFromString(text.c_str()));
}

KvHandle<KvSipChallengeInfo> challengeOf(const std::string& text) {
    return KvSipChallengeInfo::sConstructFrom("Digest", KvByteArray::sFromString(text.c_str()));
}

// The quoted or bare value of one item of a written credentials text.
std::string itemOf(const std::string& text, const std::string& name) {
    const std::string key = name + "=";
    size_t at = 0;
    while ((at = text.find(key, at)) != std::string::npos) {
        if (at == 0 || text[at - 1] == ',') {
            at += key.size();
            if (text[at] == '"')
                return text.substr(at + 1, text.find('"', at + 1) - at - 1);
            return text.substr(at, text.find(',', at) - at);
        }
        ++at;
    }
    return "<absent>";
}

// RFC 2617 section 3.5, as a server receives it.
const std::string kRfcCredentials =
    "username=\"Mufasa\", realm=\"testrealm@host.com\", "
    "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", uri=\"/dir/index.html\", qop=auth, "
    "nc=00000001, cnonce=\"0a4f113b\", response=\"6629fae49393a05397450978507c4ef1\", "
    "opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"";

// The same exchange before the response is known, for computing it ourselves.
const std::string kRfcWithoutResponse =
    "username=\"Mufasa\", realm=\"testrealm@host.com\", "
    "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", uri=\"/dir/index.html\", qop=auth, "
    "nc=00000001, cnonce=\"0a4f113b\"";

} // namespace

TEST(KvSipDigestCredentialsInfo, Rfc2617ExampleVerifies) {
    auto credentials = parsed(kRfcCredentials);
    credentials->setMethod("GET");
    EXPECT_TRUE(credentials->verify("Mufasa", "Circle Of Life", "testrealm@host.com"));
    EXPECT_FALSE(credentials->verify("Mufasa", "circle of life", "testrealm@host.com"));
    EXPECT_FALSE(credentials->verify("Mufasa", "Circle Of Life", "otherrealm@host.com"));
    credentials->setMethod("POST");
    EXPECT_FALSE(credentials->verify("Mufasa", "Circle Of Life", "testrealm@host.com"));

    auto unanswered = parsed(kRfcWithoutResponse);
    unanswered->setMethod("GET");
    EXPECT_FALSE(unanswered->verify("Mufasa", "Circle Of Life", "testrealm@host.com"));
}

TEST(KvSipDigestCredentialsInfo, Rfc2617ExampleResponseIsComputedAndQopWrittenBare) {
    auto credentials = parsed(kRfcWithoutResponse);
    credentials->setMethod("GET");
    credentials->setPassword("Circle Of Life");
    const std::string text = kvSerialized(*credentials);
    EXPECT_EQ(text, "username=\"Mufasa\",realm=\"testrealm@host.com\","
                    "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\","
                    "response=\"6629fae49393a05397450978507c4ef1\",uri=\"/dir/index.html\","
                    "qop=auth,nc=00000001,cnonce=\"0a4f113b\"");
    EXPECT_EQ(credentials->getPassword(), "Circle Of Life");
}

TEST(KvSipDigestCredentialsInfo, UpperCaseResponseDoesNotVerify) {
    std::string text = kRfcCredentials;
    text.replace(text.find("6629fae49393a05397450978507c4ef1"), 32,
                 "6629FAE49393A05397450978507C4EF1");
    auto credentials = parsed(text);
    credentials->setMethod("GET");
    EXPECT_FALSE(credentials->verify("Mufasa", "Circle Of Life", "testrealm@host.com"));
}

TEST(KvSipDigestCredentialsInfo, ClientAnswerWithoutQopUsesRfc2069FormAndExactText) {
    auto challenge =
        challengeOf("realm=\"atlanta.com\", nonce=\"ea9c8e88df84f1cec4341ae6cbe5a359\"");
    KvHandle<KvSipDigestCredentialsInfo> credentials(
        new KvSipDigestCredentialsInfo(challenge, "bob", "zanzibar"));
    credentials->setMethod("REGISTER");
    credentials->setUri(KvHandle<KvURI>(new KvSipURL("sip:biloxi.com")));
    EXPECT_EQ(kvSerialized(*credentials),
              "username=\"bob\",realm=\"atlanta.com\",nonce=\"ea9c8e88df84f1cec4341ae6cbe5a359\","
              "response=\"b691b394f7c26e564f6d1f77ca6c5102\",uri=\"sip:biloxi.com\"");
    EXPECT_EQ(credentials->getUsername(), "bob");
    EXPECT_EQ(credentials->getPassword(), "zanzibar");
    EXPECT_EQ(credentials->getRealm(), "atlanta.com");
    EXPECT_EQ(credentials->getScheme(), "Digest");

    // The server receives exactly that text and checks it.
    auto received = parsed(kvSerialized(*credentials));
    received->setMethod("REGISTER");
    EXPECT_TRUE(received->verify("bob", "zanzibar", "atlanta.com"));
    EXPECT_FALSE(received->verify("bob", "zanzibaR", "atlanta.com"));
}

TEST(KvSipDigestCredentialsInfo, ClientAnswerCarriesAlgorithmAndOpaqueButNeverQop) {
    auto challenge =
        challengeOf("realm=\"atlanta.com\", nonce=\"ea9c8e88df84f1cec4341ae6cbe5a359\", "
                    "algorithm=MD5, opaque=\"xyz\", qop=\"auth,auth-int\"");
    KvHandle<KvSipDigestCredentialsInfo> credentials(
        new KvSipDigestCredentialsInfo(challenge, "bob", "zanzibar"));
    credentials->setMethod("REGISTER");
    credentials->setUri(KvHandle<KvURI>(new KvSipURL("sip:biloxi.com")));
    // An explicit MD5 changes nothing in the digest.
    EXPECT_EQ(kvSerialized(*credentials),
              "username=\"bob\",realm=\"atlanta.com\",nonce=\"ea9c8e88df84f1cec4341ae6cbe5a359\","
              "response=\"b691b394f7c26e564f6d1f77ca6c5102\",uri=\"sip:biloxi.com\","
              "algorithm=MD5,opaque=\"xyz\"");
}

TEST(KvSipDigestCredentialsInfo, MissingItemsAreWrittenEmpty) {
    KvHandle<KvSipDigestCredentialsInfo> credentials(
        new KvSipDigestCredentialsInfo(challengeOf("realm=\"a\""), nullptr, nullptr));
    const std::string text = kvSerialized(*credentials);
    EXPECT_EQ(itemOf(text, "username"), "");
    EXPECT_EQ(itemOf(text, "nonce"), "");
    EXPECT_EQ(itemOf(text, "uri"), "");
    EXPECT_EQ(itemOf(text, "response").size(), 32u);
    EXPECT_TRUE(credentials->getUsername().isEmpty());
}

TEST(KvSipDigestCredentialsInfo, Md5SessOnlyAppliesWithQop) {
    // Without qop the challenge's MD5-sess hashes A1 plainly.
    auto challenge = challengeOf(
        "realm=\"atlanta.com\", nonce=\"ea9c8e88df84f1cec4341ae6cbe5a359\", algorithm=MD5-sess");
    KvHandle<KvSipDigestCredentialsInfo> credentials(
        new KvSipDigestCredentialsInfo(challenge, "bob", "zanzibar"));
    credentials->setMethod("REGISTER");
    credentials->setUri(KvHandle<KvURI>(new KvSipURL("sip:biloxi.com")));
    const std::string text = kvSerialized(*credentials);
    EXPECT_EQ(itemOf(text, "response"), "b691b394f7c26e564f6d1f77ca6c5102");
    EXPECT_EQ(itemOf(text, "algorithm"), "MD5-sess");

    // With qop the session key H(H(user:realm:pw):nonce:cnonce) is used.
    auto sess = parsed(kRfcWithoutResponse + ", algorithm=MD5-sess");
    sess->setMethod("GET");
    sess->setPassword("Circle Of Life");
    EXPECT_EQ(itemOf(kvSerialized(*sess), "response"), "8e3825c57e897f5a0dec6c2d4e5059d0");
}

TEST(KvSipDigestCredentialsInfo, AlgorithmsOtherThanMd5AreRefused) {
    for (const char* algorithm : {"SHA", "md5", "SHA-256", "MD"}) {
        auto challenge =
            challengeOf(std::string("realm=\"a\", nonce=\"b\", algorithm=") + algorithm);
        EXPECT_EQ(
            kvThrownText([&] { KvSipDigestCredentialsInfo credentials(challenge, "u", "p"); }),
            "Unsupported Algorithm !!!")
            << algorithm;
    }
    // Received credentials fail at every digest step instead.
    auto received = parsed(kRfcCredentials + ", algorithm=SHA-256");
    received->setMethod("GET");
    EXPECT_EQ(
        kvThrownText([&] { received->verify("Mufasa", "Circle Of Life", "testrealm@host.com"); }),
        "Unsupported Algorithm !!!");
    EXPECT_EQ(kvThrownText([&] { kvSerialized(*received.get()); }), "(nothing thrown)")
        << "a received response is echoed, not computed";
    EXPECT_EQ(kvThrownText([&] { received->setEntityBody("x"); }), "Unsupported Algorithm !!!");
    // Without a response they could only be written with an empty one, which nothing verifies.
    EXPECT_EQ(kvThrownText([&] { parsed(kRfcWithoutResponse + ", algorithm=SHA-256"); }),
              "Unsupported Algorithm !!!");
}

// Quoted values follow RFC 3261 25.1: a backslash escapes the character behind it, and a value
// that holds a double quote or a backslash is written with those escaped.
TEST(KvSipDigestCredentialsInfo, QuotedPairsAreReadAndWritten) {
    auto credentials = parsed("username=\"a\\\"b\", realm=\"r\\\\\", nonce=\"n\", response=\"x\"");
    EXPECT_EQ(credentials->getUsername(), "a\"b");
    EXPECT_EQ(credentials->getRealm(), "r\\");
    const std::string text = kvSerialized(*credentials);
    EXPECT_EQ(text.rfind("username=\"a\\\"b\",realm=\"r\\\\\",nonce=", 0), 0u) << text;
    auto again = parsed(text);
    EXPECT_EQ(again->getUsername(), "a\"b");
    EXPECT_EQ(again->getRealm(), "r\\");

    // A token item that came quoted with a double quote in it is written quoted again.
    auto token = parsed("username=\"a\", response=\"x\", qop=\"a\\\"b\", nc=1, cnonce=\"c\"");
    EXPECT_NE(kvSerialized(*token).find(",qop=\"a\\\"b\","), std::string::npos);
    EXPECT_EQ(kvSerialized(*parsed(kvSerialized(*token))), kvSerialized(*token));

    auto challenge = challengeOf("realm=\"say \\\"hi\\\"\", nonce=\"n\"");
    EXPECT_EQ(challenge->getRealm(), "say \"hi\"");
    EXPECT_EQ(kvSerialized(*challenge), "nonce=\"n\",realm=\"say \\\"hi\\\"\"");
}

TEST(KvSipDigestCredentialsInfo, NullOrForeignChallengeIsRefused) {
    EXPECT_EQ(kvThrownText([] {
                  KvSipDigestCredentialsInfo credentials(KvHandle<KvSipChallengeInfo>(), "u", "p");
              }),
              "Handle to challenge is NIL");
}

TEST(KvSipDigestCredentialsInfo, AuthIntHashesTheWholeBody) {
    const std::string base = "username=\"Mufasa\", realm=\"testrealm@host.com\", "
                             "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", "
                             "uri=\"sip:bob@biloxi.com\", qop=auth-int, nc=00000001, "
                             "cnonce=\"0a4f113b\", response=\"";
    struct Case {
        const char* name;
        std::string response;
        void (*setBody)(KvSipDigestCredentialsInfo&);
    };
    const Case cases[] = {
        {"absent", "1cbfadf54c5ac30459d677da0679f998", [](KvSipDigestCredentialsInfo&) {}},
        {"null", "1cbfadf54c5ac30459d677da0679f998",
         [](KvSipDigestCredentialsInfo& c) { c.setEntityBody(nullptr); }},
        {"empty", "1cbfadf54c5ac30459d677da0679f998",
         [](KvSipDigestCredentialsInfo& c) { c.setEntityBody(""); }},
        {"empty bytes", "1cbfadf54c5ac30459d677da0679f998",
         [](KvSipDigestCredentialsInfo& c) { c.setEntityBody("x", 0); }},
        {"with NUL", "bcd33fe69525b60ae8bf91a3f2833490",
         [](KvSipDigestCredentialsInfo& c) { c.setEntityBody("v=0\0o=x\r\n", 9); }},
        {"text up to NUL", "0bcbde9516db918092cc651794cfb70b",
         [](KvSipDigestCredentialsInfo& c) { c.setEntityBody("v=0\0o=x\r\n"); }},
    };
    for (const Case& c : cases) {
        auto credentials = parsed(base + c.response + "\"");
        credentials->setMethod("INVITE");
        c.setBody(*credentials);
        EXPECT_TRUE(credentials->verify("Mufasa", "Circle Of Life", "testrealm@host.com"))
            << c.name;
    }
    // A body must count: the hash of another body fails.
    auto credentials = parsed(base + "bcd33fe69525b60ae8bf91a3f2833490\"");
    credentials->setMethod("INVITE");
    credentials->setEntityBody("v=0");
    EXPECT_FALSE(credentials->verify("Mufasa", "Circle Of Life", "testrealm@host.com"));
}

TEST(KvSipDigestCredentialsInfo, PeerCannotSetLocalOnlyItems) {
    // A body hash, method or password smuggled into the header must not steer verification.
    auto credentials = parsed(
        "username=\"Mufasa\", realm=\"testrealm@host.com\", "
        "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", uri=\"sip:bob@biloxi.com\", "
        "qop=auth-int, nc=00000001, cnonce=\"0a4f113b\", "
        "response=\"bcd33fe69525b60ae8bf91a3f2833490\", "
        "entity-body=\"2e20fb7407ce6bfb93df6e22200f292a\", method=\"INVITE\", password=\"x\", "
        "qopoptions=\"auth\"");
    EXPECT_TRUE(credentials->getPassword().isEmpty());
    credentials->setMethod("INVITE");
    EXPECT_FALSE(credentials->verify("Mufasa", "Circle Of Life", "testrealm@host.com"));
    credentials->setEntityBody("v=0\0o=x\r\n", 9);
    EXPECT_TRUE(credentials->verify("Mufasa", "Circle Of Life", "testrealm@host.com"));
}

TEST(KvSipDigestCredentialsInfo, ParserKeepsQuotedCommasAndEqualsSigns) {
    auto credentials = parsed("username=\"a,b\", realm = \"x y\" , nonce=\"MTIzNDU2Nzg5MA==\", "
                              "uri=sip:al ice@host, response=\"r\"");
    const std::string text = kvSerialized(*credentials);
    EXPECT_EQ(itemOf(text, "username"), "a,b");
    EXPECT_EQ(itemOf(text, "realm"), "x y");
    EXPECT_EQ(itemOf(text, "nonce"), "MTIzNDU2Nzg5MA==");
    // An unquoted blank inside a value is dropped.
    EXPECT_EQ(itemOf(text, "uri"), "sip:alice@host");
    EXPECT_EQ(itemOf(text, "response"), "r");
}

TEST(KvSipDigestCredentialsInfo, ParserEndsAtLineEndAndNeedsAnEqualsSign) {
    auto credentials = parsed("username=\"a\", realm=\"r\"\nnonce=\"late\"");
    EXPECT_EQ(credentials->getRealm(), "r");
    EXPECT_EQ(itemOf(kvSerialized(*credentials), "nonce"), "");

    auto bare = parsed("username");
    EXPECT_TRUE(bare->getUsername().isEmpty());
    auto last = parsed("realm=\"r\", username=u");
    EXPECT_EQ(last->getUsername(), "u");
}

TEST(KvSipDigestCredentialsInfo, ParserKeepsAtMost1024Characters) {
    // 1,024 kept characters: the key "n" and 1,023 of value; "=", quotes and blanks are not kept.
    const std::string fits = "n = \"" + std::string(1023, 'x') + "\"";
    EXPECT_EQ(kvThrownText([&] { parsed(fits); }), "(nothing thrown)");
    EXPECT_EQ(kvThrownText([&] { parsed(fits + ","); }), "(nothing thrown)");
    EXPECT_EQ(kvThrownText([&] { parsed("n=\"" + std::string(1024, 'x') + "\""); }),
              "Buffer overflew !!!");
    // The limit is for the whole text, not per item.
    EXPECT_EQ(kvThrownText([&] { parsed(fits + ", u=v"); }), "Buffer overflew !!!");
}

TEST(KvSipDigestCredentialsInfo, FactoryAcceptsOnlyDigest) {
    auto text = KvByteArray::sFromString("username=\"u\"");
    auto lower = KvSipCredentialsInfo::sConstructFrom("digest", text);
    ASSERT_FALSE(lower.isNull());
    EXPECT_EQ(lower->getUsername(), "u");
    EXPECT_EQ(kvThrownText([&] { KvSipCredentialsInfo::sConstructFrom("Basic", text); }),
              "Credentials type not supported !");
    EXPECT_EQ(kvThrownText([&] { KvSipCredentialsInfo::sConstructFrom(nullptr, text); }),
              "Credentials type not supported !");
}

TEST(KvSipDigestCredentialsInfo, ItemNamesAreMatchedInAnyCaseAsTheyArrive) {
    // Local-only items in other cases are dropped; a repeated item keeps the last value.
    auto credentials = parsed("username=\"a\", PASSWORD=\"x\", Method=\"M\", RESPONSE=\"r\", "
                              "username=\"\\\"\\\\b\\\"\", algorithm=SHA-256");
    EXPECT_TRUE(credentials->getPassword().isEmpty());
    EXPECT_EQ(credentials->getUsername(), "\"\\b\"");
    // The response is there, in upper case: the algorithm is echoed, not refused.
    const std::string text = kvSerialized(*credentials);
    EXPECT_EQ(text.rfind("username=\"\\\"\\\\b\\\"\",realm=\"\",nonce=\"\",response=\"r\",", 0), 0u)
        << text;
    EXPECT_EQ(text.find("method"), std::string::npos) << text;
}

TEST(KvSipDigestCredentialsInfo, ItemsAreCutAtNulAndRepeatedItemsReplaced) {
    using namespace std::string_literals;
    auto read = [](const std::string& text) {
        return kvSerialized(KvSipDigestCredentialsInfo::sConstructFrom(*kvStreamOf(text)));
    };
    const std::string nonce(40, 'n');
    const std::string tail = ", uri=\"sip:b\", response=\"0123456789abcdef0123456789abcdef\"";
    EXPECT_EQ(
        read(" Username = \"a\", realm=\"r\", nonce=\"" + nonce + "\", USERNAME=\"b\"" + tail),
        read("username=\"b\", realm=\"r\", nonce=\"" + nonce + "\"" + tail));
    EXPECT_EQ(read("username=\"a\", realm=\"r\", nonce=\"x\0y\", realm\0z=\"q\""s + tail),
              read("username=\"a\", realm=\"q\", nonce=\"x\"" + tail));
}
