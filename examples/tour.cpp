// tour: the README's API tour as one program. Each step prints what it got and checks it against
// what the README says; the program exits 1 when one of those checks fails.
#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvByteArrayOutputStream.h"
#include "KvErrorStream.h"
#include "KvException.h"
#include "KvFileInputStream.h"
#include "KvInetAddress.h"
#include "KvMediaSession.h"
#include "KvSipAuthenticateHeader.h"
#include "KvSipAuthorizationHeader.h"
#include "KvSipCSeqHeader.h"
#include "KvSipContactHeader.h"
#include "KvSipDigestCredentialsInfo.h"
#include "KvSipFromHeader.h"
#include "KvSipMessage.h"
#include "KvSipRequest.h"
#include "KvSipResponse.h"
#include "KvSipToHeader.h"
#include "KvSipURL.h"
#include "KvSipViaHeader.h"

#include <iostream>
#include <string>

namespace {

int gFailures = 0;

void check(bool holds, const char* what) {
    if (!holds) {
        std::cout << "NOT AS DESCRIBED: " << what << '\n';
        ++gFailures;
    }
}

const std::string kSdpOffer = "v=0\r\n"
                              "o=carol 2890844526 2890844526 IN IP4 192.0.2.10\r\n"
                              "s=-\r\n"
                              "c=IN IP4 192.0.2.10\r\n"
                              "t=0 0\r\n"
                              "m=audio 49170 RTP/AVP 0 101\r\n"
                              "a=rtpmap:0 PCMU/8000\r\n"
                              "a=rtpmap:101 telephone-event/8000\r\n";

const std::string kInvite = "INVITE sip:dave@example.org SIP/2.0\r\n"
                            "Via: SIP/2.0/UDP 192.0.2.10:5060;branch=z9hG4bK74bf9\r\n"
                            "Max-Forwards: 70\r\n"
                            "From: \"Carol\" <sip:carol@example.com>;tag=9fxced76sl\r\n"
                            "To: <sip:dave@example.org>\r\n"
                            "Call-ID: 3848276298220188511@192.0.2.10\r\n"
                            "CSeq: 1 INVITE\r\n"
                            "Contact: <sip:carol@192.0.2.10:5060>\r\n"
                            "Subject: lunch\r\n"
                            "Content-Type: application/sdp\r\n"
                            "Content-Length: " +
                            std::to_string(kSdpOffer.size()) + "\r\n\r\n" + kSdpOffer;

const std::string kRegister = "REGISTER sip:example.com SIP/2.0\r\n"
                              "Via: SIP/2.0/UDP 192.0.2.10:5060;branch=z9hG4bK2e5d90c7\r\n"
                              "Max-Forwards: 70\r\n"
                              "From: <sip:carol@example.com>;tag=90c2d1\r\n"
                              "To: <sip:carol@example.com>\r\n"
                              "Call-ID: 1f3b6a90d2c84e17@192.0.2.10\r\n"
                              "CSeq: 1 REGISTER\r\n"
                              "Contact: <sip:carol@192.0.2.10:5060>;expires=3600\r\n"
                              "Content-Length: 0\r\n\r\n";

const std::string kChallenge = "SIP/2.0 401 Unauthorized\r\n"
                               "Via: SIP/2.0/UDP 192.0.2.10:5060;branch=z9hG4bK2e5d90c7\r\n"
                               "From: <sip:carol@example.com>;tag=90c2d1\r\n"
                               "To: <sip:carol@example.com>;tag=37GkEhwl6\r\n"
                               "Call-ID: 1f3b6a90d2c84e17@192.0.2.10\r\n"
                               "CSeq: 1 REGISTER\r\n"
                               "WWW-Authenticate: Digest realm=\"example.com\", "
                               "nonce=\"5c7f0a1e9b3d\", algorithm=MD5\r\n"
                               "Content-Length: 0\r\n\r\n";

KvHandle<KvSipMessage> parse(const std::string& text) {
    KvByteArrayInputStream in(
        KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data()));
    return KvSipMessage::sConstructFrom(in);
}

std::string written(const KvHandle<KvSipMessage>& message) {
    KvByteArrayOutputStream out;
    message->serialize(out);
    KvHandle<KvByteArray> bytes = out.toByteArray();
    return std::string(bytes->getData(), bytes->size());
}

