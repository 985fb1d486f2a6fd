// Requests: the value constructors, the request-URI, and the method classes with the ACK, BYE
// and CANCEL built from other messages of a call.
#include "KvException.h"
#include "KvParameters.h"
#include "KvSipAckMessage.h"
#include "KvSipByeMessage.h"
#include "KvSipCancelMessage.h"
#include "KvSipDigestChallengeInfo.h"
#include "KvSipDigestCredentialsInfo.h"
#include "KvSipHeaders.h"
#include "KvSipInfoMessage.h"
#include "KvSipInviteMessage.h"
#include "KvSipNameAddress.h"
#include "KvSipNotifyMessage.h"
#include "KvSipOptionsMessage.h"
#include "KvSipParseError.h"
#include "KvSipPrackMessage.h"
#include "KvSipRegisterMessage.h"
#include "KvSipResponse.h"
#include "KvSipSubscribeMessage.h"
#include "KvSipURL.h"
#include "KvSipUnknownRequest.h"
#include "KvTelURL.h"
#include "support/KvSipTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

std::vector<std::string> headerNames(const KvSipMessage& message) {
    std::vector<std::string> names;
    for (KvSipHeaderId id : message.getHeaderOrder())
        for (KvHandle<KvSipHeader> h = message.getHeader(id); !h.isNull(); h = h->getNext())
            names.push_back(h->getName().c_str());
    return names;
}

std::string uriText(const KvHandle<KvURI>& uri) {
    return uri.isNull() ? "(null)" : uri->serialize().c_str();
}

KvHandle<KvSipFromHeader> fromHeader() {
    KvHandle<KvSipFromHeader> from(new KvSipFromHeader(
        KvHandle<KvSipNameAddress>(new KvSipNameAddress("Alice <sip:alice@atlanta.example.com>")),
        KvHandle<KvParameters>()));
    from->setTag("1928301774");
    return from;
}

KvHandle<KvSipToHeader> toHeader() {
    return KvHandle<KvSipToHeader>(new KvSipToHeader("Bob <sip:bob@biloxi.example.com>"));
}

KvHandle<KvSipContactHeader> contactHeader() {
    return KvHandle<KvSipContactHeader>(
        new KvSipContactHeader("<sip:alice@pc33.atlanta.example.com>"));
}

const std::string kCallHeaders =
    "Via: SIP/2.0/UDP pc33.atlanta.example.com;branch=z9hG4bK776asdhds\r\n"
    "To: Bob <sip:bob@biloxi.example.com>\r\n"
    "From: Alice <sip:alice@atlanta.example.com>;tag=1928301774\r\n"
    "Call-ID: a84b4c76e66710@pc33.atlanta.example.com\r\n";

KvHandle<KvSipResponse> finalResponse(const std::string& statusLine, const std::string& cseq,
                                      const std::string& extra) {
    KvHandle<KvSipResponse> response(kvParseMessage(statusLine + "\r\n" + kCallHeaders +
                                                    "CSeq: " + cseq + "\r\n" + extra +
                                                    "Content-Length: 0\r\n\r\n"));
    return response;
}

} // namespace

// ---- value constructors

TEST(KvSipRequestBuild, HeadersGoInTheDocumentedOrder) {
    KvSipInviteMessage invite(fromHeader(), toHeader(), contactHeader(), "call-1@host", 5,
                              "application/sdp", "v=0\r\n", 5);
    EXPECT_EQ(invite.getParseState(), KV_VALID);
    EXPECT_TRUE(invite.isValid());
    EXPECT_EQ(uriText(invite.getRequestURI()), "sip:bob@biloxi.example.com");
    EXPECT_EQ(headerNames(invite),
              (std::vector<std::string>{"From", "To", "Contact", "Call-ID", "CSeq",
                                        "Content-Length", "Content-Type"}));
    // Headers that callers add later follow.
    invite.addHeader(
        KvHandle<KvSipHeader>(new KvSipViaHeader("pc33.atlanta.example.com", 5060, "udp")));
    invite.addHeader(KvHandle<KvSipHeader>(new KvSipMaxForwardsHeader(70)));
    const std::string text = kvSerialized(invite);
    EXPECT_EQ(text, "INVITE sip:bob@biloxi.example.com SIP/2.0\r\n"
                    "From: Alice <sip:alice@atlanta.example.com>;tag=1928301774\r\n"
                    "To: Bob <sip:bob@biloxi.example.com>\r\n"
                    "Contact: <sip:alice@pc33.atlanta.example.com>\r\n"
                    "Call-ID: call-1@host\r\n"
                    "CSeq: 5 INVITE\r\n"
                    "Content-Length: 5\r\n"
                    "Content-Type: application/sdp\r\n"
                    "Via: SIP/2.0/UDP pc33.atlanta.example.com:5060\r\n"
                    "Max-Forwards: 70\r\n"
                    "\r\n"
                    "v=0\r\n");
    // What it writes reads back as the same request.
    KvHandle<KvSipMessage> reread = kvParseMessage(text);
    EXPECT_EQ(reread->getParseState(), KV_VALID);
    EXPECT_EQ(kvSerialized(reread), text);
}

