// Faults that the fuzz targets found in reading and writing whole messages and their addresses:
// what a message reads must write back as text that reads back the same.
#include "KvErrorStream.h"
#include "KvException.h"
#include "KvSipHeaders.h"
#include "KvSipMessage.h"
#include "KvSipNameAddress.h"
#include "KvSipRequest.h"
#include "KvURI.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string request(const std::string& requestLine, const std::string& from,
                    const std::string& extra = std::string()) {
    return requestLine + "To: <sip:bob@example.com>\r\nFrom: " + from +
           "\r\nCall-ID: fuzz.1@example.com\r\nCSeq: 1 " +
           requestLine.substr(0, requestLine.find(' ')) +
           "\r\nVia: SIP/2.0/UDP host.example.com;branch=z9hG4bK1\r\nMax-Forwards: 70\r\n" + extra +
           "Content-Length: 0\r\n\r\n";
}

// Reads, writes, reads the text again and writes it again.
struct RoundTrip {
    explicit RoundTrip(const std::string& text) {
        first = kvParseMessage(text);
        firstText = kvSerialized(first);
        second = kvParseMessage(firstText);
        secondText = kvSerialized(second);
    }
    KvHandle<KvSipMessage> first, second;
    std::string firstText, secondText;
};

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find("\r\n"));
}

} // namespace

// A double quote left open in the request-URI runs to the line end; the CR of that line end is
// not part of the URI, so it is neither written inside the request line nor does the line grow
// on every rewrite.
TEST(KvSipURLFuzz, OpenQuoteDoesNotTakeTheLineEnd) {
    RoundTrip trip(request("OPTIONS sip:host\"open SIP/2.0\r\n", "<sip:a@b>;tag=1"));
    ASSERT_EQ(trip.first->getParseState(), KV_VALID);
    EXPECT_EQ(firstLine(trip.firstText).find('\r'), std::string::npos) << trip.firstText;
    EXPECT_EQ(trip.second->getParseState(), KV_VALID);
    EXPECT_EQ(firstLine(trip.secondText), firstLine(trip.firstText));

    auto stream = kvStreamOf("sip:host\"open\r\n");
    KvHandle<KvURI> uri = KvURI::createURI(*stream, true);
    KvString text = uri->serialize();
    EXPECT_STREQ(text.c_str(), "sip:host\"open");
}

// A URI of a scheme other than sip and tel is read up to ">" or the line end, so an address
// header writes it between "<" and ">": written bare, it would take the header parameters behind
// it (the From tag) into itself when read again.
TEST(KvSipNameAddressFuzz, OtherSchemeIsWrittenBetweenBrackets) {
    for (const char* from :
         {"ca:ller<sip:caller@example.com>;tag=323", "<mailto:caller@example.com>;tag=323",
          "Caller mailto:caller@example.com>;tag=323"}) {
        RoundTrip trip(request("OPTIONS sip:bob@example.com SIP/2.0\r\n", from));
        ASSERT_EQ(trip.first->getParseState(), KV_VALID) << from;
        EXPECT_STREQ(trip.first->getFromHeader()->getTag().c_str(), "323") << from;
        EXPECT_EQ(trip.second->getParseState(), KV_VALID) << trip.firstText;
        EXPECT_STREQ(trip.second->getFromHeader()->getTag().c_str(), "323") << trip.firstText;
        EXPECT_EQ(trip.secondText, trip.firstText);
    }

    KvStringOutputStream out;
    KvHandle<KvSipNameAddress> other(new KvSipNameAddress("mailto:bob@example.com"));
    other->write(out);
    EXPECT_EQ(out.text, "<mailto:bob@example.com>");
    // sip and tel URLs without parameters stay bare.
    for (const char* bare : {"sip:bob@example.com", "tel:+12015550123"}) {
        KvStringOutputStream plain;
        KvHandle<KvSipNameAddress>(new KvSipNameAddress(bare))->write(plain);
        EXPECT_EQ(plain.text, bare);
    }
}

// Blanks after "<" come before the scheme: the address is a sip URL and reads back as itself. A
// scheme must start with a letter: an empty one is damage, not a URI that swallows the display
// name and, once written bare, the tag.
TEST(KvSipNameAddressFuzz, BlanksAfterTheBracketAndSchemesWithoutALetter) {
    RoundTrip trip(
        request("OPTIONS sip:bob@example.com SIP/2.0\r\n", "<\t sip:alice@example.com >;tag=1"));
    ASSERT_EQ(trip.first->getParseState(), KV_VALID);
    EXPECT_FALSE(trip.first->getFromHeader()->getNameAddress()->getSipURL().isNull());
    EXPECT_EQ(kvSerialized(trip.first->getFromHeader()), "<sip:alice@example.com>;tag=1");
    EXPECT_EQ(trip.secondText, trip.firstText);

    for (const char* from : {":Bob <sip:bob@biloxi.com>;tag=a6c85cf", "<9x:body>;tag=1"})
        EXPECT_EQ(kvParseMessage(request("OPTIONS sip:bob@example.com SIP/2.0\r\n", from))
                      ->getParseState(),
                  KV_MALFORMED)
            << from;
}

// Received credentials without a response whose algorithm cannot be computed could never be
// written: the header is damage, so the message does not read valid and yet fail to write.
TEST(KvSipDigestCredentialsInfoFuzz, ReceivedUnknownAlgorithmWithoutResponseIsRefused) {
    KvHandle<KvSipMessage> message =
        kvParseMessage(request("REGISTER sip:example.com SIP/2.0\r\n", "<sip:a@example.com>;tag=1",
                               "Authorization: Digest username=\"a\",realm=\"r\",nonce=\"n\","
                               "uri=\"sip:example.com\",algorithm=MD4\r\n"));
    EXPECT_EQ(message->getParseState(), KV_MALFORMED);
    EXPECT_TRUE(message->findHeader("Authorization").isNull());
}

// The From and To check strips every "transport", "maddr" and "ttl" from the address, not only
// the first of each: a copy of the header checks again, and must write what the header writes.
TEST(KvSipAddressHeaderFuzz, CheckRemovesEveryTransportParameter) {
    RoundTrip trip(request("OPTIONS sip:bob@example.com SIP/2.0\r\n",
                           "<sip:a@example.com;transport=udp;lr;transport=tcp;ttl=1;ttl=2>;tag=1"));
    ASSERT_EQ(trip.first->getParseState(), KV_VALID);
    std::string from = kvSerialized(trip.first->getFromHeader());
    EXPECT_EQ(from, "<sip:a@example.com;lr>;tag=1");
    KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(trip.first->clone()));
    EXPECT_EQ(kvSerialized(copy), trip.firstText);
}
