// The RFC 4475 torture messages and the bench messages, read from the shared corpus at run time.
#include "KvException.h"
#include "KvSipHeaders.h"
#include "KvSipMessage.h"
#include "KvSipRequest.h"
#include "KvSipResponse.h"
#include "KvSipURL.h"
#include "KvSipUnknownRequest.h"
#include "support/KvCorpus.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace {

std::string rfc4475(const std::string& name) {
    return kvCorpusFile("rfc4475/" + name + ".dat");
}

std::string valueOf(const KvHandle<KvSipHeader>& header) {
    return header.isNull() ? "(none)" : kvSerialized(header);
}

// Header lines with the ";" parameters of each value in a fixed order (angle brackets aside): a
// parameter list writes its pairs in the reverse order of reading, so a round trip may turn them
// around.
std::vector<std::string> normalizedLines(const KvSipMessage& message) {
    std::vector<std::string> lines = kvHeaderLines(message);
    for (std::string& line : lines) {
        line.erase(
            std::remove_if(line.begin(), line.end(), [](char c) { return c == '<' || c == '>'; }),
            line.end());
        std::vector<std::string> parts;
        size_t start = 0;
        for (size_t semi; (semi = line.find(';', start)) != std::string::npos; start = semi + 1)
            parts.push_back(line.substr(start, semi - start));
        parts.push_back(line.substr(start));
        std::sort(parts.begin() + 1, parts.end());
        line.clear();
        for (const std::string& part : parts)
            line += part + ";";
    }
    return lines;
}

size_t chainLength(const KvSipMessage& message, KvSipHeaderId id) {
    size_t n = 0;
    for (KvHandle<KvSipHeader> h = message.getHeader(id); !h.isNull(); h = h->getNext())
        ++n;
    return n;
}

std::string requestURI(const KvHandle<KvSipMessage>& message) {
    KvHandle<KvSipRequest> request(message);
    return request->getRequestURI().isNull() ? "(null)"
                                             : request->getRequestURI()->serialize().c_str();
}

// What the stack makes of each message, and why. The RFC's classes are in the corpus README.
struct Expectation {
    const char* file;
    int32_t state;
    const char* why;
};

