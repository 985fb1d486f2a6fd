// From, To, Contact, Route and Record-Route.
#include "KvException.h"
#include "KvParameters.h"
#include "KvSipContactHeader.h"
#include "KvSipFromHeader.h"
#include "KvSipParseError.h"
#include "KvSipRecordRouteHeader.h"
#include "KvSipRouteHeader.h"
#include "KvSipToHeader.h"
#include "KvSipURL.h"
#include "support/KvCorpus.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string text(const KvString& s) {
    return s.c_str();
}

KvHandle<KvSipNameAddress> addressOf(const char* text) {
    return KvHandle<KvSipNameAddress>(new KvSipNameAddress(text));
}

} // namespace

TEST(KvSipAddressHeader, NamesIdsAndRegistration) {
    KvHandle<KvSipHeader> from = KvSipHeader::createHeader("f");
    EXPECT_NE(dynamic_cast<KvSipFromHeader*>(from.get()), nullptr);
    EXPECT_EQ(from->getId(), KV_HEADER_FROM);
    EXPECT_EQ(text(from->getToken()), "From");
    EXPECT_EQ(text(from->getCompactToken()), "f");
    EXPECT_EQ(KvSipHeader::createHeader("T")->getId(), KV_HEADER_TO);
    EXPECT_EQ(KvSipHeader::createHeader("m")->getId(), KV_HEADER_CONTACT);
    EXPECT_EQ(KvSipHeader::createHeader("contact")->getId(), KV_HEADER_CONTACT);
    KvHandle<KvSipHeader> route = KvSipHeader::createHeader("ROUTE");
    EXPECT_EQ(route->getId(), KV_HEADER_ROUTE);
    EXPECT_EQ(text(route->getCompactToken()), "Route");
    KvHandle<KvSipHeader> recordRoute = KvSipHeader::createHeader("Record-Route");
    EXPECT_EQ(recordRoute->getId(), KV_HEADER_RECORD_ROUTE);
    EXPECT_EQ(text(recordRoute->getCompactToken()), "Record-Route");

    auto compact = kvParseChain<KvSipFromHeader>("f: <sip:a@h>;tag=1\r\n");
    ASSERT_EQ(compact.size(), 1u);
    EXPECT_EQ(text(compact[0]->getName()), "f");
    EXPECT_EQ(text(compact[0]->getTag()), "1");
}

TEST(KvSipAddressHeader, FromStripsWhatAFromMayNotCarry) {
    auto from = kvParseChain<KvSipFromHeader>(
        "From: <sip:alice@h;transport=tcp;maddr=10.0.0.1;ttl=5;lr?Subject=x>;tag=abc\r\n");
    ASSERT_EQ(from.size(), 1u);
    EXPECT_EQ(text(from[0]->getTag()), "abc");
    KvHandle<KvSipURL> url = from[0]->getNameAddress()->getSipURL();
    EXPECT_EQ(url->getParameterCount(), 1u);
    EXPECT_TRUE(url->getParameters()->hasParameter("lr"));
    EXPECT_FALSE(url->hasHeaders());
    EXPECT_EQ(kvSerialized(from[0]), "<sip:alice@h;lr>;tag=abc");

    // Without URL parameters the URL headers stay.
    auto to = kvParseChain<KvSipToHeader>("To: <sip:bob@h?Subject=x>\r\n");
    EXPECT_TRUE(to[0]->getNameAddress()->getSipURL()->hasHeaders());
    EXPECT_EQ(kvSerialized(to[0]), "<sip:bob@h?Subject=x>");
}

TEST(KvSipAddressHeader, FromAndToNeedAUri) {
    KvHandle<KvSipNameAddress> noUri(new KvSipNameAddress("Bob", KvHandle<KvURI>()));
    EXPECT_EQ(kvFailureOf([&] { KvSipFromHeader from(noUri, nullptr); }),
              "parse: Invalid From header");
    EXPECT_EQ(kvFailureOf([&] { KvSipToHeader to(noUri, nullptr); }), "parse: Invalid To header");

    // Null handles give empty objects.
    KvHandle<KvSipFromHeader> from(new KvSipFromHeader(nullptr, nullptr));
    EXPECT_FALSE(from->getNameAddress().isNull());
    EXPECT_FALSE(from->getParameters().isNull());
}

