#include "KvException.h"
#include "KvParameters.h"
#include "KvSipParseError.h"
#include "KvSipURL.h"
#include "KvURI.h"
#include "support/KvCorpus.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

struct Parsed {
    KvHandle<KvURI> uri;
    KvHandle<KvSipURL> url;
    std::string rest; // what the parser left in the stream
};

Parsed parse(const std::string& text, bool ownParameters) {
    auto stream = kvStreamOf(text);
    Parsed parsed;
    parsed.uri = KvURI::createURI(*stream, ownParameters);
    parsed.url = KvHandle<KvSipURL>(dynamic_cast<KvSipURL*>(parsed.uri.get()));
    parsed.rest = kvRestOf(*stream);
    return parsed;
}

std::string text(const KvString& s) {
    return s.c_str();
}

std::string serialized(const KvHandle<KvSipURL>& url) {
    return url->serialize().c_str();
}

std::string header(const KvHandle<KvSipURL>& url, const char* name) {
    const char* value = url->getHeaders()->getParameterText(name);
    return value ? value : "<absent>";
}

// The request-URI of a torture message's request line.
std::string requestUri(const std::string& message) {
    size_t start = message.find(' ') + 1;
    return message.substr(start, message.find(" SIP/2.0") - start);
}

} // namespace

TEST(KvSipURL, ReadsUserHostAndDefaultPort) {
    Parsed p = parse("sip:caller@host", false);
    ASSERT_FALSE(p.url.isNull());
    EXPECT_TRUE(p.uri->isSipURL());
    EXPECT_EQ(text(p.url->getUser()), "caller");
    EXPECT_EQ(text(p.url->getHost()), "host");
    EXPECT_EQ(p.url->getPort(), 5060);
    EXPECT_FALSE(p.url->hasPort());
    EXPECT_FALSE(p.url->hasParameters());
    EXPECT_TRUE(p.url->hasNoHeaders());
    EXPECT_EQ(serialized(p.url), "sip:caller@host");
}

TEST(KvSipURL, TextConstructorReadsPasswordPortAndTransport) {
    KvHandle<KvSipURL> url(new KvSipURL("sip:alice:secret@example.com:5070;transport=tcp"));
    EXPECT_EQ(text(url->getUser()), "alice");
    EXPECT_EQ(text(url->getPassword()), "secret");
    EXPECT_EQ(url->getPort(), 5070);
    EXPECT_TRUE(url->hasPort());
    EXPECT_EQ(url->getTransport(), 1);
    EXPECT_EQ(url->getParameterCount(), 1u);
    EXPECT_EQ(serialized(url), "sip:alice:secret@example.com:5070;transport=tcp");

    EXPECT_EQ(KvSipURL("sip:h;transport=TCP").getTransport(), 1);
    EXPECT_EQ(KvSipURL("sip:h;transport=udp").getTransport(), 0);
    EXPECT_EQ(KvSipURL("sip:h").getTransport(), 0);
}

TEST(KvSipURL, WritesThePortOnlyWhenItWasGiven) {
    EXPECT_EQ(KvSipURL("sip:host:5060").serialize(), "sip:host:5060");
    EXPECT_EQ(KvSipURL("sip:host").serialize(), "sip:host");
    EXPECT_EQ(KvSipURL("SIP:Host").serialize(), "sip:Host");
}

TEST(KvSipURL, BareUrlLeavesHeaderParametersUnlessItOwnsThem) {
    Parsed bare = parse("sip:caller@host;tag=1", false);
    EXPECT_FALSE(bare.url->hasParameters());
    EXPECT_EQ(bare.rest, "tag=1");

    Parsed owned = parse("sip:caller@host;tag=1", true);
    EXPECT_EQ(text(owned.url->getParameters()->getParameter("tag")), "1");
    EXPECT_EQ(owned.rest, "");

    Parsed spaced = parse("sip:caller@host ;tag=1", false);
    EXPECT_EQ(text(spaced.url->getHost()), "host");
    EXPECT_EQ(spaced.rest, "tag=1");

    EXPECT_EQ(kvFailureOf([] { parse("sip;x", false); }), "parse: Illegal URL construct");
}

