#include "KvException.h"
#include "KvParameters.h"
#include "KvSipNameAddress.h"
#include "KvSipParseError.h"
#include "KvSipURL.h"
#include "KvTelURL.h"
#include "support/KvCorpus.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

struct Parsed {
    KvHandle<KvSipNameAddress> address;
    std::string rest;
};

// Reads as an address header does: through operator>>, parameters left for the header.
Parsed parse(const std::string& text) {
    auto stream = kvStreamOf(text);
    Parsed parsed;
    *stream >> parsed.address;
    parsed.rest = kvRestOf(*stream);
    return parsed;
}

std::string written(const KvHandle<KvSipNameAddress>& address) {
    KvStringOutputStream out;
    out << address;
    return out.text;
}

std::string text(const KvString& s) {
    return s.c_str();
}

// The unfolded value of a torture message's header, with a line end.
std::string corpusHeader(const char* file, const std::string& name) {
    return kvUnfoldedValue(kvCorpusFile(std::string("rfc4475/") + file), name) + "\r\n";
}

} // namespace

TEST(KvSipNameAddress, BracketedUriWithoutDisplayName) {
    Parsed p = parse("<sip:caller@host>");
    EXPECT_TRUE(p.address->getDisplayName().isEmpty());
    EXPECT_TRUE(p.address->hasBrackets());
    EXPECT_EQ(written(p.address), "<sip:caller@host>");
    EXPECT_EQ(text(p.address->getURIString()), "sip:caller@host");
}

TEST(KvSipNameAddress, DisplayNameThenUriThenHeaderParameters) {
    Parsed p = parse("Caller <sip:caller@host>;tag=9\r\n");
    EXPECT_EQ(text(p.address->getDisplayName()), "Caller");
    EXPECT_TRUE(p.address->hasBrackets());
    EXPECT_EQ(p.rest, "tag=9\r\n");
    EXPECT_EQ(written(p.address), "Caller <sip:caller@host>");
}

TEST(KvSipNameAddress, QuotedDisplayNamesKeepQuotesAndEscapes) {
    Parsed p = parse("\"Bob \\\"B\\\" <x>\" <sip:bob@h>");
    EXPECT_EQ(text(p.address->getDisplayName()), "\"Bob \\\"B\\\" <x>\"");
    EXPECT_EQ(written(p.address), "\"Bob \\\"B\\\" <x>\" <sip:bob@h>");

    // A backslash escapes exactly the next character, itself included.
    Parsed q = parse("\"a\\\\\" <sip:b@h>");
    EXPECT_EQ(text(q.address->getDisplayName()), "\"a\\\\\"");
    EXPECT_EQ(text(q.address->getSipURL()->getHost()), "h");

    EXPECT_EQ(kvFailureOf([] { parse("\"open <sip:a@h>"); }),
              "parse: Invalid quote in KvSipNameAddress");
    EXPECT_EQ(kvFailureOf([] { parse("\"ends in \\"); }),
              "parse: Invalid quote in KvSipNameAddress");
}

TEST(KvSipNameAddress, BareUriParametersDependOnWhoReads) {
    Parsed header = parse("sip:caller@host;tag=9");
    EXPECT_FALSE(header.address->hasBrackets());
    EXPECT_FALSE(header.address->getSipURL()->hasParameters());
    EXPECT_EQ(header.rest, "tag=9");
    EXPECT_EQ(written(header.address), "sip:caller@host");

    KvHandle<KvSipNameAddress> built(new KvSipNameAddress("sip:caller@host;tag=9"));
    EXPECT_EQ(text(built->getSipURL()->getParameters()->getParameter("tag")), "9");
    // Written bare, the URL's parameter would read back as the header's.
    EXPECT_EQ(written(built), "<sip:caller@host;tag=9>");
}