TEST(KvSipAddressHeader, BuiltHeadersCloneWhatTheyAreGiven) {
    KvHandle<KvSipNameAddress> address = addressOf("sip:alice@example.com");
    KvHandle<KvParameters> parameters(new KvParameters());
    parameters->setParameter("tag", "t1");
    KvHandle<KvSipFromHeader> from(new KvSipFromHeader(address, parameters));
    EXPECT_NE(from->getNameAddress().get(), address.get());
    EXPECT_NE(from->getParameters().get(), parameters.get());
    EXPECT_EQ(text(from->getName()), "From");
    EXPECT_EQ(kvSerialized(from), "sip:alice@example.com;tag=t1");

    KvHandle<KvSipFromHeader> copy(static_cast<KvSipFromHeader*>(from->clone()));
    copy->setTag("t2");
    EXPECT_EQ(text(from->getTag()), "t1");
    EXPECT_EQ(text(copy->getTag()), "t2");
    EXPECT_EQ(copy->getId(), KV_HEADER_FROM);
    EXPECT_EQ(text(copy->getURIString()), "sip:alice@example.com");
}

TEST(KvSipAddressHeader, SetTagAddsBracketsAndIgnoresEmptyTags) {
    KvHandle<KvURI> uri(new KvSipURL("sip:bob@h"));
    KvHandle<KvSipNameAddress> plain(new KvSipNameAddress("", uri));
    KvHandle<KvSipToHeader> to(new KvSipToHeader(plain, nullptr));
    EXPECT_EQ(kvSerialized(to), "sip:bob@h");
    to->setTag("");
    to->setTag(nullptr);
    EXPECT_EQ(kvSerialized(to), "sip:bob@h");
    EXPECT_TRUE(to->getTag().isEmpty());
    to->setTag("9");
    EXPECT_EQ(kvSerialized(to), "<sip:bob@h>;tag=9");
    to->setTag("10");
    EXPECT_EQ(kvSerialized(to), "<sip:bob@h>;tag=10");
}

TEST(KvSipAddressHeader, ToFromText) {
    KvHandle<KvSipToHeader> to(new KvSipToHeader("\"Bob\" <sip:bob@h;maddr=x>;tag=5\r\n"));
    EXPECT_EQ(text(to->getTag()), "5");
    EXPECT_FALSE(to->getNameAddress()->getSipURL()->hasParameters());
    EXPECT_EQ(kvSerialized(to), "\"Bob\" <sip:bob@h>;tag=5");
    EXPECT_EQ(kvFailureOf([] { KvSipToHeader bad("Bob\r\n"); }), "parse: URL not specified");
}

TEST(KvSipAddressHeader, ParametersBehindTheAddress) {
    auto bare = kvParseChain<KvSipFromHeader>("From: sip:caller@example.org;tag=33242\r\n");
    EXPECT_EQ(text(bare[0]->getTag()), "33242");
    EXPECT_EQ(kvSerialized(bare[0]), "sip:caller@example.org;tag=33242");

    auto spaced = kvParseChain<KvSipFromHeader>("From: <tel:+1> ; tag=8\r\n");
    EXPECT_EQ(spaced[0]->getParameters()->getCount(), 1u);
    EXPECT_EQ(kvSerialized(spaced[0]), "<tel:+1>;tag=8");

    auto none = kvParseChain<KvSipFromHeader>("From: Alice <sip:alice@h>\r\n");
    EXPECT_EQ(kvSerialized(none[0]), "Alice <sip:alice@h>");
}