TEST(KvSipURL, BracketedUrlKeepsItsParametersAndTakesTheSemicolonBehind) {
    Parsed p = parse("<sip:caller@host;lr> \t;tag=7", false);
    EXPECT_TRUE(p.url->getParameters()->hasParameter("lr"));
    EXPECT_EQ(p.rest, "tag=7");

    Parsed q = parse("<sip:caller@host>, <sip:other@host>", false);
    EXPECT_EQ(q.rest, ", <sip:other@host>");
}

TEST(KvSipURL, CommasInUserPartAndBetweenUrls) {
    EXPECT_EQ(text(parse("<sip:a,b@host>", false).url->getUser()), "a,b");
    EXPECT_EQ(text(parse("sip:a,b@host", true).url->getUser()), "a,b");

    for (bool own : {false, true}) {
        Parsed p = parse("sip:caller@host,sip:callee@host", own);
        EXPECT_EQ(text(p.url->getHost()), "host");
        EXPECT_EQ(p.rest, ",sip:callee@host");
    }
    // A bare URL in a header cannot hold a comma: the next list element is not read as a user.
    Parsed list = parse("sip:h1, sip:bob@h2", false);
    EXPECT_TRUE(list.url->getUser().isEmpty());
    EXPECT_EQ(text(list.url->getHost()), "h1");
    EXPECT_EQ(list.rest, ", sip:bob@h2");
}

// Until the "@" the password may hold what the user part may: the host stays the one behind it.
TEST(KvSipURL, PasswordKeepsCommasQuestionMarksAndSemicolons) {
    for (const std::string password : {"pa,ss", "pa?ss", "pa;ss"}) {
        const std::string url = "sip:alice:" + password + "@example.com";
        for (const std::string& written : {url, "<" + url + ">"}) {
            Parsed p = parse(written, written[0] == 's');
            EXPECT_EQ(text(p.url->getUser()), "alice") << written;
            EXPECT_EQ(text(p.url->getPassword()), password) << written;
            EXPECT_EQ(text(p.url->getHost()), "example.com") << written;
            EXPECT_EQ(serialized(p.url), url);
        }
        KvHandle<KvSipMessage> request =
            kvParseMessage("INVITE " + url + " SIP/2.0\r\nContent-Length: 0\r\n\r\n");
        EXPECT_EQ(kvSerialized(request).rfind("INVITE " + url + " SIP/2.0\r\n", 0), 0u);
    }
}

TEST(KvSipURL, AddressListsOfRoutesReadOneUrlEach) {
    Parsed p = parse("<sip:10.0.0.1:5060;lr>, <sip:bob@h>", false);
    EXPECT_TRUE(p.url->getUser().isEmpty());
    EXPECT_EQ(text(p.url->getHost()), "10.0.0.1");
    EXPECT_EQ(p.url->getPort(), 5060);
    EXPECT_TRUE(p.url->getParameters()->hasParameter("lr"));
    EXPECT_EQ(p.rest, ", <sip:bob@h>");

    Parsed q = parse("<sip:p.example.com;lr>, <sip:bob@h>", false);
    EXPECT_TRUE(q.url->getUser().isEmpty());
    EXPECT_EQ(text(q.url->getHost()), "p.example.com");
    EXPECT_EQ(q.rest, ", <sip:bob@h>");

    Parsed next = parse(q.rest.substr(2), false);
    EXPECT_EQ(text(next.url->getUser()), "bob");
    EXPECT_EQ(text(next.url->getHost()), "h");
}

TEST(KvSipURL, BlanksAndCarriageReturnsAreDropped) {
    Parsed p = parse("sip: caller @host\r\n", false);
    EXPECT_EQ(text(p.url->getUser()), "caller");
    EXPECT_EQ(text(p.url->getHost()), "host");
    EXPECT_EQ(serialized(p.url), "sip:caller@host");
}

