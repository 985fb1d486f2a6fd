// Content and negotiation headers: Content-Type, Content-Length, Content-Encoding, Accept,
// Accept-Language, Allow, Require and Supported.
#include "KvException.h"
#include "KvSipAcceptHeader.h"
#include "KvSipAcceptLanguageHeader.h"
#include "KvSipAllowHeader.h"
#include "KvSipContentEncodingHeader.h"
#include "KvSipContentLengthHeader.h"
#include "KvSipContentTypeHeader.h"
#include "KvSipMessage.h"
#include "KvSipRequireHeader.h"
#include "KvSipSupportedHeader.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Holds every header of the chain, so the list outlives the head handle it came from.
std::vector<KvHandle<KvSipHeader>> chainOf(const KvHandle<KvSipHeader>& head) {
    std::vector<KvHandle<KvSipHeader>> headers;
    for (KvSipHeader* h = head.get(); h; h = h->getNext().get())
        headers.emplace_back(h);
    return headers;
}

} // namespace

TEST(KvSipContentTypeHeaderTest, ParsesTypeSubtypeAndParameters) {
    auto plain = kvParseHeader("Content-Type: application/sdp\r\n");
    auto* ct = kvAs<KvSipContentTypeHeader>(plain);
    EXPECT_EQ(plain->getId(), KV_HEADER_CONTENT_TYPE);
    EXPECT_STREQ(ct->getType(), "application");
    EXPECT_STREQ(ct->getSubtype(), "sdp");
    EXPECT_EQ(kvSerialized(ct), "application/sdp");
    EXPECT_EQ(std::string(ct->getMediaType().c_str()), "application/sdp");

    auto withParameter = kvParseHeader("Content-Type: text/plain ; charset=utf-8\r\n");
    EXPECT_EQ(kvSerialized(withParameter), "text/plain;charset=utf-8");

    // Blanks around the slash are allowed (RFC 3261 SWS "/" SWS).
    EXPECT_EQ(kvSerialized(kvParseHeader("Content-Type: application / sdp\r\n").get()),
              "application/sdp");
}

TEST(KvSipContentTypeHeaderTest, CompactNameIsKeptAndWrittenBack) {
    auto header = kvParseHeader("c: multipart/mixed;boundary=unique-boundary-1\r\n");
    kvAs<KvSipContentTypeHeader>(header);
    EXPECT_EQ(kvChainText(header), "c: multipart/mixed;boundary=unique-boundary-1\r\n");
}

TEST(KvSipContentTypeHeaderTest, MissingSubtypeFailsToParseButValueConstructorAcceptsIt) {
    EXPECT_EQ(kvParseFailure("Content-Type: application\r\n"), "Invalid Content-Type header");
    EXPECT_EQ(kvParseFailure("Content-Type: application/\r\n"), "Invalid Content-Type header");
    EXPECT_EQ(kvParseFailure("Content-Type: /sdp\r\n"), "Invalid Content-Type header");
    EXPECT_EQ(kvParseFailure("Content-Type: \r\n"), "Invalid Content-Type header");

    KvSipContentTypeHeader noSlash("application");
    EXPECT_EQ(kvSerialized(noSlash), "application/*");
    KvSipContentTypeHeader null(nullptr);
    EXPECT_EQ(kvSerialized(null), "*/*");
    KvSipContentTypeHeader sdp("application/sdp");
    EXPECT_EQ(sdp.getId(), KV_HEADER_CONTENT_TYPE);
    EXPECT_EQ(std::string(sdp.getName().c_str()), "Content-Type");
    EXPECT_EQ(kvSerialized(sdp), "application/sdp");
}

TEST(KvSipContentTypeHeaderTest, CloneOwnsItsParameterList) {
    auto header = kvParseHeader("Content-Type: text/plain;charset=utf-8\r\n");
    KvHandle<KvSipContentTypeHeader> copy(static_cast<KvSipContentTypeHeader*>(header->clone()));
    copy->getParameters()->setParameter("charset", "latin1");
    EXPECT_EQ(kvSerialized(header), "text/plain;charset=utf-8");
    EXPECT_EQ(kvSerialized(copy), "text/plain;charset=latin1");
    EXPECT_TRUE(copy->getNext().isNull());
}