TEST(KvSipAddressHeader, ContactWildcard) {
    auto contact = kvParseChain<KvSipContactHeader>("Contact: *\r\n");
    ASSERT_EQ(contact.size(), 1u);
    EXPECT_TRUE(contact[0]->isWildcard());
    EXPECT_EQ(contact[0]->getParameters()->getCount(), 0u);
    EXPECT_EQ(kvSerialized(contact[0]), "*");
    KvHandle<KvSipContactHeader> copy(static_cast<KvSipContactHeader*>(contact[0]->clone()));
    EXPECT_TRUE(copy->isWildcard());
}

TEST(KvSipAddressHeader, AnUnmadeParameterListIsSharedAndNotCopied) {
    for (int round = 0; round < 50; ++round) {
        auto contact = kvParseChain<KvSipContactHeader>("Contact: <sip:a@h>\r\n");
        const KvSipContactHeader& header = *contact[0];
        KvParameters* seen[2] = {};
        std::thread other([&] { seen[0] = header.getParameters().get(); });
        seen[1] = header.getParameters().get();
        other.join();
        ASSERT_NE(seen[0], nullptr);
        EXPECT_EQ(seen[0], seen[1]);
    }
    auto to = kvParseChain<KvSipToHeader>("To: <sip:b@h>\r\n");
    KvHandle<KvSipToHeader> copy(static_cast<KvSipToHeader*>(to[0]->clone()));
    to[0]->getParameters()->setParameter("x", "1");
    EXPECT_EQ(kvSerialized(to[0]), "<sip:b@h>;x=1");
    EXPECT_EQ(copy->getParameters()->getCount(), 0u);
    EXPECT_NE(copy->getParameters().get(), to[0]->getParameters().get());
    KvHandle<KvSipToHeader> filled(static_cast<KvSipToHeader*>(to[0]->clone()));
    filled->getParameters()->removeAll();
    EXPECT_EQ(kvSerialized(to[0]), "<sip:b@h>;x=1");
}

TEST(KvSipAddressHeader, ContactListsMakeSiblings) {
    auto bracketed = kvParseChain<KvSipContactHeader>(
        "Contact: <sip:a@h1>;expires=60, \"B\" <sip:b@h2;transport=tcp>;q=0.5\r\n");
    ASSERT_EQ(bracketed.size(), 2u);
    EXPECT_EQ(text(bracketed[0]->getParameter("expires")), "60");
    EXPECT_EQ(text(bracketed[0]->getSipURL()->getHost()), "h1");
    EXPECT_EQ(text(bracketed[1]->getName()), "Contact");
    EXPECT_EQ(text(bracketed[1]->getParameter("q")), "0.5");
    EXPECT_EQ(bracketed[1]->getSipURL()->getTransport(), 1);
    EXPECT_TRUE(bracketed[1]->getParameter("expires").isEmpty());

    auto bare = kvParseChain<KvSipContactHeader>("m: sip:a@h1;expires=60, sip:h2\r\n");
    ASSERT_EQ(bare.size(), 2u);
    EXPECT_EQ(text(bare[0]->getParameter("expires")), "60");
    EXPECT_EQ(text(bare[1]->getSipURL()->getHost()), "h2");
}

TEST(KvSipAddressHeader, ContactBuiltFromAddressOrText) {
    KvHandle<KvSipContactHeader> built(new KvSipContactHeader(addressOf("sip:me@10.0.0.2:5062")));
    EXPECT_EQ(kvSerialized(built), "sip:me@10.0.0.2:5062");
    EXPECT_FALSE(built->isWildcard());
    EXPECT_TRUE(built->getComment().isEmpty());

    KvHandle<KvSipContactHeader> fromText(
        new KvSipContactHeader("<sip:me@10.0.0.2>;expires=3600\r\n"));
    EXPECT_EQ(text(fromText->getParameter("expires")), "3600");
    EXPECT_EQ(kvSerialized(fromText), "<sip:me@10.0.0.2>;expires=3600");

    KvHandle<KvSipContactHeader> other(new KvSipContactHeader("<tel:+1>\r\n"));
    EXPECT_TRUE(other->getSipURL().isNull());

    KvHandle<KvSipContactHeader> empty(new KvSipContactHeader(KvHandle<KvSipNameAddress>()));
    EXPECT_FALSE(empty->getNameAddress().isNull());
}