// A tab inside the URL is kept: dropped, it would join two words into another name. Tabs before
// and behind the URL are white space.
TEST(KvSipURL, TabsInsideAreKeptAndAroundAreNot) {
    Parsed p = parse("sip:al\tice@ex\tample.com", false);
    EXPECT_EQ(text(p.url->getUser()), "al\tice");
    EXPECT_EQ(text(p.url->getHost()), "ex\tample.com");
    EXPECT_EQ(serialized(p.url), "sip:al\tice@ex\tample.com");

    Parsed q = parse("\tsip:bob@host\t;tag=1", false);
    EXPECT_EQ(text(q.url->getHost()), "host");
    EXPECT_EQ(q.rest, "tag=1");
    Parsed r = parse("sip:bob@host:5060\t\t, sip:h", false);
    EXPECT_EQ(r.url->getPort(), 5060);
    EXPECT_EQ(r.rest, ", sip:h");
}

TEST(KvSipURL, AUrlReadAgainKeepsNothingOfItsOldText) {
    KvSipURL url("sip:alice:pw@old.example.com:5070;lr?X=1");
    auto stream = kvStreamOf("sip:new.example.com");
    url.parse(*stream);
    EXPECT_TRUE(url.getUser().isNull());
    EXPECT_TRUE(url.getPassword().isNull());
    EXPECT_EQ(text(url.getHost()), "new.example.com");
    EXPECT_FALSE(url.hasPort());
    EXPECT_STREQ(url.serialize().c_str(), "sip:new.example.com");
}

// A second "@" behind a port makes the port a password read after the host: each part still
// keeps its own text.
TEST(KvSipURL, PartsReadOutOfOrderKeepTheirOwnText) {
    Parsed p = parse("sip:al@host:55@example.com", false);
    EXPECT_EQ(text(p.url->getUser()), "al");
    EXPECT_EQ(text(p.url->getPassword()), "55");
    EXPECT_EQ(text(p.url->getHost()), "example.com");
}

TEST(KvSipURL, RefusesWrongSchemesAndMissingHosts) {
    EXPECT_EQ(kvFailureOf([] { parse("sips:caller@host", false); }), "parse: Scheme is not SIP");
    EXPECT_EQ(kvFailureOf([] { parse("sip:@", false); }), "parse: Sip URL wrong format");
    EXPECT_EQ(kvFailureOf([] { parse("sip:", false); }), "parse: Sip URL wrong format");
    EXPECT_EQ(kvFailureOf([] { parse("sip:a@b@c", false); }), "parse: Sip URL wrong format");
    EXPECT_EQ(kvFailureOf([] { parse("<sip:u@>", false); }), "parse: Sip URL wrong format");
}

TEST(KvSipURL, PortsAreCheckedNumbers) {
    EXPECT_EQ(KvSipURL("sip:h:65535").getPort(), 65535);
    EXPECT_EQ(KvSipURL("sip:h:0").getPort(), 0);
    for (const char* bad : {"sip:h:65536", "sip:h:99999999999999999999", "sip:h:50a", "sip:h:-1",
                            "<sip:u@h:+5>", "sip:h:5060:", "sip:h:1:2"})
        EXPECT_EQ(kvFailureOf([&] { KvSipURL url(bad); }), "parse: Sip URL wrong format") << bad;
}

TEST(KvSipURL, IPv6ReferencesKeepTheirColons) {
    Parsed p = parse("sip:[2001:db8::1]:5070", false);
    EXPECT_EQ(text(p.url->getHost()), "[2001:db8::1]");
    EXPECT_EQ(p.url->getPort(), 5070);
    EXPECT_EQ(serialized(p.url), "sip:[2001:db8::1]:5070");

    Parsed q = parse("<sip:alice@[::1];transport=tcp>;tag=2", false);
    EXPECT_EQ(text(q.url->getUser()), "alice");
    EXPECT_EQ(text(q.url->getHost()), "[::1]");
    EXPECT_FALSE(q.url->hasPort());
    EXPECT_EQ(q.url->getTransport(), 1);
    EXPECT_EQ(q.rest, "tag=2");
}

TEST(KvSipURL, UserPartIsKeptAsWritten) {
    // Escapes in the user part and in parameters are kept, so the text round-trips unchanged.
    KvSipURL url("sip:sips%3Auser%40example.com@example.net");
    EXPECT_EQ(text(url.getUser()), "sips%3Auser%40example.com");
    EXPECT_EQ(text(url.getHost()), "example.net");
    EXPECT_EQ(url.serialize(), "sip:sips%3Auser%40example.com@example.net");
}