TEST(KvSipRequestBuild, CallIdCSeqAndBodyDefaults) {
    KvSipRegisterMessage generated(
        KvHandle<KvSipNameAddress>(new KvSipNameAddress("sip:registrar.example.com")), fromHeader(),
        toHeader(), contactHeader(), "", 0, nullptr, nullptr, 0);
    std::string callId = generated.getCallIdHeader()->getCallIdText();
    EXPECT_GT(callId.size(), 37u);
    EXPECT_EQ(callId[36], '@');
    EXPECT_LT(generated.getCSeqHeader()->getNumber(), 16777215u);
    EXPECT_TRUE(generated.getCSeqHeader()->getMethod() == std::string("REGISTER"));
    EXPECT_EQ(generated.getContentLength(), 0u);
    EXPECT_TRUE(generated.getContentTypeHeader().isNull());
    EXPECT_EQ(generated.getBody(), nullptr);

    KvSipRegisterMessage given(
        KvHandle<KvSipNameAddress>(new KvSipNameAddress("sip:r.example.com")), fromHeader(),
        toHeader(), KvHandle<KvSipContactHeader>(), "id@host", 5, nullptr, nullptr, 0);
    EXPECT_STREQ(given.getCallIdHeader()->getCallIdText(), "id@host");
    EXPECT_EQ(given.getCSeqHeader()->getNumber(), 5u);
    EXPECT_TRUE(given.getContactHeader().isNull());

    EXPECT_EQ(kvThrownText([] {
                  KvSipInviteMessage(fromHeader(), toHeader(), contactHeader(), "a@b", 1, nullptr,
                                     "body", 4);
              }),
              "Can't build SIP request(with body) with no content-type");
}

TEST(KvSipRequestBuild, TheCallersHeadersGoInThemselvesIntoOneRequestAtATime) {
    KvHandle<KvSipFromHeader> from = fromHeader();
    // A request that fails to build lets go of them again.
    EXPECT_NE(kvThrownText([&] {
                  KvSipInviteMessage(from, toHeader(), contactHeader(), "a@b", 1, nullptr, "x", 1);
              }),
              "(nothing thrown)");
    EXPECT_FALSE(from->isInChain());
    KvSipInviteMessage first(from, toHeader(), contactHeader(), "a@b", 1, nullptr, nullptr, 0);
    EXPECT_EQ(first.getFromHeader().get(), from.get());
    EXPECT_EQ(kvThrownText([&] {
                  KvSipByeMessage(KvHandle<KvSipNameAddress>(
                                      new KvSipNameAddress("sip:bob@biloxi.example.com")),
                                  from, toHeader(), KvHandle<KvSipContactHeader>(), "a@b", 2,
                                  nullptr, nullptr, 0);
              }),
              "Adding a header twice!");
}

TEST(KvSipRequestBuild, MethodsMustBeGiven) {
    EXPECT_EQ(kvThrownText([] {
                  KvSipRequest request(KvString(""), fromHeader(), toHeader(), contactHeader(),
                                       "a@b", 1, nullptr, nullptr, 0);
              }),
              "The SIP Method cannot be NULL or EMPTY");
    EXPECT_EQ(kvThrownText([] { KvSipRequest request(""); }),
              "KvSipRequest constructor expects a Method Name");
    EXPECT_EQ(kvThrownText([] { KvSipRequest request(static_cast<const char*>(nullptr)); }),
              "KvSipRequest constructor expects a Method Name");
}

TEST(KvSipRequestBuild, URLHeadersMoveOutOfTheCallersURIIntoTheMessage) {
    KvHandle<KvSipNameAddress> target(
        new KvSipNameAddress("<sip:bob@biloxi.example.com?Subject=lunch>"));
    KvSipInviteMessage invite(target, fromHeader(), toHeader(), contactHeader(), "id@host", 1,
                              nullptr, nullptr, 0);
    // The request-URI is the caller's URI itself, left without its headers.
    EXPECT_EQ(invite.getRequestURI().get(), target->getURI().get());
    EXPECT_TRUE(target->getSipURL()->hasNoHeaders());
    EXPECT_EQ(uriText(invite.getRequestURI()), "sip:bob@biloxi.example.com");
    EXPECT_EQ(headerNames(invite).back(), "Subject");
    EXPECT_EQ(kvSerialized(invite.getHeader(KV_HEADER_SUBJECT)), "lunch");
    EXPECT_EQ(kvSerialized(invite).find("?"), std::string::npos);

    // A Call-ID given in the URI replaces the one made from the values, and goes last.
    KvHandle<KvSipNameAddress> withCallId(
        new KvSipNameAddress("<sip:bob@biloxi.example.com?Call-ID=from-uri>"));
    KvSipInviteMessage replaced(withCallId, fromHeader(), toHeader(), contactHeader(), "id@host", 1,
                                nullptr, nullptr, 0);
    EXPECT_STREQ(replaced.getCallIdHeader()->getCallIdText(), "from-uri");
    EXPECT_EQ(headerNames(replaced).back(), "Call-ID");
    EXPECT_EQ(replaced.getHeaderOrder().size(), 6u);

    // An escaped line end would cut a header of its own, or the one it stands in: refused, and
    // the caller's URI keeps its headers.
    KvHandle<KvSipNameAddress> broken(
        new KvSipNameAddress("<sip:bob@biloxi.example.com?Subject=a%0D%0AX-Evil:%201>"));
    EXPECT_EQ(kvFailureOf([&] {
                  KvSipInviteMessage(broken, fromHeader(), toHeader(), contactHeader(), "id@host",
                                     1, nullptr, nullptr, 0);
              }).rfind("parse: Attempting to set", 0),
              0u);
    EXPECT_FALSE(broken->getSipURL()->hasNoHeaders());

    // A To's URL headers are no part of a request-URI: the one made from it leaves them out.
    KvHandle<KvSipToHeader> headedTo(new KvSipToHeader("<sip:bob@biloxi.example.com?Subject=x>"));
    KvSipInviteMessage fromTo(fromHeader(), headedTo, contactHeader(), "id@host", 1, nullptr,
                              nullptr, 0);
    EXPECT_EQ(uriText(fromTo.getRequestURI()), "sip:bob@biloxi.example.com");
    EXPECT_TRUE(fromTo.getHeader(KV_HEADER_SUBJECT).isNull());
}

