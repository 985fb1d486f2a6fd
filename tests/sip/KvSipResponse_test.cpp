// Responses built from the request they answer.
#include "KvException.h"
#include "KvSipAuthenticateHeader.h"
#include "KvSipHeaders.h"
#include "KvSipParseError.h"
#include "KvSipRequest.h"
#include "KvSipResponse.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

KvHandle<KvSipRequest> request(const std::string& method, const std::string& extra = "") {
    return KvHandle<KvSipRequest>(
        kvParseMessage(method +
                       " sip:bob@biloxi.example.com SIP/2.0\r\n"
                       "Via: SIP/2.0/UDP proxy.example.com;branch=z9hG4bK2\r\n"
                       "Via: SIP/2.0/UDP pc33.atlanta.example.com;branch=z9hG4bK1\r\n"
                       "Record-Route: <sip:proxy.example.com;lr>\r\n"
                       "To: Bob <sip:bob@biloxi.example.com>\r\n"
                       "From: Alice <sip:alice@atlanta.example.com>;tag=1928301774\r\n"
                       "Call-ID: a84b4c76e66710@pc33.atlanta.example.com\r\n"
                       "CSeq: 314159 " +
                       method + "\r\n" + extra + "Content-Length: 0\r\n\r\n"));
}

const std::vector<std::string> kEchoed = {
    "Via: SIP/2.0/UDP proxy.example.com;branch=z9hG4bK2",
    "Via: SIP/2.0/UDP pc33.atlanta.example.com;branch=z9hG4bK1",
    "From: Alice <sip:alice@atlanta.example.com>;tag=1928301774",
    "To: Bob <sip:bob@biloxi.example.com>",
    "Call-ID: a84b4c76e66710@pc33.atlanta.example.com",
    "CSeq: 314159 INVITE",
};

std::vector<std::string> echoedPlus(std::vector<std::string> more) {
    std::vector<std::string> lines = kEchoed;
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

} // namespace

TEST(KvSipResponseBuild, A180EchoesTheRequestWithoutRecordRoute) {
    KvSipResponse ringing(180, request("INVITE"), "v=0\r\n", "application/sdp", 5);
    EXPECT_EQ(ringing.getParseState(), KV_VALID);
    EXPECT_EQ(ringing.getStatusCode(), 180);
    EXPECT_TRUE(ringing.getReasonPhrase() == "Ringing");
    EXPECT_EQ(kvHeaderLines(ringing),
              echoedPlus({"Content-Length: 5", "Content-Type: application/sdp"}));
    EXPECT_EQ(std::string(ringing.getBody(), ringing.getBodyLength()), "v=0\r\n");
    const std::string text = kvSerialized(ringing);
    EXPECT_EQ(text.substr(0, 24), "SIP/2.0 180 Ringing\r\nVia");
    // It reads back as the same response.
    KvHandle<KvSipMessage> reread = kvParseMessage(text);
    EXPECT_EQ(reread->getParseState(), KV_VALID);
    EXPECT_EQ(kvSerialized(reread), text);
}

TEST(KvSipResponseBuild, A2xxAlsoCarriesTheRecordRoutes) {
    KvSipResponse ok(200, request("INVITE"), "v=0\r\n", "application/sdp", 5);
    EXPECT_TRUE(ok.getReasonPhrase() == "Ok");
    EXPECT_EQ(kvHeaderLines(ok), echoedPlus({"Content-Length: 5", "Content-Type: application/sdp",
                                             "Record-Route: <sip:proxy.example.com;lr>"}));
    KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(ok.clone()));
    EXPECT_EQ(kvSerialized(copy), kvSerialized(ok));
}

TEST(KvSipResponseBuild, ByeAndCancelAnswersNeverCarryABody) {
    for (const char* method : {"BYE", "CANCEL"}) {
        SCOPED_TRACE(method);
        KvSipResponse ok(200, request(method), "v=0\r\n", "application/sdp", 5);
        EXPECT_EQ(ok.getContentLength(), 0u);
        EXPECT_EQ(ok.getBody(), nullptr);
        EXPECT_TRUE(ok.getContentTypeHeader().isNull());
        EXPECT_TRUE(ok.getHeader(KV_HEADER_RECORD_ROUTE).isNull());
        EXPECT_TRUE(ok.isValid());
    }
}