TEST(KvSipAddressHeader, RouteKeepsOnlyTheAddress) {
    auto route = kvParseChain<KvSipRouteHeader>("Route: <sip:p1.example.com;lr>;foo=bar\r\n");
    ASSERT_EQ(route.size(), 1u);
    EXPECT_TRUE(route[0]->getParameters().isNull());
    EXPECT_TRUE(route[0]->getNameAddress()->getSipURL()->getParameters()->hasParameter("lr"));
    EXPECT_EQ(kvSerialized(route[0]), "<sip:p1.example.com;lr>");

    KvHandle<KvSipRouteHeader> null(new KvSipRouteHeader(KvHandle<KvSipNameAddress>()));
    EXPECT_TRUE(null->getNameAddress().isNull());
    EXPECT_EQ(kvSerialized(null), "");
    KvHandle<KvSipRouteHeader> nullCopy(static_cast<KvSipRouteHeader*>(null->clone()));
    EXPECT_TRUE(nullCopy->getNameAddress().isNull());

    KvHandle<KvSipRouteHeader> fromText(new KvSipRouteHeader("<sip:10.0.0.1;lr>"));
    EXPECT_EQ(kvSerialized(fromText), "<sip:10.0.0.1;lr>");
}

TEST(KvSipAddressHeader, RouteListsReadEachAddress) {
    for (const char* line : {"Route: <sip:10.0.0.1:5060;lr>, <sip:bob@h>\r\n",
                             "Route: <sip:p.example.com;lr>,<sip:bob@h>\r\n"}) {
        auto route = kvParseChain<KvSipRouteHeader>(line);
        ASSERT_EQ(route.size(), 2u) << line;
        KvHandle<KvSipURL> first = route[0]->getNameAddress()->getSipURL();
        EXPECT_TRUE(first->getUser().isEmpty()) << line;
        EXPECT_TRUE(first->getParameters()->hasParameter("lr")) << line;
        EXPECT_EQ(text(route[1]->getNameAddress()->getSipURL()->getUser()), "bob") << line;
    }
    auto recordRoute = kvParseChain<KvSipRecordRouteHeader>(
        "Record-Route: <sip:[2001:db8::7]:5070;lr>, <sip:p2.example.com;lr>\r\n");
    ASSERT_EQ(recordRoute.size(), 2u);
    EXPECT_EQ(kvSerialized(recordRoute[0]), "<sip:[2001:db8::7]:5070;lr>");
    EXPECT_EQ(kvSerialized(recordRoute[1]), "<sip:p2.example.com;lr>");
}

TEST(KvSipAddressHeader, RouteFailuresNameTheClass) {
    KvHandle<KvSipRouteHeader> route(new KvSipRouteHeader());
    auto stream = kvStreamOf("<sips:x@h>\r\n");
    EXPECT_EQ(kvFailureOf([&] { route->doParse(*stream); }),
              "parse: Invalid Name-Address in KvSipRouteHeader");
    KvHandle<KvSipRecordRouteHeader> recordRoute(new KvSipRecordRouteHeader());
    auto other = kvStreamOf("\"open\r\n");
    EXPECT_EQ(kvFailureOf([&] { recordRoute->doParse(*other); }),
              "parse: Invalid Name-Address in KvSipRecordRouteHeader");
}