TEST(KvSipRequestBuild, ABuiltRequestLeavesTheCallersHeadersAddressesAlone) {
    KvHandle<KvSipToHeader> to = toHeader();
    const std::string toBefore = kvSerialized(KvHandle<KvSipHeader>(to));
    KvSipByeMessage bye(
        KvHandle<KvSipNameAddress>(new KvSipNameAddress("sip:bob@biloxi.example.com")),
        fromHeader(), to, KvHandle<KvSipContactHeader>(), "id@host", 2, nullptr, nullptr, 0);
    bye.setRequestURI(KvHandle<KvURI>(new KvSipURL("sip:other@example.com")));
    EXPECT_EQ(kvSerialized(KvHandle<KvSipHeader>(to)), toBefore);
}

TEST(KvSipRequestURI, IsStoredAsACloneWithoutAngleBrackets) {
    KvSipOptionsMessage options;
    KvHandle<KvURI> generic(new KvURI("u<rn>"));
    generic->setBody("<service:sos>");
    options.setRequestURI(generic);
    EXPECT_TRUE(options.getRequestURI()->getScheme() == "urn");
    EXPECT_TRUE(options.getRequestURI()->getBody() == "service:sos");
    EXPECT_TRUE(generic->getScheme() == "u<rn>");
    EXPECT_TRUE(options.getSipURL().isNull());

    KvHandle<KvURI> sip(new KvSipURL("sip:user@host.example.com:5070"));
    options.setRequestURI(sip);
    EXPECT_NE(options.getRequestURI().get(), sip.get());
    ASSERT_FALSE(options.getSipURL().isNull());
    EXPECT_TRUE(options.getSipURL()->getUser() == "user");
    EXPECT_EQ(options.getSipURL()->getPort(), 5070);

    options.setRequestURI(KvHandle<KvURI>());
    EXPECT_TRUE(options.getRequestURI().isNull());
    KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(options.clone()));
    EXPECT_TRUE(KvHandle<KvSipRequest>(copy)->getRequestURI().isNull());
}

// A request made from its method has an empty generic request-URI, made when first asked for.
TEST(KvSipRequestURI, AFreshRequestHasOneEmptyGenericURI) {
    KvSipOptionsMessage options;
    const KvHandle<KvURI> uri = options.getRequestURI();
    ASSERT_FALSE(uri.isNull());
    EXPECT_FALSE(uri->isSipURL());
    EXPECT_EQ(options.getRequestURI().get(), uri.get());
    KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(options.clone()));
    ASSERT_FALSE(KvHandle<KvSipRequest>(copy)->getRequestURI().isNull());
}

// The request line's URI as parsed: headers of a sip URL move into the message, a sip URL in
// angles or in capitals is read, and a scheme other than sip and tel is refused.
TEST(KvSipRequestURI, ParsedFromTheRequestLine) {
    auto parsed = [](const std::string& line) {
        return KvHandle<KvSipRequest>(
            kvParseMessage(line + "\r\nVia: SIP/2.0/UDP h;branch=z9hG4bKx\r\n"
                                  "From: <sip:a@h>;tag=1\r\nTo: <sip:b@h>\r\nMax-Forwards: 70\r\n"
                                  "Call-ID: c\r\nCSeq: 1 OPTIONS\r\n\r\n"));
    };
    auto request = parsed("OPTIONS sip:bob@b?Subject=hi SIP/2.0");
    EXPECT_TRUE(request->getSipURL()->hasNoHeaders());
    ASSERT_FALSE(request->getHeader(KV_HEADER_SUBJECT).isNull());
    EXPECT_EQ(request->getRequestURI()->serialize(), "sip:bob@b");
    request = parsed("OPTIONS <SIP:bob@b> SIP/2.0");
    EXPECT_EQ(request->getRequestURI()->serialize(), "sip:bob@b");
    EXPECT_EQ(request->getParseState(), KV_VALID);
    // In angles too the scheme is told apart, and answered with 416; one that does not start
    // with a letter makes no URI.
    request = parsed("OPTIONS <urn:service:sos> SIP/2.0");
    EXPECT_EQ(request->getParseState(), 416);
    EXPECT_EQ(uriText(request->getRequestURI()), "urn:service:sos");
    request = parsed("OPTIONS <http://x/> SIP/2.0");
    EXPECT_EQ(request->getParseState(), 416);
    EXPECT_EQ(uriText(request->getRequestURI()), "http://x/");
    EXPECT_EQ(parsed("OPTIONS <1urn:x> SIP/2.0")->getParseState(), KV_INVALID);
    EXPECT_EQ(parsed("OPTIONS 1urn:x SIP/2.0")->getParseState(), KV_INVALID);
    request = parsed("OPTIONS tel:+1-555 SIP/2.0");
    EXPECT_EQ(request->getRequestURI()->getScheme(), "tel");
}

