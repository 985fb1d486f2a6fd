#include "KvException.h"
#include "KvParameters.h"
#include "KvSipParseError.h"
#include "KvTelURL.h"
#include "support/KvTestStreams.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Parsed {
    KvHandle<KvTelURL> tel;
    std::string rest;
};

Parsed parse(const std::string& text, bool ownParameters) {
    auto stream = kvStreamOf(text);
    KvHandle<KvURI> uri = KvURI::createURI(*stream, ownParameters);
    Parsed parsed;
    parsed.tel = KvHandle<KvTelURL>(dynamic_cast<KvTelURL*>(uri.get()));
    parsed.rest = kvRestOf(*stream);
    return parsed;
}

std::string text(const KvString& s) {
    return s.c_str();
}

} // namespace

TEST(KvTelURL, GlobalNumberKeepsItsPlus) {
    Parsed p = parse("tel:+1234567", false);
    ASSERT_FALSE(p.tel.isNull());
    EXPECT_FALSE(p.tel->isSipURL());
    EXPECT_EQ(text(p.tel->getScheme()), "tel");
    EXPECT_EQ(text(p.tel->getNumber()), "+1234567");
    EXPECT_TRUE(p.tel->isGlobal());
    EXPECT_FALSE(p.tel->hasParameters());
    EXPECT_FALSE(p.tel->hasHeaders());
    EXPECT_EQ(p.tel->serialize(), "tel:+1234567");
}

TEST(KvTelURL, ParametersBelongToTheUrlWhenBracketedOrOwned) {
    Parsed bracketed = parse("<tel:12345;phone-context=x>;tag=3", false);
    EXPECT_EQ(text(bracketed.tel->getNumber()), "12345");
    EXPECT_FALSE(bracketed.tel->isGlobal());
    EXPECT_EQ(text(bracketed.tel->getParameters()->getParameter("phone-context")), "x");
    EXPECT_EQ(bracketed.rest, ";tag=3");
    EXPECT_EQ(bracketed.tel->serialize(), "tel:12345;phone-context=x");

    Parsed bare = parse("tel:12345;phone-context=x", false);
    EXPECT_EQ(text(bare.tel->getNumber()), "12345");
    EXPECT_FALSE(bare.tel->hasParameters());
    EXPECT_EQ(bare.rest, "phone-context=x");

    // A request line owns its parameters.
    Parsed request = parse(" tel:7042;phone-context=example.com\r\n", true);
    EXPECT_EQ(text(request.tel->getNumber()), "7042");
    EXPECT_EQ(text(request.tel->getParameters()->getParameter("phone-context")), "example.com");
    EXPECT_EQ(request.tel->serialize(), "tel:7042;phone-context=example.com");
}

TEST(KvTelURL, BareNumberEndsAtListComma) {
    Parsed p = parse("tel:+1-201-555-0123, tel:+2", false);
    EXPECT_EQ(text(p.tel->getNumber()), "+1-201-555-0123");
    EXPECT_EQ(p.rest, ", tel:+2");
}

TEST(KvTelURL, CopyHasItsOwnParameters) {
    KvHandle<KvTelURL> tel = parse("<tel:+49;ext=7>", false).tel;
    KvHandle<KvTelURL> copy(static_cast<KvTelURL*>(tel->clone()));
    copy->getParameters()->removeAll();
    EXPECT_TRUE(tel->hasParameters());
    EXPECT_TRUE(copy->isGlobal());
    EXPECT_EQ(copy->serialize(), "tel:+49");
}

TEST(KvTelURL, OverlongNumberIsRefused) {
    std::string number(1100, '1');
    try {
        parse("tel:" + number, false);
        FAIL() << "no failure";
    } catch (KvHandle<KvException>& e) {
        EXPECT_NE(dynamic_cast<KvSipParseError*>(e.get()), nullptr);
        EXPECT_STREQ(e->getText(), "Invalid TelURL");
    }
}