TEST(KvSipNameAddress, BuiltFromDisplayNameAndUri) {
    KvHandle<KvURI> uri(new KvSipURL("sip:bob@example.com"));
    KvHandle<KvSipNameAddress> named(new KvSipNameAddress("Bob", uri));
    EXPECT_EQ(written(named), "Bob <sip:bob@example.com>");
    EXPECT_NE(named->getURI().get(), uri.get()); // a clone

    KvHandle<KvSipNameAddress> plain(new KvSipNameAddress("", uri));
    EXPECT_EQ(written(plain), "sip:bob@example.com");
    plain->setBrackets(true);
    EXPECT_EQ(written(plain), "<sip:bob@example.com>");

    KvHandle<KvSipNameAddress> copy(static_cast<KvSipNameAddress*>(named->clone()));
    EXPECT_NE(copy->getURI().get(), named->getURI().get());
    EXPECT_EQ(written(copy), "Bob <sip:bob@example.com>");

    KvHandle<KvSipNameAddress> none;
    EXPECT_EQ(written(none), "");
    KvHandle<KvSipNameAddress> noUri(new KvSipNameAddress("", KvHandle<KvURI>()));
    EXPECT_TRUE(noUri->getURI().isNull());
    EXPECT_TRUE(noUri->getURIString().isEmpty());
}

// A caller's name that would read as more than a name goes in quotes: the address stays the
// caller's, and the name reads back as written.
TEST(KvSipNameAddress, ACallersDisplayNameStaysAName) {
    KvHandle<KvURI> alice(new KvSipURL("sip:alice@example.com"));
    KvHandle<KvSipNameAddress> named(
        new KvSipNameAddress("Bob <sip:evil@attacker.example>", alice));
    EXPECT_EQ(written(named), "\"Bob <sip:evil@attacker.example>\" <sip:alice@example.com>");
    Parsed back = parse(written(named) + ";tag=77\r\n");
    EXPECT_EQ(text(back.address->getURIString()), "sip:alice@example.com");
    EXPECT_EQ(text(back.address->getDisplayName()), text(named->getDisplayName()));

    KvHandle<KvSipNameAddress> quote(new KvSipNameAddress("a\"b\\", alice));
    EXPECT_EQ(written(quote), "\"a\\\"b\\\\\" <sip:alice@example.com>");
    EXPECT_EQ(written(parse(written(quote) + "\r\n").address), written(quote));
    // Tokens and blanks, or one quoted string, are written as given.
    for (const char* given : {"Bob Smith", "\"Bob, \\\"B\\\" Smith\"", "B.o-b!%*_+`'~"})
        EXPECT_EQ(text(KvSipNameAddress(given, alice).getDisplayName()), given);
}

TEST(KvSipNameAddress, UrisWithDelimitersAreWrittenInBrackets) {
    for (const char* text : {"sip:a@h?Subject=x", "sip:a@h;lr", "<sip:a,b@h>"}) {
        KvHandle<KvSipNameAddress> address(new KvSipNameAddress(text));
        std::string out = written(address);
        EXPECT_EQ(out.front(), '<') << text;
        EXPECT_EQ(out.back(), '>') << text;
    }
}

// The URL goes to the stream without its string: the same text as that string.
TEST(KvSipNameAddress, WrittenUrlIsItsText) {
    const std::string longHost(300, 'h');
    for (const std::string& text : std::vector<std::string>{
             "<sip:a:pw@h:5070;lr;transport=tcp>", "<sip:a;b@h>",
             "<sip:a@h?Subject=x&Priority=urgent>", "sip:h:5061", "<sip:a@" + longHost + ";lr>"}) {
        KvHandle<KvSipNameAddress> address(new KvSipNameAddress(text.c_str()));
        const std::string uri = address->getURIString().c_str();
        EXPECT_EQ(written(address), text.front() == '<' ? "<" + uri + ">" : uri) << text;
    }
}