const Expectation kExpectations[] = {
    // Valid, well-formed (RFC 4475 3.1.1).
    {"wsinv", KV_VALID, "folding, odd case and white space are all read"},
    {"intmeth", -1, "refused: the method token is longer than the 31 characters the parser holds"},
    {"esc01", KV_VALID, "escapes are kept as written"},
    {"escnull", KV_VALID, "escaped NULs are kept as written"},
    {"esc02", KV_VALID,
     "an escaped method is an unknown method; an escaped name an unknown header"},
    {"lwsdisp", KV_VALID, "no white space between display name and <"},
    {"longreq", KV_MALFORMED,
     "a header name longer than the 47 characters the parser holds: that "
     "line is refused, everything else is read"},
    {"dblreq", KV_VALID, "Content-Length 0: the second request behind it is not read"},
    {"semiuri", KV_VALID, "a ; in the user part"},
    {"transports", KV_VALID, "any transport token in Via"},
    {"mpart01", KV_VALID, "a multipart body of Content-Length bytes"},
    {"unreason", KV_VALID, "UTF-8 in the reason phrase"},
    {"noreason", KV_VALID, "an empty reason phrase is legal"},
    // Invalid, malformed (3.1.2).
    {"badinv01", KV_MALFORMED, "a Via with empty list elements is refused"},
    {"clerr", KV_MALFORMED, "Content-Length larger than the body"},
    {"ncl", KV_MALFORMED, "a negative Content-Length is no number"},
    {"scalar02", KV_MALFORMED, "CSeq and Expires values beyond 32 bits are refused"},
    {"scalarlg", KV_MALFORMED, "CSeq and Retry-After values beyond 32 bits are refused"},
    {"quotbal", KV_MALFORMED, "an unterminated quoted display name"},
    {"ltgtruri", KV_VALID, "accepted: angle brackets around the request-URI are dropped"},
    {"lwsruri", KV_VALID, "accepted: the URL parser drops blanks, so '; lr' is the parameter lr"},
    {"lwsstart", KV_VALID, "accepted: extra blanks in the request line are dropped"},
    {"trws", KV_VALID, "accepted: blanks after the version are dropped"},
    {"regbadct", KV_VALID, "accepted: the bare Contact URI keeps its URL header"},
    {"badaspec", KV_VALID, "accepted: the URL parser drops blanks inside < >"},
    {"baddn", KV_VALID, "accepted: the display name is read up to <, comma included"},
    {"badvers", 505, "SIP/7.0 is answered with 505"},
    {"mismatch01", KV_INVALID, "the CSeq method differs from the request method"},
    {"mismatch02", KV_INVALID, "the CSeq method differs from the unknown request method"},
    {"bigcode", KV_INVALID, "a status code beyond 699 (and beyond 32 bits) is never wrapped"},
    // Transaction-layer semantics (3.2): the syntax is fine.
    {"badbranch", KV_VALID, "a branch without the magic cookie is the transaction layer's affair"},
    // Application-layer semantics (3.3).
    {"insuf", KV_INVALID, "To, From, Call-ID and Max-Forwards are missing"},
    {"unkscm", 416, "an unknown request-URI scheme is answered with 416"},
    {"novelsc", 416, "an unknown request-URI scheme is answered with 416"},
    {"unksm2", KV_VALID, "unknown schemes in To, From and Contact are kept as generic URIs"},
    {"bext01", KV_VALID, "unknown option tags are the application's affair"},
    {"invut", KV_VALID, "an unknown body type is the application's affair"},
    {"regaut01", KV_MALFORMED, "the Authorization header knows only the Digest scheme"},
    {"multi01", KV_INVALID, "two To, From, CSeq and Call-ID headers"},
    {"mcl01", KV_INVALID, "two Content-Length headers"},
    {"bcast", KV_VALID, "a broadcast received address is the transport's affair"},
    {"zeromf", KV_VALID, "Max-Forwards 0 is the proxy's affair"},
    {"cparam01", KV_VALID, "Contact parameters"},
    {"cparam02", KV_VALID, "Contact parameters with a display name"},
    {"regescrt", KV_VALID, "an escaped header in a Contact URL"},
    {"sdp01", KV_VALID, "an Accept the body does not match is the application's affair"},
    // Backward compatibility (3.4).
    {"inv2543", KV_VALID, "an RFC 2543 INVITE"},
};

} // namespace

TEST(KvSipCorpus, EveryMessageGetsTheStateItsFaultCallsFor) {
    KV_REQUIRE_CORPUS();
    for (const Expectation& expected : kExpectations) {
        SCOPED_TRACE(std::string(expected.file) + ": " + expected.why);
        const std::string text = rfc4475(expected.file);
        ASSERT_FALSE(text.empty());
        if (expected.state < 0) {
            EXPECT_THROW(kvParseMessage(text), KvHandle<KvException>);
            continue;
        }
        KvHandle<KvSipMessage> message = kvParseMessage(text);
        EXPECT_EQ(message->getParseState(), expected.state);
        // Whatever the state, what was read can be written.
        if (message->isResponse() || !KvHandle<KvSipRequest>(message)->getRequestURI().isNull()) {
            EXPECT_FALSE(kvSerialized(message).empty());
        }
    }
}