void readMessage() {
    std::cout << "--- parse a message and read its headers\n";
    const std::string& text = kInvite;
    KvByteArrayInputStream in(
        KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data()));
    KvHandle<KvSipMessage> message = KvSipMessage::sConstructFrom(in);
    if (!message->isValid())
        std::cout << "damaged: parse state " << message->getParseState() << '\n';

    KvHandle<KvSipRequest> request = message; // checked: throws for a response
    KvHandle<KvSipFromHeader> from = message->getFromHeader();
    KvHandle<KvSipURL> url = from->getNameAddress()->getSipURL(); // null for a tel: URI
    std::cout << request->getMethod() << " from " << url->getUser() << " at " << url->getHost()
              << ", tag " << from->getTag() << ", CSeq " << message->getCSeqHeader()->getNumber()
              << ", branch " << message->getViaHeader()->getBranch() << '\n';
    KvHandle<KvSipHeader> subject = message->getHeader("Subject"); // any header, by name or id

    KvByteArrayOutputStream value;
    subject->serialize(value);
    KvHandle<KvByteArray> valueBytes = value.toByteArray();
    std::cout << "Subject: " << std::string(valueBytes->getData(), valueBytes->size()) << '\n';
    check(message->getParseState() == KV_VALID, "the INVITE parses valid");
    check(request->getMethod() == "INVITE", "the method is INVITE");
    check(from->getTag() == "9fxced76sl", "the From tag is read");
    check(url->getUser() == "carol" && url->getHost() == "example.com", "the From URL is read");
    check(message->getViaHeader()->getBranch() == "z9hG4bK74bf9", "the branch is read");
    bool refused = false;
    try {
        KvHandle<KvSipResponse> response = message;
    } catch (KvHandle<KvException>&) {
        refused = true;
    }
    check(refused, "a request is refused as a response handle");
}

void buildResponse() {
    std::cout << "--- build a response to a request\n";
    KvHandle<KvSipRequest> request = parse(kInvite);

    KvHandle<KvSipResponse> ringing(new KvSipResponse(180, request));
    ringing->getToHeader()->setTag("a73kszlfl");
    ringing->addHeader(new KvSipContactHeader("<sip:dave@192.0.2.20:5060>"));
    KvByteArrayOutputStream out;
    ringing->serialize(out);
    KvHandle<KvByteArray> bytes = out.toByteArray(); // bytes->getData(), bytes->size()

    const std::string text(bytes->getData(), bytes->size());
    std::cout << text;
    check(text.rfind("SIP/2.0 180 Ringing\r\n", 0) == 0, "the status line comes first");
    check(text.find("To: <sip:dave@example.org>;tag=a73kszlfl\r\n") != std::string::npos,
          "the To header carries the new tag");
    check(text.find("CSeq: 1 INVITE\r\n") != std::string::npos, "the CSeq is echoed");
}

// The credentials of a received request, or null when it carries none.
KvHandle<KvSipDigestCredentialsInfo> credentialsOf(const std::string& text) {
    KvHandle<KvSipAuthorizationHeader> header = parse(text)->getHeader(KV_HEADER_AUTHORIZATION);
    return header.isNull() ? KvHandle<KvSipDigestCredentialsInfo>()
                           : KvHandle<KvSipDigestCredentialsInfo>(header->getCredentials());
}

// Client and server sides of a Digest exchange; the server reads what the client wrote.
void digest() {
    std::cout << "--- Digest: the client answers a challenge, the server checks the answer\n";
    KvHandle<KvSipRequest> request = parse(kRegister);
    KvHandle<KvSipResponse> response = parse(kChallenge);

    KvHandle<KvSipChallengeInfo> challenge = response->getAuthenticateHeader()->getChallenge();
    KvHandle<KvSipDigestCredentialsInfo> credentials(
        new KvSipDigestCredentialsInfo(challenge, "carol", "secret"));
    credentials->setMethod(request->getMethod().c_str());
    credentials->setUri(request->getRequestURI());
    request->getCSeqHeader()->setNumber(2);
    request->getViaHeader()->setBranch("z9hG4bK5b1e0a9d");
    request->addHeader(new KvSipAuthorizationHeader(credentials));
    const std::string sent = written(request); // the response digest is computed here

    KvHandle<KvSipRequest> received = parse(sent);
    KvHandle<KvSipAuthorizationHeader> authorization = received->getHeader(KV_HEADER_AUTHORIZATION);
    if (authorization.isNull())
        return; // no credentials yet: answer 401 with a challenge
    KvHandle<KvSipDigestCredentialsInfo> answer = authorization->getCredentials();
    answer->setMethod(received->getMethod().c_str());
    bool accepted = answer->verify("carol", "secret", "example.com");

    const size_t line = sent.find("Authorization");
    std::cout << sent.substr(line, sent.find("\r\n", line) - line) << '\n';
    std::cout << "verified: " << (accepted ? "yes" : "no") << '\n';
    check(accepted, "the answer verifies with the right password");
    check(!answer->verify("carol", "wrong", "example.com"), "a wrong password does not verify");

    // A step left out raises nothing: the check just fails.
    check(!credentialsOf(sent)->verify("carol", "secret", "example.com"),
          "a server that leaves out setMethod gets false for the right password");
    KvHandle<KvSipDigestCredentialsInfo> careless(
        new KvSipDigestCredentialsInfo(challenge, "carol", "secret"));
    careless->setUri(request->getRequestURI());
    KvHandle<KvSipRequest> carelessRequest = parse(kRegister);
    carelessRequest->addHeader(new KvSipAuthorizationHeader(careless));
    KvHandle<KvSipDigestCredentialsInfo> carelessAnswer = credentialsOf(written(carelessRequest));
    carelessAnswer->setMethod("REGISTER");
    check(!carelessAnswer->verify("carol", "secret", "example.com"),
          "a client that leaves out setMethod writes an answer that does not verify");
}