// Its empty URI is made when first asked for: two threads asking at once get the same one.
TEST(KvSipNameAddress, EmptyUriMadeOnceWhenAsked) {
    for (int round = 0; round < 50; ++round) {
        const KvHandle<KvSipNameAddress> address(new KvSipNameAddress());
        KvURI* seen[2] = {};
        std::thread other([&] { seen[0] = address->getURI().get(); });
        seen[1] = address->getURI().get();
        other.join();
        ASSERT_NE(seen[1], nullptr);
        EXPECT_EQ(seen[0], seen[1]);
        EXPECT_FALSE(seen[1]->isSipURL());
    }
    const KvHandle<KvSipNameAddress> fresh(new KvSipNameAddress());
    const KvHandle<KvSipNameAddress> copy(static_cast<KvSipNameAddress*>(fresh->clone()));
    ASSERT_FALSE(copy->getURI().isNull());
    EXPECT_NE(copy->getURI().get(), fresh->getURI().get());
    EXPECT_EQ(written(copy), written(fresh));
}

TEST(KvSipNameAddress, MissingUri) {
    KvHandle<KvSipNameAddress> address(new KvSipNameAddress());
    auto stream = kvStreamOf("Caller\r\n");
    EXPECT_EQ(kvFailureOf([&] { address->parse(*stream); }), "parse: URL not specified");
    EXPECT_EQ(text(address->getDisplayName()), "Caller");

    EXPECT_EQ(kvFailureOf([] { parse("Caller"); }), "other: INVALID URI");

    std::string longName(1100, 'n');
    EXPECT_EQ(kvFailureOf([&] { parse(longName + " <sip:a@h>"); }),
              "parse: Invalid SIP Name Address");
}

TEST(KvSipNameAddress, ParseStartsFromScratch) {
    KvHandle<KvSipNameAddress> address(new KvSipNameAddress("\"Bob\" <sip:bob@h>"));
    EXPECT_TRUE(address->hasBrackets());
    address->parse("sip:carol@h");
    EXPECT_TRUE(address->getDisplayName().isEmpty());
    EXPECT_FALSE(address->hasBrackets());
    EXPECT_EQ(written(address), "sip:carol@h");
}

TEST(KvSipNameAddress, QuotedNameBeforeBareUri) {
    Parsed p = parse("\"Bob\" sip:bob@h");
    EXPECT_EQ(text(p.address->getDisplayName()), "\"Bob\"");
    EXPECT_EQ(text(p.address->getURIString()), "sip:bob@h");
    EXPECT_EQ(written(p.address), "\"Bob\" <sip:bob@h>");
}

TEST(KvSipNameAddress, OtherUriKinds) {
    Parsed tel = parse("<tel:+1234>;tag=1");
    EXPECT_TRUE(tel.address->getSipURL().isNull());
    EXPECT_NE(dynamic_cast<KvTelURL*>(tel.address->getURI().get()), nullptr);
    EXPECT_EQ(written(tel.address), "<tel:+1234>");
}

TEST(KvSipNameAddress, TortureDisplayNames) {
    KV_REQUIRE_CORPUS();
    Parsed from = parse(corpusHeader("wsinv.dat", "from   "));
    EXPECT_EQ(text(from.address->getDisplayName()), "\"J Rosenberg \\\\\\\"\"");
    EXPECT_EQ(text(from.address->getURIString()), "sip:jdrosen@example.com");
    EXPECT_EQ(written(from.address), "\"J Rosenberg \\\\\\\"\" <sip:jdrosen@example.com>");

    Parsed contact = parse(corpusHeader("wsinv.dat", "m"));
    EXPECT_EQ(text(contact.address->getDisplayName()), "\"Quoted string \\\"\\\"\"");
    EXPECT_EQ(text(contact.address->getURIString()), "sip:jdrosen@example.com");

    Parsed lws = parse(corpusHeader("lwsdisp.dat", "From"));
    EXPECT_EQ(text(lws.address->getDisplayName()), "caller");
    EXPECT_EQ(text(lws.address->getURIString()), "sip:caller@example.com");
    EXPECT_EQ(lws.rest, "tag=323\r\n");

    std::string quotbal = corpusHeader("quotbal.dat", "To");
    ASSERT_FALSE(quotbal.empty());
    EXPECT_EQ(kvFailureOf([&] { parse(quotbal); }), "parse: Invalid quote in KvSipNameAddress");
}