// ---- method classes

TEST(KvSipMethodClasses, EachMethodParsesIntoItsClassAndClonesIntoItToo) {
    struct Entry {
        const char* method;
        const std::type_info& type;
    };
    const Entry entries[] = {
        {"REGISTER", typeid(KvSipRegisterMessage)},
        {"INVITE", typeid(KvSipInviteMessage)},
        {"INFO", typeid(KvSipInfoMessage)},
        {"PRACK", typeid(KvSipPrackMessage)},
        {"ACK", typeid(KvSipAckMessage)},
        {"BYE", typeid(KvSipByeMessage)},
        {"SUBSCRIBE", typeid(KvSipSubscribeMessage)},
        {"NOTIFY", typeid(KvSipNotifyMessage)},
        {"OPTIONS", typeid(KvSipOptionsMessage)},
        {"CANCEL", typeid(KvSipCancelMessage)},
        {"MESSAGE", typeid(KvSipUnknownRequest)},
    };
    for (const Entry& entry : entries) {
        SCOPED_TRACE(entry.method);
        const std::string text = std::string(entry.method) +
                                 " sip:bob@biloxi.example.com SIP/2.0\r\n" + kCallHeaders +
                                 "CSeq: 1 " + entry.method + "\r\nContent-Length: 0\r\n\r\n";
        KvHandle<KvSipMessage> message = kvParseMessage(text);
        EXPECT_EQ(typeid(*message.get()), entry.type);
        EXPECT_TRUE(message->isValid());
        EXPECT_TRUE(KvHandle<KvSipRequest>(message)->getMethod() == entry.method);
        KvHandle<KvSipMessage> copy(static_cast<KvSipMessage*>(message->clone()));
        EXPECT_EQ(typeid(*copy.get()), entry.type);
        EXPECT_EQ(kvSerialized(copy), text);
        EXPECT_NE(copy->getViaHeader().get(), message->getViaHeader().get());
    }
}

TEST(KvSipMethodClasses, TheValueConstructorsCarryTheirMethod) {
    auto uri = [] { return KvHandle<KvSipNameAddress>(new KvSipNameAddress("sip:b@h")); };
    EXPECT_TRUE(KvSipPrackMessage(uri(), fromHeader(), toHeader(), contactHeader(), "c", 3, nullptr,
                                  nullptr, 0)
                    .getCSeqHeader()
                    ->getMethod() == std::string("PRACK"));
    KvSipCancelMessage cancel(uri(), fromHeader(), toHeader(), contactHeader(), "c", 3, nullptr,
                              nullptr, 0);
    EXPECT_TRUE(cancel.getMethod() == "CANCEL");
    EXPECT_TRUE(cancel.isValid());
}

// ---- ACK

TEST(KvSipAck, ForA2xxGoesToTheContact) {
    KvHandle<KvSipResponse> ok =
        finalResponse("SIP/2.0 200 OK", "314159 INVITE", "Contact: <sip:bob@192.0.2.7:5062>\r\n");
    KvSipAckMessage ack(ok, nullptr, nullptr, 0);
    EXPECT_EQ(uriText(ack.getRequestURI()), "sip:bob@192.0.2.7:5062");
    EXPECT_EQ(ack.getCSeqHeader()->getNumber(), 314159u);
    EXPECT_STREQ(ack.getCSeqHeader()->getMethod(), "ACK");
    EXPECT_EQ(headerNames(ack),
              (std::vector<std::string>{"From", "To", "Call-ID", "CSeq", "Content-Length"}));
    EXPECT_TRUE(ack.isValid());
    EXPECT_EQ(ack.getTransport(), 0);
    EXPECT_EQ(ack.getPeerPort(), 0);

    // The ACK owns its headers: tagging its To leaves the response alone.
    KvHandle<KvSipToHeader>(ack.getToHeader())->setTag("mine");
    EXPECT_TRUE(ok->getToHeader()->getTag().isEmpty());
}