void mediaSession() {
    std::cout << "--- SDP through the media session\n";
    // An offer: one audio stream, its formats, the session's addresses; getSdp() makes the text.
    KvHandle<KvMediaStream> audio(
        new KvMediaStream(KvMediaAudio, 49170, KvInetAddress("192.0.2.10")));
    audio->addFormat(KvMediaFormat(0, "PCMU"));
    audio->addFormat(KvMediaFormat(101, "telephone-event"));
    KvHandle<KvMediaSession> offer(new KvMediaSession(audio));
    offer->setUserName("carol");
    offer->setOriginAddress("192.0.2.10");
    offer->setConnectionAddress("192.0.2.10");
    KvHandle<KvSipRequest> invite = parse(kInvite);
    invite->setBody(offer->getSdp(), "application/sdp",
                    static_cast<uint32_t>(offer->getSdpLength()));
    std::cout << offer->getSdp();

    // An SDP body read: the streams with their address, port and formats.
    KvHandle<KvSipMessage> message = parse(kInvite);
    KvHandle<KvMediaSession> session = KvMediaSession::sConstructFrom(
        message->getBody(), static_cast<int32_t>(message->getBodyLength()));
    check(!session.isNull(), "the body gives a media session");
    if (session.isNull())
        return; // no SDP, or no media description of a known type
    for (const KvHandle<KvMediaStream>& stream : session->getStreams()) {
        std::cout << "stream to " << stream->getAddress().getHostAddress() << ":"
                  << stream->getPort() << ", formats";
        for (const KvMediaFormat& format : stream->getFormats())
            std::cout << " " << format.getPayloadType() << "/"
                      << (format.getEncodingName() ? format.getEncodingName() : "(unnamed)");
        std::cout << '\n';
    }

    const std::string sdp = offer->getSdp();
    check(sdp.find("m=audio 49170 RTP/AVP 0 101\r\n") != std::string::npos,
          "the offer's media line lists the formats");
    check(sdp.find("a=rtpmap:101 telephone-event/8000\r\n") != std::string::npos,
          "the offer names its formats");
    check(invite->getBodyLength() == sdp.size(), "the offer is the INVITE's body");
    check(session->getStreams().size() == 1, "the body gives one stream");
    if (!session->getStreams().empty()) {
        const KvHandle<KvMediaStream>& stream = session->getStreams().front();
        check(std::string(stream->getAddress().getHostAddress()) == "192.0.2.10" &&
                  stream->getPort() == 49170,
              "the stream's address and port are read");
        bool named = false;
        for (const KvMediaFormat& format : stream->getFormats())
            named = named || (format.getPayloadType() == 101 && format.getEncodingName() &&
                              std::string(format.getEncodingName()) == "telephone-event");
        check(named, "rtpmap names the format");
    }
}

// print() ends with the exception's text and the system's reason; getText() is the text alone.
std::string printed(const KvHandle<KvException>& e) {
    KvByteArrayOutputStream out;
    e->print(out);
    KvHandle<KvByteArray> bytes = out.toByteArray();
    std::string text(bytes->getData(), bytes->size());
    return text.substr(text.rfind('\n') + 1);
}

void exceptions() {
    std::cout << "--- exceptions\n";
    try {
        KvFileInputStream file("no-such-file.sip");
    } catch (KvHandle<KvException>& e) {
        std::cout << "getText: " << e->getText() << '\n';
        std::cout << "print:   " << printed(e) << '\n';
        check(std::string(e->getText()) == "no-such-file.sip", "getText is the bare text");
        check(printed(e).find("No such file or directory") != std::string::npos,
              "print adds the system's reason");
    }
}

void errorLines() {
    std::cout << "--- the library's error lines\n";
    // The parser's reasons for a damaged message, kept in memory instead of the standard error.
    KvHandle<KvByteArrayOutputStream> log(new KvByteArrayOutputStream);
    KvHandle<KvErrorStream> errors(new KvErrorStream(log));
    errors->addCategory("KvException");
    KvHandle<KvErrorStream> previous = KvErrorStream::setInstance(errors);

    KvHandle<KvSipMessage> damaged = parse("OPTIONS sip:dave@example.org SIP/2.0\r\n"
                                           "Via: SIP/2.0/UDP 192.0.2.10\r\n"
                                           ": no name\r\n\r\n");
    KvErrorStream::setInstance(previous);
    KvHandle<KvByteArray> bytes = log->toByteArray();
    const std::string lines(bytes->getData(), bytes->size());
    std::cout << "parse state " << damaged->getParseState() << ", logged: " << lines;
    check(damaged->getParseState() != KV_VALID, "the damaged message is not valid");
    check(lines.find("KvSipHeader::sConstructFrom") != std::string::npos,
          "the parser's reason reaches the installed stream");
}

} // namespace

int main() {
    try {
        readMessage();
        buildResponse();
        digest();
        mediaSession();
        exceptions();
        errorLines();
    } catch (KvHandle<KvException>& e) {
        std::cout << "NOT AS DESCRIBED: stack exception: " << e->getText() << '\n';
        return 1;
    }
    if (gFailures != 0)
        return 1;
    std::cout << "tour: every step as described\n";
    return 0;
}