TEST(KvSipContentTypeHeaderTest, ParameterListIsMadeOnceWhenAsked) {
    auto header = kvParseHeader("Content-Type: application/sdp\r\n");
    auto* type = kvAs<KvSipContentTypeHeader>(header);
    // A copy before anyone asked, then several threads asking at once: one list each.
    KvHandle<KvSipContentTypeHeader> copy(static_cast<KvSipContentTypeHeader*>(type->clone()));
    std::vector<KvParameters*> seen(4);
    std::vector<std::thread> threads;
    for (auto& list : seen)
        threads.emplace_back([&list, type] { list = type->getParameters().get(); });
    for (auto& thread : threads)
        thread.join();
    for (KvParameters* list : seen) {
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list, seen[0]);
    }
    EXPECT_EQ(seen[0]->getCount(), 0u);
    EXPECT_NE(copy->getParameters().get(), seen[0]);
    seen[0]->setParameter("level", "1");
    EXPECT_EQ(kvSerialized(header), "application/sdp;level=1");
    EXPECT_EQ(kvSerialized(copy), "application/sdp");
}

TEST(KvSipAcceptHeaderTest, ListGivesOneHeaderPerRange) {
    auto head = kvParseHeader("Accept: application/sdp;level=1, text/html , */*\r\n");
    auto headers = chainOf(head);
    ASSERT_EQ(headers.size(), 3u);
    EXPECT_EQ(kvSerialized(headers[0]), "application/sdp;level=1");
    EXPECT_EQ(kvSerialized(headers[1]), "text/html");
    EXPECT_EQ(kvSerialized(headers[2]), "*/*");
    for (auto& h : headers)
        EXPECT_EQ(h->getId(), KV_HEADER_ACCEPT);

    KvSipAcceptHeader built("application/sdp");
    EXPECT_EQ(kvSerialized(built), "application/sdp");
    EXPECT_EQ(kvSerialized(KvHandle<KvSipAcceptHeader>(new KvSipAcceptHeader("text/html;level=1"))),
              "text/html;level=1");
    // A list given whole stays one header, written as given and read back as one per range.
    const char* list = "application/sdp, application/pidf+xml;q=0.5";
    EXPECT_EQ(kvSerialized(KvHandle<KvSipAcceptHeader>(new KvSipAcceptHeader(list))), list);
    EXPECT_EQ(kvChainLength(kvParseHeader(std::string("Accept: ") + list + "\r\n")), 2u);
    // Each part one range: an empty part would be read as none or fail, a lone type without its
    // "/*", text behind a range would be dropped.
    for (const char* range : {"/plain", "text/", "", "text/plain,", "text/plain,, text/html",
                              "text/plain, html", "text/plain html, text/html"})
        EXPECT_THROW(KvSipAcceptHeader{range}, KvHandle<KvException>) << range;
}

TEST(KvSipAcceptHeaderTest, EmptyAcceptIsValidAndWrittenEmpty) {
    auto header = kvParseHeader("Accept:\r\n");
    auto* accept = kvAs<KvSipAcceptHeader>(header);
    EXPECT_TRUE(accept->getType().isEmpty());
    EXPECT_EQ(kvChainText(header), "Accept: \r\n");
    EXPECT_EQ(kvParseFailure("Accept:   \r\n"), "");
}

TEST(KvSipAcceptHeaderTest, RangeWithoutSlashNeverSwallowsTheNextElement) {
    EXPECT_EQ(kvParseFailure("Accept: text\r\n"), "Invalid Accept header");
    EXPECT_EQ(kvParseFailure("Accept: foo, text/html\r\n"), "Invalid Accept header");
}

