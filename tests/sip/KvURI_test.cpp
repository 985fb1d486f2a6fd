#include "KvException.h"
#include "KvSipURL.h"
#include "KvTelURL.h"
#include "KvURI.h"
#include "KvURISchemeRegistry.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

namespace {

struct Parsed {
    KvHandle<KvURI> uri;
    std::string rest;
};

Parsed parse(const std::string& text, bool ownParameters = false) {
    auto stream = kvStreamOf(text);
    Parsed parsed;
    parsed.uri = KvURI::createURI(*stream, ownParameters);
    parsed.rest = kvRestOf(*stream);
    return parsed;
}

std::string text(const KvString& s) {
    return s.c_str();
}

} // namespace

TEST(KvURI, CreateUriPicksTheKindByItsFirstLetters) {
    EXPECT_NE(dynamic_cast<KvSipURL*>(parse("sip:a@b").uri.get()), nullptr);
    EXPECT_NE(dynamic_cast<KvSipURL*>(parse("  <SIP:a@b>").uri.get()), nullptr);
    EXPECT_NE(dynamic_cast<KvTelURL*>(parse("Tel:+1").uri.get()), nullptr);
    Parsed other = parse("mailto:bob@example.com");
    EXPECT_EQ(typeid(*other.uri.get()), typeid(KvURI));
    EXPECT_FALSE(other.uri->isSipURL());
    EXPECT_FALSE(other.uri->ownsParameters());
    EXPECT_TRUE(parse("sip:h", true).uri->ownsParameters());
}

TEST(KvURI, GenericUriKeepsSchemeAndBody) {
    Parsed p = parse("urn:service:sos");
    EXPECT_EQ(text(p.uri->getScheme()), "urn");
    EXPECT_EQ(text(p.uri->getBody()), "service:sos");
    EXPECT_FALSE(p.uri->hasParameters());
    EXPECT_EQ(p.uri->serialize(), "urn:service:sos");

    Parsed bracketed = parse("<im:bob@example.com>;tag=1");
    EXPECT_EQ(text(bracketed.uri->getBody()), "bob@example.com");
    EXPECT_EQ(bracketed.rest, ";tag=1");

    Parsed line = parse("http://example.com/x \r\nnext");
    EXPECT_EQ(text(line.uri->getBody()), "//example.com/x");
    EXPECT_EQ(line.rest, "\r\nnext");

    // A bare URI in a list ends before the comma of the next element.
    Parsed list = parse("mailto:a@b, mailto:c@d");
    EXPECT_EQ(text(list.uri->getBody()), "a@b");
    EXPECT_EQ(list.rest, ", mailto:c@d");
}

TEST(KvURI, GenericUriWithoutColonIsInvalid) {
    try {
        parse("Caller");
        FAIL() << "no failure";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), "INVALID URI");
    }
}

TEST(KvURI, SchemeAndBodySettersAndCopies) {
    KvHandle<KvURI> uri(new KvURI("x-scheme"));
    uri->setBody("<abc>");
    KvHandle<KvURI> copy(static_cast<KvURI*>(uri->clone()));
    uri->setBody(nullptr);
    EXPECT_TRUE(uri->getBody().isNull());
    EXPECT_EQ(text(copy->getBody()), "<abc>");
    EXPECT_EQ(copy->serialize(), "x-scheme:<abc>");
    uri->setScheme(nullptr);
    EXPECT_TRUE(uri->getScheme().isNull());
    EXPECT_TRUE(KvURI(nullptr).getScheme().isEmpty());

    // A copy of a sip URL through the base keeps its kind.
    KvHandle<KvURI> sip(new KvSipURL("sip:h"));
    KvHandle<KvURI> sipCopy(static_cast<KvURI*>(sip->clone()));
    EXPECT_TRUE(sipCopy->isSipURL());
}

TEST(KvURI, SchemeRegistryHoldsSipAndTel) {
    KvURISchemeRegistry::Creator sip = KvURISchemeRegistry::instance().find("SIP");
    ASSERT_NE(sip, nullptr);
    KvHandle<KvURI> made(sip());
    EXPECT_TRUE(made->isSipURL());
    KvURISchemeRegistry::Creator tel = KvURISchemeRegistry::instance().find("tel");
    ASSERT_NE(tel, nullptr);
    KvHandle<KvURI> number(tel());
    EXPECT_NE(dynamic_cast<KvTelURL*>(number.get()), nullptr);
    EXPECT_EQ(KvURISchemeRegistry::instance().find("mailto"), nullptr);

    // A second registration keeps the first creator.
    KvURI::registerScheme("sip", &KvTelURL::sCreate);
    EXPECT_EQ(KvURISchemeRegistry::instance().find("sip"), sip);
}