TEST(KvSipAck, OtherwiseGoesToTheToAddress) {
    KvHandle<KvSipResponse> busy = finalResponse("SIP/2.0 486 Busy Here", "314159 INVITE",
                                                 "Contact: <sip:bob@192.0.2.7:5062>\r\n");
    EXPECT_EQ(uriText(KvSipAckMessage(busy).getRequestURI()), "sip:bob@biloxi.example.com");
    KvHandle<KvSipResponse> noContact = finalResponse("SIP/2.0 200 OK", "314159 INVITE", "");
    EXPECT_EQ(uriText(KvSipAckMessage(noContact).getRequestURI()), "sip:bob@biloxi.example.com");

    // The To's URL headers stay out of the request line too, where a reader takes them as
    // headers of the ACK or BYE.
    auto headedTo = [](const std::string& statusLine, const std::string& extra) {
        return KvHandle<KvSipResponse>(kvParseMessage(
            statusLine +
            "\r\nVia: SIP/2.0/UDP h;branch=z9hG4bKx\r\nFrom: <sip:a@h>;tag=1\r\n"
            "To: <sip:b@example.org?Route=%3Csip:attacker.example%3Blr%3E&Call-ID=evil>;tag=t1\r\n"
            "Call-ID: c\r\nCSeq: 1 INVITE\r\n" +
            extra + "Content-Length: 0\r\n\r\n"));
    };
    KvHandle<KvSipResponse> headedBusy =
        headedTo("SIP/2.0 486 Busy Here", "Contact: <sip:b@h>\r\n");
    KvHandle<KvSipResponse> headedOk = headedTo("SIP/2.0 200 OK", "");
    ASSERT_TRUE(headedBusy->isValid());
    KvHandle<KvSipRequest> requests[] = {new KvSipAckMessage(headedBusy),
                                         new KvSipAckMessage(headedOk),
                                         new KvSipByeMessage(headedOk)};
    for (const KvHandle<KvSipRequest>& request : requests) {
        SCOPED_TRACE(request->getMethod().c_str());
        EXPECT_EQ(uriText(request->getRequestURI()), "sip:b@example.org");
        request->addHeader(kvParseHeader("Via: SIP/2.0/UDP h;branch=z9hG4bKy\r\n"));
        KvHandle<KvSipMessage> read = kvParseMessage(kvSerialized(request));
        EXPECT_EQ(read->getParseState(), KV_VALID);
        EXPECT_TRUE(read->getHeader(KV_HEADER_ROUTE).isNull());
        EXPECT_STREQ(read->getCallIdHeader()->getCallIdText(), "c");
    }
}

TEST(KvSipAck, ATelContactIsTakenWhole) {
    KvHandle<KvSipResponse> ok =
        finalResponse("SIP/2.0 200 OK", "1 INVITE", "Contact: <tel:+15551234567>\r\n");
    KvSipAckMessage ack(ok);
    EXPECT_NE(dynamic_cast<KvTelURL*>(ack.getRequestURI().get()), nullptr);
    EXPECT_EQ(uriText(ack.getRequestURI()), "tel:+15551234567");
}

TEST(KvSipAck, IsOnlyForINVITEResponses) {
    const std::string error = "The SIP ACK Request is only for INVITE Response";
    EXPECT_EQ(kvThrownText([] { KvSipAckMessage(finalResponse("SIP/2.0 200 OK", "2 BYE", "")); }),
              error);
    try {
        KvSipAckMessage ack(finalResponse("SIP/2.0 200 OK", "2 invite", ""));
        FAIL() << "a lower-case invite was taken";
    } catch (KvHandle<KvException>& e) {
        EXPECT_STREQ(e->getText(), error.c_str());
        EXPECT_NE(dynamic_cast<KvSipParseError*>(e.get()), nullptr);
    }
}

TEST(KvSipAck, BodyAndTransport) {
    KvHandle<KvSipResponse> ok = finalResponse("SIP/2.0 200 OK", "1 INVITE", "");
    KvSipAckMessage noBody(ok, "ignored", "text/plain", 0);
    EXPECT_EQ(noBody.getBody(), nullptr);
    EXPECT_EQ(noBody.getContentLength(), 0u);
    EXPECT_TRUE(noBody.getContentTypeHeader().isNull());

    KvSipAckMessage withBody(ok, "v=0\r\n", "application/sdp", 5);
    EXPECT_EQ(withBody.getContentLength(), 5u);
    EXPECT_TRUE(withBody.getContentType() == "application/sdp");

    ok->setTransport(KvSipMessage::KV_TRANSPORT_TCP);
    ok->setPeerPort(5070);
    ok->setPeerAddress(KvInetAddress::sFromAddress(0x0200000a));
    KvSipAckMessage overTcp(ok);
    EXPECT_EQ(overTcp.getTransport(), KvSipMessage::KV_TRANSPORT_TCP);
    EXPECT_EQ(overTcp.getPeerPort(), 5070);
    EXPECT_EQ(overTcp.getPeerAddress().getAddress(), 0x0200000au);
}

TEST(KvSipAck, AResponseLackingAPartIsRefusedClearly) {
    KvHandle<KvSipResponse> noFrom(
        kvParseMessage("SIP/2.0 200 OK\r\nTo: <sip:b@h>\r\nCall-ID: c\r\nCSeq: 1 INVITE\r\n\r\n"));
    EXPECT_EQ(kvThrownText([&] { KvSipAckMessage ack(noFrom); }),
              "Can't build ACK: the response has no From header");
    KvHandle<KvSipResponse> noCSeq(kvParseMessage("SIP/2.0 200 OK\r\n" + kCallHeaders + "\r\n"));
    EXPECT_EQ(kvThrownText([&] { KvSipAckMessage ack(noCSeq); }),
              "Can't build ACK: the response has no CSeq header");
    KvHandle<KvSipResponse> noCallId(kvParseMessage(
        "SIP/2.0 200 OK\r\nFrom: <sip:a@h>\r\nTo: <sip:b@h>\r\nCSeq: 1 INVITE\r\n\r\n"));
    EXPECT_EQ(kvThrownText([&] { KvSipAckMessage ack(noCallId); }),
              "Can't build ACK: the response has no Call-ID header");
    EXPECT_EQ(kvThrownText([&] { KvSipAckMessage ack{KvHandle<KvSipResponse>()}; }),
              "Can't build ACK: the response has no message");
}