TEST(KvSipContentLengthHeaderTest, ReadsCheckedThirtyTwoBitNumbers) {
    auto header = kvParseHeader("Content-Length: 349\r\n");
    EXPECT_EQ(kvAs<KvSipContentLengthHeader>(header)->getLength(), 349u);
    EXPECT_EQ(kvSerialized(header), "349");
    EXPECT_EQ(kvAs<KvSipContentLengthHeader>(kvParseHeader("l: 0\r\n"))->getLength(), 0u);
    EXPECT_EQ(kvAs<KvSipContentLengthHeader>(kvParseHeader("Content-Length: 4294967295\r\n"))
                  ->getLength(),
              4294967295u);

    EXPECT_EQ(kvParseFailure("Content-Length: abc\r\n"), "unsigned number expected");
    EXPECT_EQ(kvParseFailure("Content-Length: -5\r\n"), "unsigned number expected");
    // Past 32 bits: refused, never wrapped ("4294967306" would otherwise read as 10).
    EXPECT_EQ(kvParseFailure("Content-Length: 4294967306\r\n"), "unsigned number expected");
    EXPECT_EQ(kvParseFailure("Content-Length: " + std::string(300, '9') + "\r\n"),
              "unsigned number expected");

    KvSipContentLengthHeader built(12);
    built.setLength(13);
    EXPECT_EQ(kvSerialized(built), "13");
    EXPECT_EQ(built.getId(), KV_HEADER_CONTENT_LENGTH);
}

TEST(KvSipContentEncodingHeaderTest, ReadsOneTokenAndRefusesAnEmptyOne) {
    auto header = kvParseHeader("e: gzip\r\n");
    EXPECT_EQ(std::string(kvAs<KvSipContentEncodingHeader>(header)->getEncoding().c_str()), "gzip");
    EXPECT_EQ(kvChainText(header), "e: gzip\r\n");
    EXPECT_EQ(chainOf(kvParseHeader("Content-Encoding: gzip, tar\r\n")).size(), 2u);
    EXPECT_EQ(kvParseFailure("Content-Encoding: \r\n"), "Invalid Content-Encoding header");
}

TEST(KvSipAcceptLanguageHeaderTest, ReadsLanguagesWithTheirQValues) {
    auto head = kvParseHeader("Accept-Language: da, en-gb;q=0.8, en;q=0.7\r\n");
    auto headers = chainOf(head);
    ASSERT_EQ(headers.size(), 3u);
    EXPECT_EQ(kvSerialized(headers[0]), "da");
    EXPECT_EQ(kvSerialized(headers[1]), "en-gb; q=0.8");
    EXPECT_EQ(kvSerialized(headers[2]), "en; q=0.7");
    EXPECT_EQ(
        std::string(static_cast<KvSipAcceptLanguageHeader*>(headers[1].get())->getQValue().c_str()),
        "0.8");

    KvSipAcceptLanguageHeader built("en", "0.5");
    EXPECT_EQ(kvSerialized(built), "en; q=0.5");
    KvSipAcceptLanguageHeader noQ("en", "");
    EXPECT_EQ(kvSerialized(noQ), "en");
}

TEST(KvSipAcceptLanguageHeaderTest, OnlyTheQParameterIsTheQValue) {
    // Another parameter neither poses as the q-value nor hides the element behind it.
    auto headers = chainOf(kvParseHeader("Accept-Language: da;level=1, en;Q=0.5\r\n"));
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(kvSerialized(headers[0]), "da");
    EXPECT_EQ(kvSerialized(headers[1]), "en; q=0.5");
    auto flagged = chainOf(kvParseHeader("Accept-Language: fr;x;q=0.3, de\r\n"));
    ASSERT_EQ(flagged.size(), 2u);
    EXPECT_EQ(kvSerialized(flagged[0]), "fr; q=0.3");
}

TEST(KvSipAcceptLanguageHeaderTest, EmptyIsValidButAMissingLanguageIsNot) {
    auto header = kvParseHeader("Accept-Language: \r\n");
    EXPECT_TRUE(kvAs<KvSipAcceptLanguageHeader>(header)->getLanguage().isEmpty());
    EXPECT_EQ(kvSerialized(header), "");
    EXPECT_EQ(kvParseFailure("Accept-Language: ;q=1\r\n"), "Invalid AcceptLanguage header");
}

TEST(KvSipAllowHeaderTest, ParsedListSplitsWhileBuiltListStaysWhole) {
    auto headers = chainOf(kvParseHeader("Allow: INVITE, ACK, CANCEL, OPTIONS, BYE\r\n"));
    ASSERT_EQ(headers.size(), 5u);
    EXPECT_EQ(kvSerialized(headers[0]), "INVITE");
    EXPECT_EQ(kvSerialized(headers[4]), "BYE");
    EXPECT_EQ(std::string(headers[4]->getName().c_str()), "Allow");

    KvHandle<KvSipHeader> built(new KvSipAllowHeader("INVITE, ACK, CANCEL, OPTIONS, BYE"));
    EXPECT_EQ(kvChainText(built), "Allow: INVITE, ACK, CANCEL, OPTIONS, BYE\r\n");
}