TEST(KvSipAddressHeader, TortureAddresses) {
    KV_REQUIRE_CORPUS();
    auto to = kvParseChain<KvSipToHeader>(kvCorpusHeaderLine("wsinv.dat", "TO"));
    ASSERT_EQ(to.size(), 1u);
    EXPECT_EQ(text(to[0]->getTag()), "1918181833n");
    EXPECT_EQ(text(to[0]->getURIString()), "sip:vivekg@chair-dnrc.example.com");

    auto from = kvParseChain<KvSipFromHeader>(kvCorpusHeaderLine("wsinv.dat", "from"));
    ASSERT_EQ(from.size(), 1u);
    EXPECT_EQ(text(from[0]->getTag()), "98asjd8");
    EXPECT_EQ(kvSerialized(from[0]),
              "\"J Rosenberg \\\\\\\"\" <sip:jdrosen@example.com>;tag=98asjd8");

    auto contact = kvParseChain<KvSipContactHeader>(kvCorpusHeaderLine("wsinv.dat", "m:"));
    ASSERT_EQ(contact.size(), 1u);
    EXPECT_EQ(text(contact[0]->getParameter("newparam")), "newvalue");
    EXPECT_TRUE(contact[0]->getParameters()->hasParameter("secondparam"));
    EXPECT_EQ(text(contact[0]->getParameter("q")), "0.33");

    auto route = kvParseChain<KvSipRouteHeader>(kvCorpusHeaderLine("wsinv.dat", "Route"));
    ASSERT_EQ(route.size(), 1u);
    EXPECT_EQ(route[0]->getNameAddress()->getSipURL()->getParameterCount(), 3u);

    auto lwsdisp = kvParseChain<KvSipFromHeader>(kvCorpusHeaderLine("lwsdisp.dat", "From"));
    EXPECT_EQ(text(lwsdisp[0]->getTag()), "323");
    EXPECT_EQ(kvSerialized(lwsdisp[0]), "caller <sip:caller@example.com>;tag=323");

    auto esc01 = kvParseChain<KvSipContactHeader>(kvCorpusHeaderLine("esc01.dat", "Contact"));
    EXPECT_EQ(text(esc01[0]->getSipURL()->getUser()), "cal%6Cer");

    auto regescrt = kvParseChain<KvSipContactHeader>(kvCorpusHeaderLine("regescrt.dat", "M:"));
    const char* route0 = regescrt[0]->getSipURL()->getHeaders()->getParameterText("Route");
    ASSERT_NE(route0, nullptr);
    EXPECT_STREQ(route0, "<sip:sip.example.com>");

    std::string quotbal = kvCorpusHeaderLine("quotbal.dat", "To");
    EXPECT_EQ(kvFailureOf([&] { kvParseHeader(quotbal); }),
              "parse: Invalid quote in KvSipNameAddress");
}

// Every address header line of the torture messages, whole and cut short, parses or fails with a
// stack exception.
TEST(KvSipAddressHeader, EveryTortureAddressLineFailsCleanlyIfAtAll) {
    KV_REQUIRE_CORPUS();
    const std::string names[] = {"from", "f", "to", "t", "contact", "m", "route", "record-route"};
    size_t seen = 0;
    for (const KvCorpusMessage& corpus : kvCorpusMessages({"rfc4475"})) {
        const std::string& message = corpus.text;
        std::string headers = message.substr(0, message.find("\r\n\r\n") + 2);
        size_t start = headers.find("\r\n") + 2;
        while (start < headers.size()) {
            size_t end = start;
            do {
                end = headers.find("\r\n", end) + 2;
            } while (end < headers.size() && (headers[end] == ' ' || headers[end] == '\t'));
            std::string line = headers.substr(start, end - start);
            start = end;
            std::string name = line.substr(0, line.find(':'));
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
                name.pop_back();
            for (char& c : name)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (std::find(std::begin(names), std::end(names), name) == std::end(names))
                continue;
            ++seen;
            for (size_t cut = line.size(); cut > name.size(); --cut) {
                try {
                    KvHandle<KvSipHeader> h = kvParseHeader(line.substr(0, cut));
                    for (; !h.isNull(); h = h->getNext()) {
                        KvStringOutputStream out;
                        h->serialize(out);
                    }
                } catch (KvHandle<KvException>&) {
                }
            }
        }
    }
    EXPECT_GT(seen, 100u);
}