TEST(KvSipResponseBuild, CodesAndRequestAreChecked) {
    EXPECT_EQ(kvThrownText([] { KvSipResponse r(99, request("INVITE")); }),
              "Invalid Response code");
    EXPECT_EQ(kvThrownText([] { KvSipResponse r(700, request("INVITE")); }),
              "Invalid Response code");
    EXPECT_EQ(kvThrownText([] { KvSipResponse r(200, KvHandle<KvSipRequest>()); }),
              "Handle to request is NIL");
    try {
        KvSipResponse r(0, request("INVITE"));
    } catch (KvHandle<KvException>& e) {
        EXPECT_NE(dynamic_cast<KvSipParseError*>(e.get()), nullptr);
    }
    EXPECT_TRUE(KvSipResponse(100, request("INVITE")).getReasonPhrase() == "Trying");
    EXPECT_TRUE(KvSipResponse(699, request("INVITE")).getReasonPhrase() ==
                "Unknown 600 Class Response");
}

TEST(KvSipResponseBuild, GoesBackOnTheConnectionOfATcpRequest) {
    KvHandle<KvSipRequest> overTcp = request("INVITE");
    overTcp->setTransport(KvSipMessage::KV_TRANSPORT_TCP);
    overTcp->setPeerPort(40000);
    overTcp->setPeerAddress(KvInetAddress::sFromAddress(0x0700000a));
    KvSipResponse tcpAnswer(486, overTcp);
    EXPECT_EQ(tcpAnswer.getTransport(), KvSipMessage::KV_TRANSPORT_TCP);
    EXPECT_EQ(tcpAnswer.getPeerPort(), 40000);
    EXPECT_EQ(tcpAnswer.getPeerAddress().getAddress(), 0x0700000au);

    KvHandle<KvSipRequest> overUdp = request("INVITE");
    overUdp->setPeerPort(40000);
    KvSipResponse udpAnswer(486, overUdp);
    EXPECT_EQ(udpAnswer.getTransport(), KvSipMessage::KV_TRANSPORT_UDP);
    EXPECT_EQ(udpAnswer.getPeerPort(), 0);
}

TEST(KvSipResponseBuild, ARequestLackingHeadersGivesAnInvalidResponseNotACrash) {
    KvHandle<KvSipRequest> bare(kvParseMessage("OPTIONS sip:b@h SIP/2.0\r\n\r\n"));
    KvSipResponse answer(400, bare);
    EXPECT_EQ(answer.getParseState(), KV_INVALID);
    EXPECT_EQ(kvHeaderLines(answer), std::vector<std::string>{"Content-Length: 0"});

    // A request built without a CSeq method still gets one in its answer.
    KvHandle<KvSipRequest> noMethod(new KvSipRequest("OPTIONS"));
    noMethod->addHeader(KvHandle<KvSipHeader>(new KvSipCSeqHeader(3, "")));
    KvSipResponse filled(200, noMethod);
    EXPECT_STREQ(filled.getCSeqHeader()->getMethod(), "OPTIONS");
}

TEST(KvSipResponseBuild, FindsTheChallenge) {
    KvHandle<KvSipResponse> unauthorized(kvParseMessage(
        "SIP/2.0 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"atlanta.example.com\", "
        "nonce=\"ea9c8e88df84f1cec4341ae6cbe5a359\"\r\n\r\n"));
    EXPECT_FALSE(unauthorized->getAuthenticateHeader().isNull());
    EXPECT_EQ(unauthorized->getAuthenticateHeader()->getId(), KV_HEADER_WWW_AUTHENTICATE);

    KvHandle<KvSipResponse> proxy(
        kvParseMessage("SIP/2.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Digest "
                       "realm=\"atlanta.example.com\", nonce=\"abc\"\r\n\r\n"));
    EXPECT_EQ(proxy->getAuthenticateHeader()->getId(), KV_HEADER_PROXY_AUTHENTICATE);

    EXPECT_TRUE(KvSipResponse(200, request("INVITE")).getAuthenticateHeader().isNull());
}