TEST(KvSipURL, UrlHeadersAreUnescapedAfterSplitting) {
    Parsed p = parse("<sip:u@h?Subject=a%3Db%40c&Priority=urgent>;tag=1", false);
    EXPECT_EQ(header(p.url, "Subject"), "a=b@c");
    EXPECT_EQ(header(p.url, "Priority"), "urgent");
    EXPECT_TRUE(p.url->hasHeaders());
    EXPECT_EQ(p.rest, "tag=1");

    // Entries come back in the list's order, each name and value escaped.
    std::string written = serialized(p.url);
    EXPECT_EQ(written, "sip:u@h?Priority=urgent&Subject=a%3db%40c");
    Parsed again = parse(written, true);
    EXPECT_EQ(header(again.url, "Subject"), "a=b@c");
    EXPECT_EQ(header(again.url, "Priority"), "urgent");

    // ";" is accepted between entries too.
    Parsed semi = parse("sip:u@h?a=1;b=2", true);
    EXPECT_EQ(header(semi.url, "a"), "1");
    EXPECT_EQ(header(semi.url, "b"), "2");
}

TEST(KvSipURL, UrlHeaderEscapesDecodeInEitherCase) {
    EXPECT_EQ(header(parse("sip:u@h?x=a%3ab", true).url, "x"), "a:b");
    EXPECT_EQ(header(parse("sip:u@h?x=a%3Ab", true).url, "x"), "a:b");
    // A "%" without two hexadecimal digits behind it is an ordinary character.
    EXPECT_EQ(header(parse("sip:u@h?x=100%", true).url, "x"), "100%");
    EXPECT_EQ(header(parse("sip:u@h?x=%4", true).url, "x"), "%4");
    EXPECT_EQ(header(parse("sip:u@h?x=%zz1", true).url, "x"), "%zz1");
    EXPECT_EQ(header(parse("sip:u@h?x=%g1%41", true).url, "x"), "%g1A");

    KvHandle<KvSipURL> url = parse("sip:u@h?x=100%25%20%", true).url;
    EXPECT_EQ(header(url, "x"), "100% %");
    EXPECT_EQ(serialized(url), "sip:u@h?x=100%25%20%25");
}

// Peers that escape the "=" and ";" between names and values too are read as well: an entry
// without a raw "=" is split where its decoded text has them.
TEST(KvSipURL, UrlHeadersWithEscapedDelimitersAreRead) {
    EXPECT_EQ(header(parse("sip:u@h?Subject%3Dlunch", true).url, "Subject"), "lunch");
    KvHandle<KvSipURL> url = parse("sip:u@h?h%3Dv%3Bk%3Dw&x=a%3Db%3Bc", true).url;
    EXPECT_EQ(header(url, "h"), "v");
    EXPECT_EQ(header(url, "k"), "w");
    EXPECT_EQ(header(url, "x"), "a=b;c");
    EXPECT_EQ(url->getHeaders()->getCount(), 3u);
    EXPECT_EQ(serialized(url), "sip:u@h?x=a%3db%3bc&k=w&h=v");

    const char* expected = "other: Header doesn't have Key/Value pair\n";
    EXPECT_EQ(kvFailureOf([] { parse("sip:u@h?h%3Dv%3Bk", true); }), expected);
    EXPECT_EQ(kvFailureOf([] { parse("sip:u@h?h%3D", true); }), expected);
}

// A value that holds a NUL would be cut short where it is used: the URL is refused.
TEST(KvSipURL, AnEscapedNulInAUrlHeaderIsRefused) {
    EXPECT_EQ(kvFailureOf([] { parse("sip:u@h?Subject=abc%00def", true); }),
              "parse: NUL in URL header");
    KvHandle<KvSipMessage> message =
        kvParseMessage("REGISTER sip:h SIP/2.0\r\nVia: SIP/2.0/UDP h;branch=z9hG4bK1\r\n"
                       "To: <sip:a@h>\r\nFrom: <sip:a@h>;tag=1\r\nCall-ID: 1\r\n"
                       "CSeq: 1 REGISTER\r\nContact: <sip:a@h?Subject=abc%00def>\r\n\r\n");
    EXPECT_EQ(message->getParseState(), KV_MALFORMED);
    EXPECT_TRUE(message->getContactHeader().isNull());
}