// A wildcard names no one to send to: no request line, not "ACK : SIP/2.0". BYE alike.
TEST(KvSipAck, AWildcardContactIsRefused) {
    KvHandle<KvSipResponse> ok = finalResponse("SIP/2.0 200 OK", "1 INVITE", "Contact: *\r\n");
    ASSERT_TRUE(ok->isValid());
    EXPECT_EQ(kvThrownText([&] { KvSipAckMessage ack(ok); }),
              "Can't build ACK: the response has no Contact address for the request-URI");
    EXPECT_EQ(kvThrownText([&] { KvSipByeMessage bye(ok); }),
              "Can't build BYE: the message has no Contact address for the request-URI");
    // A Contact's URL headers stay out of the request line, where a reader takes them as headers.
    KvHandle<KvSipResponse> headed = finalResponse(
        "SIP/2.0 200 OK", "1 INVITE", "Contact: <sip:bob@h;lr?Subject=hi&Call-ID=evil>\r\n");
    ASSERT_TRUE(headed->isValid());
    KvHandle<KvSipRequest> requests[] = {new KvSipAckMessage(headed), new KvSipByeMessage(headed)};
    for (const KvHandle<KvSipRequest>& request : requests) {
        EXPECT_EQ(uriText(request->getRequestURI()), "sip:bob@h;lr");
        EXPECT_EQ(kvParseMessage(kvSerialized(request))->getHeader(KV_HEADER_SUBJECT).get(),
                  nullptr);
    }
    EXPECT_TRUE(headed->getContactHeader()->getNameAddress()->getURI()->hasHeaders()); // untouched
}

// ---- BYE

TEST(KvSipBye, FollowsTheCallsCSeqAndAddress) {
    KvHandle<KvSipMessage> invite = kvParseMessage(
        "INVITE sip:bob@biloxi.example.com SIP/2.0\r\n" + kCallHeaders +
        "CSeq: 41 INVITE\r\nContact: <sip:alice@192.0.2.9>\r\nContent-Length: 0\r\n\r\n");
    KvSipByeMessage bye(invite);
    EXPECT_EQ(bye.getCSeqHeader()->getNumber(), 42u);
    EXPECT_STREQ(bye.getCSeqHeader()->getMethod(), "BYE");
    EXPECT_EQ(uriText(bye.getRequestURI()), "sip:alice@192.0.2.9");
    EXPECT_EQ(headerNames(bye),
              (std::vector<std::string>{"From", "To", "Call-ID", "CSeq", "Content-Length"}));
    EXPECT_STREQ(bye.getCallIdHeader()->getCallIdText(), "a84b4c76e66710@pc33.atlanta.example.com");

    KvHandle<KvSipToHeader>(bye.getToHeader())->setTag("x");
    EXPECT_TRUE(invite->getToHeader()->getTag().isEmpty());

    // Without a Contact the To address serves, whatever its scheme.
    KvHandle<KvSipMessage> telCall = kvParseMessage(
        "INVITE tel:+15551234 SIP/2.0\r\nVia: SIP/2.0/UDP h\r\nTo: <tel:+15551234>\r\n"
        "From: <sip:a@h>;tag=1\r\nCall-ID: c\r\nCSeq: 1 INVITE\r\nl: 0\r\n\r\n");
    EXPECT_EQ(uriText(KvSipByeMessage(telCall).getRequestURI()), "tel:+15551234");
}

TEST(KvSipBye, AMessageLackingAPartIsRefusedClearly) {
    KvHandle<KvSipMessage> noCSeq =
        kvParseMessage("INVITE sip:b@h SIP/2.0\r\n" + kCallHeaders + "\r\n");
    EXPECT_EQ(kvThrownText([&] { KvSipByeMessage bye(noCSeq); }),
              "Can't build BYE: the message has no CSeq header");
    KvHandle<KvSipMessage> noTo = kvParseMessage(
        "INVITE sip:b@h SIP/2.0\r\nFrom: <sip:a@h>\r\nCall-ID: c\r\nCSeq: 1 INVITE\r\n\r\n");
    EXPECT_EQ(kvThrownText([&] { KvSipByeMessage bye(noTo); }),
              "Can't build BYE: the message has no To header");
}

// ---- CANCEL