TEST(KvSipCorpus, ValidMessagesReadBackAsTheRfcStatesThem) {
    KV_REQUIRE_CORPUS();
    KvHandle<KvSipMessage> wsinv = kvParseMessage(rfc4475("wsinv"));
    EXPECT_TRUE(KvHandle<KvSipRequest>(wsinv)->getMethod() == "INVITE");
    EXPECT_EQ(requestURI(wsinv), "sip:vivekg@chair-dnrc.example.com;unknownparam");
    EXPECT_STREQ(wsinv->getCallIdHeader()->getCallIdText(), "wsinv.ndaksdj@192.0.2.1");
    EXPECT_EQ(wsinv->getCSeqHeader()->getNumber(), 9u);
    EXPECT_STREQ(wsinv->getCSeqHeader()->getMethod(), "INVITE");
    EXPECT_TRUE(wsinv->getToHeader()->getTag() == "1918181833n");
    EXPECT_TRUE(wsinv->getFromHeader()->getTag() == "98asjd8");
    EXPECT_EQ(valueOf(wsinv->getHeader(KV_HEADER_MAX_FORWARDS)), "68");
    EXPECT_EQ(chainLength(*wsinv, KV_HEADER_VIA), 3u);
    EXPECT_TRUE(wsinv->getViaHeader()->getBranch() == "390skdjuw");
    EXPECT_TRUE(KvHandle<KvSipViaHeader>(wsinv->getViaHeader()->getNext())->getBranch() ==
                "z9hG4bK9ikj8");
    EXPECT_EQ(valueOf(wsinv->findHeader("NewFangledHeader")),
              "newfangled value continued newfangled value");
    EXPECT_EQ(valueOf(wsinv->findHeader("UnknownHeaderWithUnusualValue")), ";;,,;;,;");
    EXPECT_EQ(wsinv->getContentLength(), 150u);
    EXPECT_EQ(wsinv->getBodyLength(), 150u);
    EXPECT_TRUE(wsinv->getContactHeader()->getParameter("q") == "0.33");

    KvHandle<KvSipMessage> esc01 = kvParseMessage(rfc4475("esc01"));
    EXPECT_EQ(requestURI(esc01), "sip:sips%3Auser%40example.com@example.net");
    EXPECT_STREQ(esc01->getCallIdHeader()->getCallIdText(), "esc01.239409asdfakjkn23onasd0-3234");
    EXPECT_EQ(esc01->getCSeqHeader()->getNumber(), 234234u);
    EXPECT_TRUE(esc01->getFromHeader()->getURIString() == "sip:I%20have%20spaces@example.net");
    EXPECT_TRUE(esc01->getContentType() == "application/sdp");

    KvHandle<KvSipMessage> escnull = kvParseMessage(rfc4475("escnull"));
    EXPECT_TRUE(KvHandle<KvSipRequest>(escnull)->getMethod() == "REGISTER");
    EXPECT_EQ(requestURI(escnull), "sip:example.com");
    EXPECT_STREQ(escnull->getCallIdHeader()->getCallIdText(),
                 "escnull.39203ndfvkjdasfkq3w4otrq0adsfdfnavd");
    EXPECT_EQ(escnull->getCSeqHeader()->getNumber(), 14398234u);
    EXPECT_EQ(chainLength(*escnull, KV_HEADER_CONTACT), 2u);

    KvHandle<KvSipMessage> esc02 = kvParseMessage(rfc4475("esc02"));
    EXPECT_NE(dynamic_cast<KvSipUnknownRequest*>(esc02.get()), nullptr);
    EXPECT_TRUE(KvHandle<KvSipRequest>(esc02)->getMethod() == "RE%47IST%45R");
    EXPECT_STREQ(esc02->getCSeqHeader()->getMethod(), "RE%47IST%45R");
    EXPECT_STREQ(esc02->getCallIdHeader()->getCallIdText(),
                 "esc02.asdfnqwo34rq23i34jrjasdcnl23nrlknsdf");
    EXPECT_EQ(chainLength(*esc02, KV_HEADER_CONTACT), 2u);
    EXPECT_FALSE(esc02->findHeader("C%6Fntact").isNull());

    KvHandle<KvSipMessage> lwsdisp = kvParseMessage(rfc4475("lwsdisp"));
    EXPECT_EQ(requestURI(lwsdisp), "sip:user@example.com");
    EXPECT_TRUE(lwsdisp->getFromHeader()->getNameAddress()->getDisplayName() == "caller");
    EXPECT_EQ(lwsdisp->getCSeqHeader()->getNumber(), 60u);

    KvHandle<KvSipMessage> dblreq = kvParseMessage(rfc4475("dblreq"));
    EXPECT_STREQ(dblreq->getCallIdHeader()->getCallIdText(),
                 "dblreq.0ha0isndaksdj99sdfafnl3lk233412");
    EXPECT_EQ(dblreq->getCSeqHeader()->getNumber(), 8u);
    EXPECT_EQ(dblreq->getBody(), nullptr);

    KvHandle<KvSipMessage> semiuri = kvParseMessage(rfc4475("semiuri"));
    EXPECT_EQ(requestURI(semiuri), "sip:user;par=u%40example.net@example.com");
    EXPECT_TRUE(KvHandle<KvSipRequest>(semiuri)->getSipURL()->getUser() ==
                "user;par=u%40example.net");
    EXPECT_STREQ(semiuri->getCallIdHeader()->getCallIdText(), "semiuri.0ha0isndaksdj");

    KvHandle<KvSipMessage> transports = kvParseMessage(rfc4475("transports"));
    std::vector<std::string> kinds;
    for (KvHandle<KvSipHeader> h = transports->getHeader(KV_HEADER_VIA); !h.isNull();
         h = h->getNext())
        kinds.push_back(KvHandle<KvSipViaHeader>(h)->getTransport());
    EXPECT_EQ(kinds, (std::vector<std::string>{"UDP", "SCTP", "TLS", "UNKNOWN", "TCP"}));

    KvHandle<KvSipMessage> mpart = kvParseMessage(rfc4475("mpart01"));
    EXPECT_TRUE(KvHandle<KvSipRequest>(mpart)->getMethod() == "MESSAGE");
    EXPECT_STREQ(mpart->getCallIdHeader()->getCallIdText(),
                 "3d9485ad0c49859b@Zmx1ZmZ5LW1hYy0xNi5sb2NhbA..");
    EXPECT_TRUE(mpart->getContentType() == "multipart/mixed");
    EXPECT_EQ(mpart->getBodyLength(), 553u);

    KvHandle<KvSipResponse> unreason(kvParseMessage(rfc4475("unreason")));
    EXPECT_EQ(unreason->getStatusCode(), 200);
    EXPECT_TRUE(unreason->getReasonPhrase() ==
                "= 2**3 * 5**2 \xd0\xbd\xd0\xbe \xd1\x81\xd1\x82\xd0\xbe "
                "\xd0\xb4\xd0\xb5\xd0\xb2\xd1\x8f\xd0\xbd\xd0\xbe\xd1\x81\xd1\x82"
                "\xd0\xbe \xd0\xb4\xd0\xb5\xd0\xb2\xd1\x8f\xd1\x82\xd1\x8c - "
                "\xd0\xbf\xd1\x80\xd0\xbe\xd1\x81\xd1\x82\xd0\xbe\xd0\xb5");
    EXPECT_STREQ(unreason->getCallIdHeader()->getCallIdText(), "unreason.1234ksdfak3j2erwedfsASdf");
    EXPECT_EQ(unreason->getBodyLength(), 154u);

    KvHandle<KvSipResponse> noreason(kvParseMessage(rfc4475("noreason")));
    EXPECT_EQ(noreason->getStatusCode(), 100);
    EXPECT_TRUE(noreason->getReasonPhrase().isEmpty());
    EXPECT_STREQ(noreason->getCallIdHeader()->getCallIdText(), "noreason.asndj203insdf99223ndf");
    EXPECT_TRUE(noreason->getViaHeader()->getBranch() == "z9hG4bK2398ndaoe");

    // Refused by the parser's limit on header names, but everything else is there.
    KvHandle<KvSipMessage> longreq = kvParseMessage(rfc4475("longreq"));
    EXPECT_EQ(longreq->getCSeqHeader()->getNumber(), 3882340u);
    EXPECT_EQ(chainLength(*longreq, KV_HEADER_VIA), 34u);
    EXPECT_EQ(longreq->getBodyLength(), 150u);
}