TEST(KvSipURL, UrlHeaderEntriesNeedKeyAndValue) {
    const char* expected = "other: Header doesn't have Key/Value pair\n";
    EXPECT_EQ(kvFailureOf([] { parse("sip:u@h?=v", true); }), expected);
    EXPECT_EQ(kvFailureOf([] { parse("sip:u@h?k=", true); }), expected);
    EXPECT_EQ(kvFailureOf([] { parse("sip:u@h?", true); }), expected);
}

TEST(KvSipURL, LongEscapedValuesAreWrittenWhole) {
    std::string value(1000, '<');
    std::string escaped;
    for (size_t i = 0; i < value.size(); ++i)
        escaped += "%3C";
    KvHandle<KvSipURL> url = parse("sip:u@h?X=" + escaped, true).url;
    EXPECT_EQ(header(url, "X"), value);
    std::string written = serialized(url);
    EXPECT_EQ(written.size(), std::string("sip:u@h?X=").size() + 3 * value.size());
    EXPECT_EQ(header(parse(written, true).url, "X"), value);
}

TEST(KvSipURL, OverlongTextIsRefused) {
    std::string user(1100, 'u');
    EXPECT_EQ(kvFailureOf([&] { parse("sip:" + user + "@h", false); }),
              "parse: Invalid SIP URL - Buffer overflow");
    std::string value(1100, 'v');
    EXPECT_EQ(kvFailureOf([&] { parse("sip:u@h?k=" + value, true); }),
              "parse: Invalid SIP URL - Buffer overflow");
}

TEST(KvSipURL, CopiesHaveTheirOwnLists) {
    KvHandle<KvSipURL> url(new KvSipURL("sip:u@h;maddr=10.0.0.9;lr?a=b"));
    EXPECT_EQ(text(url->getMaddr()), "10.0.0.9");
    KvHandle<KvSipURL> copy(static_cast<KvSipURL*>(url->clone()));
    EXPECT_TRUE(copy->isSipURL());
    copy->removeParameter("maddr");
    copy->getHeaders()->removeAll();
    EXPECT_TRUE(copy->getMaddr().isEmpty());
    EXPECT_EQ(text(url->getMaddr()), "10.0.0.9");
    EXPECT_TRUE(url->hasHeaders());
    EXPECT_EQ(serialized(copy), "sip:u@h;lr");
}

TEST(KvSipURL, TortureRequestUris) {
    KV_REQUIRE_CORPUS();
    std::string esc01 = requestUri(kvCorpusFile("rfc4475/esc01.dat"));
    ASSERT_EQ(esc01, "sip:sips%3Auser%40example.com@example.net");
    Parsed p = parse(esc01 + "\r\n", true);
    EXPECT_EQ(text(p.url->getUser()), "sips%3Auser%40example.com");
    EXPECT_EQ(serialized(p.url), esc01);

    std::string semiuri = requestUri(kvCorpusFile("rfc4475/semiuri.dat"));
    ASSERT_EQ(semiuri, "sip:user;par=u%40example.net@example.com");
    Parsed q = parse(semiuri + "\r\n", true);
    EXPECT_EQ(text(q.url->getUser()), "user;par=u%40example.net");
    EXPECT_EQ(text(q.url->getHost()), "example.com");
    EXPECT_FALSE(q.url->hasParameters());
    EXPECT_EQ(serialized(q.url), semiuri);
}