TEST(KvSipAllowHeaderTest, EmptyAllowIsValidButAnEmptyElementIsNot) {
    auto header = kvParseHeader("Allow:\r\n");
    EXPECT_TRUE(kvAs<KvSipAllowHeader>(header)->getMethods().isEmpty());
    EXPECT_EQ(kvChainText(header), "Allow: \r\n");
    EXPECT_EQ(kvParseFailure("Allow: , INVITE\r\n"), "Empty method in Allow header");
}

TEST(KvSipOptionTagHeaderTest, CommaSplitsTagsButBlankEndsTheValue) {
    auto tags = chainOf(kvParseHeader("Supported: 100rel, timer\r\n"));
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(
        std::string(static_cast<KvSipSupportedHeader*>(tags[0].get())->getOptionTag().c_str()),
        "100rel");
    EXPECT_EQ(
        std::string(static_cast<KvSipSupportedHeader*>(tags[1].get())->getOptionTag().c_str()),
        "timer");

    auto spaced = chainOf(kvParseHeader("Supported: 100rel timer\r\n"));
    ASSERT_EQ(spaced.size(), 1u);
    EXPECT_EQ(kvSerialized(spaced[0]), "100rel");

    auto compact = kvParseHeader("k: timer\r\n");
    kvAs<KvSipSupportedHeader>(compact);
    EXPECT_EQ(kvChainText(compact), "k: timer\r\n");

    auto require = chainOf(kvParseHeader("Require: 100rel,precondition\r\n"));
    ASSERT_EQ(require.size(), 2u);
    EXPECT_EQ(kvSerialized(require[1]), "precondition");
    EXPECT_EQ(kvParseFailure("Require: \r\n"), "");
}

TEST(KvSipOptionTagHeaderTest, ValueConstructorsStoreTheTextUnchanged) {
    KvHandle<KvSipHeader> require(new KvSipRequireHeader("timer"));
    EXPECT_EQ(require->getId(), KV_HEADER_REQUIRE);
    EXPECT_EQ(kvChainText(require), "Require: timer\r\n");
    KvHandle<KvSipHeader> supported(new KvSipSupportedHeader("100rel"));
    EXPECT_EQ(supported->getId(), KV_HEADER_SUPPORTED);
    EXPECT_EQ(kvChainText(supported), "Supported: 100rel\r\n");
    KvSipRequireHeader empty(nullptr);
    EXPECT_EQ(kvSerialized(empty), "");
}

TEST(KvSipNegotiationHeadersInMessageTest, EmptyAcceptAllowAndAcceptLanguageKeepTheMessageValid) {
    const std::string text = "OPTIONS sip:carol@chicago.com SIP/2.0\r\n"
                             "Via: SIP/2.0/UDP pc33.atlanta.com;branch=z9hG4bKhjhs8ass877\r\n"
                             "Max-Forwards: 70\r\n"
                             "To: <sip:carol@chicago.com>\r\n"
                             "From: Alice <sip:alice@atlanta.com>;tag=1928301774\r\n"
                             "Call-ID: a84b4c76e66710\r\n"
                             "CSeq: 63104 OPTIONS\r\n"
                             "Accept:\r\n"
                             "Allow: \r\n"
                             "Accept-Language:\r\n"
                             "k: 100rel, timer\r\n"
                             "Content-Length: 0\r\n"
                             "\r\n";
    KvHandle<KvSipMessage> message = KvSipMessage::sConstructFrom(*kvStreamOf(text));
    ASSERT_FALSE(message.isNull());
    EXPECT_TRUE(message->isValid());
    EXPECT_FALSE(message->getHeader(KV_HEADER_ACCEPT, true).isNull());
    EXPECT_FALSE(message->getHeader(KV_HEADER_ALLOW, true).isNull());
    EXPECT_FALSE(message->getHeader(KV_HEADER_ACCEPT_LANGUAGE, true).isNull());
    EXPECT_TRUE(message->isOptionSupported("timer"));
    EXPECT_TRUE(message->isOptionSupported("100rel"));
    EXPECT_FALSE(message->isOptionSupported("Timer"));
}