TEST(KvSipCorpus, ValidMessagesCarryTheirStartLineCallIdAndCSeq) {
    KV_REQUIRE_CORPUS();
    struct Line {
        const char* file;
        const char* start; // the method, or the status code of a response
        const char* uri;
        const char* callId;
        uint32_t cseq;
        const char* cseqMethod;
    };
    const Line lines[] = {
        {"wsinv", "INVITE", "sip:vivekg@chair-dnrc.example.com;unknownparam",
         "wsinv.ndaksdj@192.0.2.1", 9, "INVITE"},
        {"esc01", "INVITE", "sip:sips%3Auser%40example.com@example.net",
         "esc01.239409asdfakjkn23onasd0-3234", 234234, "INVITE"},
        {"escnull", "REGISTER", "sip:example.com", "escnull.39203ndfvkjdasfkq3w4otrq0adsfdfnavd",
         14398234, "REGISTER"},
        {"esc02", "RE%47IST%45R", "sip:registrar.example.com",
         "esc02.asdfnqwo34rq23i34jrjasdcnl23nrlknsdf", 29344, "RE%47IST%45R"},
        {"lwsdisp", "OPTIONS", "sip:user@example.com", "lwsdisp.1234abcd@funky.example.com", 60,
         "OPTIONS"},
        {"longreq", "INVITE", "sip:user@example.com",
         "longreq.onereallyreallyreallyreallyreallyreallyreallyreallyreallyreallyreallyreally"
         "reallyreallyreallyreallyreallyreallyreallyreallylongcallid",
         3882340, "INVITE"},
        {"dblreq", "REGISTER", "sip:example.com", "dblreq.0ha0isndaksdj99sdfafnl3lk233412", 8,
         "REGISTER"},
        {"semiuri", "OPTIONS", "sip:user;par=u%40example.net@example.com", "semiuri.0ha0isndaksdj",
         8, "OPTIONS"},
        {"transports", "OPTIONS", "sip:user@example.com", "transports.kijh4akdnaqjkwendsasfdj", 60,
         "OPTIONS"},
        {"mpart01", "MESSAGE", "sip:kumiko@example.org",
         "3d9485ad0c49859b@Zmx1ZmZ5LW1hYy0xNi5sb2NhbA..", 1, "MESSAGE"},
        {"unreason", "200", nullptr, "unreason.1234ksdfak3j2erwedfsASdf", 35, "INVITE"},
        {"noreason", "100", nullptr, "noreason.asndj203insdf99223ndf", 35, "INVITE"},
        {"badbranch", "OPTIONS", "sip:user@example.com", "badbranch.sadonfo23i420jv0as0derf3j3n", 8,
         "OPTIONS"},
        {"unksm2", "REGISTER", "sip:example.com", "unksm2.daksdj@hyphenated-host.example.com",
         234902, "REGISTER"},
        {"bext01", "OPTIONS", "sip:user@example.com", "bext01.0ha0isndaksdj", 8, "OPTIONS"},
        {"invut", "INVITE", "sip:user@example.com", "invut.0ha0isndaksdjadsfij34n23d", 235448,
         "INVITE"},
        {"bcast", "200", nullptr, "bcast.0384840201234ksdfak3j2erwedfsASdf", 35, "INVITE"},
        {"zeromf", "OPTIONS", "sip:user@example.com", "zeromf.jfasdlfnm2o2l43r5u0asdfas", 39234321,
         "OPTIONS"},
        {"cparam01", "REGISTER", "sip:example.com", "cparam01.70710@saturn.example.com", 2,
         "REGISTER"},
        {"cparam02", "REGISTER", "sip:example.com", "cparam02.70710@saturn.example.com", 3,
         "REGISTER"},
        {"regescrt", "REGISTER", "sip:example.com", "regescrt.k345asrl3fdbv@192.0.2.1", 14398234,
         "REGISTER"},
        {"sdp01", "INVITE", "sip:user@example.com", "sdp01.ndaksdj9342dasdd", 8, "INVITE"},
        {"inv2543", "INVITE", "sip:UserB@example.com", "inv2543.1717@ift.client.example.com", 56,
         "INVITE"},
    };
    for (const Line& line : lines) {
        SCOPED_TRACE(line.file);
        KvHandle<KvSipMessage> message = kvParseMessage(rfc4475(line.file));
        if (line.uri) {
            ASSERT_TRUE(message->isRequest());
            EXPECT_STREQ(KvHandle<KvSipRequest>(message)->getMethod().c_str(), line.start);
            EXPECT_EQ(requestURI(message), line.uri);
        } else {
            ASSERT_TRUE(message->isResponse());
            EXPECT_EQ(std::to_string(KvHandle<KvSipResponse>(message)->getStatusCode()),
                      line.start);
        }
        ASSERT_FALSE(message->getCallIdHeader().isNull());
        EXPECT_STREQ(message->getCallIdHeader()->getCallIdText(), line.callId);
        ASSERT_FALSE(message->getCSeqHeader().isNull());
        EXPECT_EQ(message->getCSeqHeader()->getNumber(), line.cseq);
        EXPECT_STREQ(message->getCSeqHeader()->getMethod(), line.cseqMethod);
        // longreq loses its over-long header name alone, and with it the valid state.
        EXPECT_EQ(message->isValid(), std::string(line.file) != "longreq");
    }

    // Escaped users of To stay as written.
    EXPECT_TRUE(kvParseMessage(rfc4475("esc01"))->getToHeader()->getURIString() ==
                "sip:%75se%72@example.com");
    EXPECT_TRUE(kvParseMessage(rfc4475("escnull"))->getToHeader()->getURIString() ==
                "sip:null-%00-null@example.com");
}