TEST(KvSipURL, TortureContactUrls) {
    KV_REQUIRE_CORPUS();
    std::string contact = kvUnfoldedValue(kvCorpusFile("rfc4475/esc01.dat"), "Contact");
    Parsed p = parse(contact + "\r\n", false);
    ASSERT_FALSE(p.url.isNull());
    EXPECT_EQ(text(p.url->getUser()), "cal%6Cer");
    EXPECT_EQ(text(p.url->getHost()), "host5.example.net");
    EXPECT_TRUE(p.url->getParameters()->hasParameter("%6C%72"));
    EXPECT_EQ(text(p.url->getParameters()->getParameter("n%61me")), "v%61lue%25%34%31");
    Parsed again = parse(serialized(p.url), true);
    EXPECT_EQ(text(again.url->getUser()), "cal%6Cer");
    EXPECT_EQ(again.url->getParameterCount(), 2u);
    EXPECT_EQ(text(again.url->getParameters()->getParameter("n%61me")), "v%61lue%25%34%31");

    std::string regescrt = kvUnfoldedValue(kvCorpusFile("rfc4475/regescrt.dat"), "M");
    ASSERT_EQ(regescrt, " <sip:user@example.com?Route=%3Csip:sip.example.com%3E>");
    Parsed r = parse(regescrt + "\r\n", false);
    EXPECT_EQ(text(r.url->getHost()), "example.com");
    EXPECT_EQ(header(r.url, "Route"), "<sip:sip.example.com>");
    std::string written = serialized(r.url);
    EXPECT_EQ(written.find('<'), std::string::npos);
    EXPECT_EQ(header(parse("<" + written + ">", false).url, "Route"), "<sip:sip.example.com>");
}

// Cut and spliced addresses either parse or fail with a stack exception; none reads out of bounds.
TEST(KvSipURL, DamagedTextFailsCleanly) {
    const char* seeds[] = {
        "<sip:alice:pw@[2001:db8::1]:5070;transport=tcp;lr?Subject=a%3Db&X=%zz>;tag=1",
        "sip:user;par=u%40example.net@example.com;maddr=\"a;b\"?h=v",
        "\"Bob \\\"B\\\"\" <sip:b@h>, <tel:+1;ext=2>, <urn:x:y>",
        "tel:7042;phone-context=example.com",
    };
    const char specials[] = "<>\"@:;,?=&%[]\\ \r\n";
    for (const char* seed : seeds) {
        std::string text(seed);
        std::vector<std::string> inputs;
        for (size_t cut = 0; cut <= text.size(); ++cut) {
            inputs.push_back(text.substr(0, cut));
            for (const char* s = specials; *s; ++s)
                inputs.push_back(text.substr(0, cut) + *s + text.substr(cut));
        }
        for (const std::string& input : inputs) {
            for (bool own : {false, true}) {
                try {
                    Parsed p = parse(input, own);
                    (void)p.uri->serialize();
                } catch (KvHandle<KvException>&) {
                }
            }
        }
    }
}

TEST(KvSipURL, ListsMadeOnFirstUseAreKeptAndOwn) {
    Parsed p = parse("sip:alice@atlanta.com", true);
    EXPECT_FALSE(p.url->hasParameters());
    EXPECT_TRUE(p.url->hasNoHeaders());
    KvHandle<KvParameters> parameters = p.url->getParameters();
    parameters->setParameter("lr", "");
    EXPECT_EQ(p.url->getParameters().get(), parameters.get());
    p.url->getHeaders()->setParameter("Subject", "hi");
    EXPECT_EQ(serialized(p.url), "sip:alice@atlanta.com;lr?Subject=hi");
    KvHandle<KvSipURL> copy(static_cast<KvSipURL*>(p.url->clone()));
    copy->getParameters()->removeAll();
    copy->getHeaders()->removeAll();
    EXPECT_EQ(serialized(copy), "sip:alice@atlanta.com");
    EXPECT_EQ(serialized(p.url), "sip:alice@atlanta.com;lr?Subject=hi");
}

TEST(KvSipURL, ThreadsAskingForAnUnmadeListShareOne) {
    for (int round = 0; round < 50; ++round) {
        Parsed p = parse("sip:bob@biloxi.com", true);
        const KvSipURL& url = *p.url;
        KvParameters* seen[2] = {};
        std::thread other([&] { seen[0] = url.getHeaders().get(); });
        seen[1] = url.getHeaders().get();
        other.join();
        EXPECT_EQ(seen[0], seen[1]);
        EXPECT_FALSE(url.hasHeaders());
    }
}