TEST(KvSipCancel, MatchesTheTransactionItCancels) {
    KvHandle<KvSipMessage> invite = kvParseMessage(
        "INVITE sip:bob@biloxi.example.com;transport=tcp SIP/2.0\r\n" + kCallHeaders +
        "Via: SIP/2.0/UDP second.example.com;branch=z9hG4bKother\r\n"
        "CSeq: 7 INVITE\r\nContent-Length: 0\r\n\r\n");
    KvSipCancelMessage cancel{KvHandle<KvSipRequest>(invite)};
    EXPECT_EQ(cancel.getCSeqHeader()->getNumber(), 7u);
    EXPECT_STREQ(cancel.getCSeqHeader()->getMethod(), "CANCEL");
    EXPECT_STREQ(cancel.getCallIdHeader()->getCallIdText(),
                 invite->getCallIdHeader()->getCallIdText());
    EXPECT_TRUE(cancel.getViaHeader()->getBranch() == "z9hG4bK776asdhds");
    EXPECT_TRUE(cancel.getViaHeader()->getNext().isNull());
    EXPECT_EQ(uriText(cancel.getRequestURI()), "sip:bob@biloxi.example.com;transport=tcp");
    EXPECT_EQ(headerNames(cancel),
              (std::vector<std::string>{"From", "To", "Call-ID", "CSeq", "Via", "Content-Length"}));
    EXPECT_EQ(cancel.getContentLength(), 0u);
    EXPECT_TRUE(cancel.isValid());
    // The same transaction, so the same key.
    EXPECT_TRUE(cancel.createTransactionKey() == invite->createTransactionKey());

    // The CANCEL owns its headers: tagging its To leaves the INVITE alone.
    KvHandle<KvSipToHeader>(cancel.getToHeader())->setTag("x");
    EXPECT_TRUE(invite->getToHeader()->getTag().isEmpty());

    // URL headers in the request-URI were never part of it as the peer read it: they stay out.
    KvHandle<KvSipRequest>(invite)->setRequestURI(
        KvHandle<KvURI>(new KvSipURL("sip:bob@biloxi.example.com?Route=%3Csip:x%3Blr%3E")));
    KvSipCancelMessage headed{KvHandle<KvSipRequest>(invite)};
    EXPECT_EQ(uriText(headed.getRequestURI()), "sip:bob@biloxi.example.com");
    EXPECT_TRUE(KvHandle<KvSipRequest>(invite)->getRequestURI()->hasHeaders()); // untouched
}

TEST(KvSipCancel, ARequestLackingAPartIsRefusedClearly) {
    KvHandle<KvSipMessage> noUri =
        kvParseMessage("FOO sips:b@h SIP/2.0\r\n" + kCallHeaders + "CSeq: 1 FOO\r\n\r\n");
    ASSERT_TRUE(KvHandle<KvSipRequest>(noUri)->getRequestURI().isNull());
    EXPECT_EQ(kvThrownText([&] { KvSipCancelMessage cancel{KvHandle<KvSipRequest>(noUri)}; }),
              "Can't build CANCEL: the request has no request-URI");
    KvHandle<KvSipMessage> noFrom =
        kvParseMessage("INVITE sip:b@h SIP/2.0\r\nTo: <sip:b@h>\r\n\r\n");
    EXPECT_EQ(kvThrownText([&] { KvSipCancelMessage cancel{KvHandle<KvSipRequest>(noFrom)}; }),
              "Can't build CANCEL: the request has no From header");
}

// ---- a caller's text

namespace {

// The action throws a parse error (any stack exception for a list of the utility library), and
// what show() gives is the same after.
void expectRefused(
    const std::string& what, const std::function<void()>& action,
    const std::function<std::string()>& show = [] { return std::string(); },
    const char* failure = "parse: ") {
    const std::string before = show();
    EXPECT_EQ(kvFailureOf(action).rfind(failure, 0), 0u) << what;
    EXPECT_EQ(show(), before) << what;
}

} // namespace