TEST(KvSipCorpus, ValidMessagesSurviveARoundTrip) {
    KV_REQUIRE_CORPUS();
    for (const Expectation& expected : kExpectations) {
        if (expected.state != KV_VALID)
            continue;
        SCOPED_TRACE(expected.file);
        KvHandle<KvSipMessage> first = kvParseMessage(rfc4475(expected.file));
        const std::string once = kvSerialized(first);
        KvHandle<KvSipMessage> second = kvParseMessage(once);
        EXPECT_EQ(second->getParseState(), KV_VALID);
        EXPECT_EQ(normalizedLines(*second), normalizedLines(*first));
        EXPECT_EQ(second->getBodyLength(), first->getBodyLength());
    }
    for (const char* bench : {"a_invite", "b_200ok", "c_register", "d_bye", "e_compact"}) {
        SCOPED_TRACE(bench);
        KvHandle<KvSipMessage> first =
            kvParseMessage(kvCorpusFile(std::string("bench/") + bench + ".sip"));
        EXPECT_EQ(first->getParseState(), KV_VALID);
        KvHandle<KvSipMessage> second = kvParseMessage(kvSerialized(first));
        EXPECT_EQ(second->getParseState(), KV_VALID);
        EXPECT_EQ(normalizedLines(*second), normalizedLines(*first));
    }
}

TEST(KvSipCorpus, TruncatedAndDamagedMessagesNeverCrash) {
    KV_REQUIRE_CORPUS();
    for (const Expectation& expected : kExpectations) {
        SCOPED_TRACE(expected.file);
        const std::string text = rfc4475(expected.file);
        for (size_t cut = 0; cut < text.size(); cut += 1 + cut / 16) {
            std::string damaged = text.substr(0, cut);
            try {
                KvHandle<KvSipMessage> message = kvParseMessage(damaged);
                kvSerialized(message);
            } catch (KvHandle<KvException>&) {
            }
            // The same bytes with one of them turned into a line end.
            damaged = text;
            damaged[cut] = '\n';
            try {
                KvHandle<KvSipMessage> message = kvParseMessage(damaged);
                kvSerialized(message);
            } catch (KvHandle<KvException>&) {
            }
        }
    }
}