// A CR, an LF or a NUL in a caller's text would end the line it is written into: what followed it
// would read as a header of its own.
TEST(KvSipCallerText, EveryEntryPointRefusesALineBreakAndChangesNothing) {
    KvHandle<KvSipDigestChallengeInfo> challenge(new KvSipDigestChallengeInfo());
    challenge->setParameter("realm", "r");
    challenge->setParameter("nonce", "n");
    const std::string nul("a\0b", 3);
    for (const std::string bad : {"a\r\nX-Evil: 1", "a\nX-Evil: 1", "a\rX-Evil: 1"}) {
        SCOPED_TRACE(bad);
        const char* t = bad.c_str();
        KvHandle<KvSipFromHeader> from = fromHeader();
        auto fromText = [&] { return kvSerialized(from); };
        expectRefused(
            "From tag", [&] { from->setTag(t); }, fromText);
        expectRefused(
            "From URL parameter",
            [&] { from->getNameAddress()->getSipURL()->getParameters()->setParameter("x", t); },
            fromText, "other: ");
        expectRefused(
            "From parameter name", [&] { from->getParameters()->setParameter(t, "1"); }, fromText,
            "other: ");
        KvHandle<KvSipViaHeader> via(new KvSipViaHeader("h", 5060, "UDP"));
        auto viaText = [&] { return kvSerialized(via); };
        expectRefused(
            "Via branch", [&] { via->setBranch(t); }, viaText);
        expectRefused("Via host", [&] { KvSipViaHeader("h", 5060, t); });
        expectRefused("Via transport", [&] { KvSipViaHeader(t, 5060, "UDP"); });
        KvSipInviteMessage invite(fromHeader(), toHeader(), contactHeader(), "call-1@host", 5,
                                  "application/sdp", "v=0\r\n", 5);
        auto inviteText = [&] { return kvSerialized(invite); };
        expectRefused(
            "body type", [&] { invite.setBody("x", t, 1); }, inviteText);
        expectRefused(
            "Content-Type media type", [&] { invite.getContentTypeHeader()->setMediaType(t); },
            inviteText);
        expectRefused("Call-ID of a request", [&] {
            KvSipInviteMessage(fromHeader(), toHeader(), contactHeader(), t, 5, nullptr, nullptr,
                               0);
        });
        expectRefused("method", [&] { KvSipRequest{t}; });
        expectRefused("method string", [&] { KvSipRequest{KvString(t)}; });
        KvHandle<KvSipHeader> unknown(new KvSipUnknownHeader("X-A", "b"));
        auto unknownText = [&] { return kvChainText(unknown); };
        expectRefused("unknown header value", [&] { KvSipUnknownHeader("X-A", t); });
        expectRefused("unknown header name", [&] { KvSipUnknownHeader(t, "b"); });
        expectRefused("created header name", [&] { KvSipHeader::createHeader(t); });
        // Texts read as a header value: only a line end that closes them is theirs.
        const std::string param = "<sip:b@h>;p=" + bad;
        expectRefused("To text", [&] { KvSipToHeader{param.c_str()}; });
        expectRefused("Contact text", [&] { KvSipContactHeader{param.c_str()}; });
        expectRefused("Route text", [&] { KvSipRouteHeader{param.c_str()}; });
        expectRefused("URL text", [&] { KvSipURL{("sip:b@h;p=" + bad).c_str()}; });
        expectRefused("name-address text",
                      [&] { KvSipNameAddress{("\"" + bad + "\" <sip:b@h>").c_str()}; });
        expectRefused(
            "unknown header value set",
            [&] { static_cast<KvSipUnknownHeader&>(*unknown).setValue(t); }, unknownText);
        expectRefused(
            "header name", [&] { unknown->setName(KvString(t)); }, unknownText);
        KvHandle<KvURI> uri(new KvURI("urn"));
        uri->setBody("x");
        auto uriText = [&] { return std::string(uri->serialize().c_str()); };
        expectRefused(
            "URI body", [&] { uri->setBody(t); }, uriText);
        expectRefused(
            "URI scheme", [&] { uri->setScheme(t); }, uriText);
        expectRefused("URI of a scheme", [&] { KvURI{t}; });
        expectRefused("display name", [&] { KvSipNameAddress(t, uri); });
        expectRefused("Call-ID", [&] { KvSipCallIdHeader{t}; });
        KvHandle<KvSipRetryAfterHeader> retry(new KvSipRetryAfterHeader(5, 0));
        expectRefused(
            "Retry-After comment", [&] { retry->setComment(t); },
            [&] { return kvSerialized(retry); });
        KvHandle<KvSipSessionExpiresHeader> expires(new KvSipSessionExpiresHeader(90, "uac"));
        expectRefused(
            "refresher", [&] { expires->setRefresher(t); }, [&] { return kvSerialized(expires); });
        expectRefused("Session-Expires", [&] { KvSipSessionExpiresHeader(90, t); });
        expectRefused("CSeq method", [&] { KvSipCSeqHeader(1, t); });
        expectRefused("RAck method", [&] { KvSipRAckHeader(1, 1, t); });
        expectRefused("User-Agent product", [&] { KvSipUserAgentHeader(t, "1"); });
        expectRefused("User-Agent version", [&] { KvSipUserAgentHeader("p", t); });
        expectRefused("Accept", [&] { KvSipAcceptHeader{t}; });
        expectRefused("Accept-Language", [&] { KvSipAcceptLanguageHeader(t, "0.5"); });
        expectRefused("Allow", [&] { KvSipAllowHeader{t}; });
        expectRefused("Require", [&] { KvSipRequireHeader{t}; });
        expectRefused("Supported", [&] { KvSipSupportedHeader{t}; });
        expectRefused(
            "challenge parameter", [&] { challenge->setParameter("opaque", t); },
            [&] { return kvSerialized(challenge); });
        expectRefused("credentials", [&] { KvSipDigestCredentialsInfo(challenge, t, "p"); });
        KvHandle<KvSipDigestCredentialsInfo> credentials(
            new KvSipDigestCredentialsInfo(challenge, "u", "p"));
        auto credentialsText = [&] { return kvSerialized(credentials); };
        expectRefused(
            "user name", [&] { credentials->setUsername(t); }, credentialsText);
    }
    EXPECT_EQ(kvSerialized(KvSipToHeader("<sip:b@h>;tag=1\r\n")), "<sip:b@h>;tag=1");
    EXPECT_EQ(kvSerialized(KvSipContactHeader("<sip:b@h>\n")), "<sip:b@h>");
    // A NUL can only reach a text that carries its length.
    KvHandle<KvSipHeader> unknown(new KvSipUnknownHeader("X-A", "b"));
    expectRefused("NUL in a name",
                  [&] { unknown->setName(KvString(KvStringBuffer::create(nul.data(), 3))); });
}
