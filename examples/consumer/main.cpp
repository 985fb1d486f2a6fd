// Parses an INVITE with an SDP offer and prints what a call needs from it.
#include "KvByteArray.h"
#include "KvByteArrayInputStream.h"
#include "KvException.h"
#include "KvMediaSession.h"
#include "KvSipMessage.h"

#include <iostream>
#include <string>

int main() {
    const std::string body = "v=0\r\n"
                             "o=- 1 1 IN IP4 192.0.2.10\r\n"
                             "s=-\r\n"
                             "c=IN IP4 192.0.2.10\r\n"
                             "t=0 0\r\n"
                             "m=audio 49170 RTP/AVP 0\r\n";
    const std::string text = "INVITE sip:dave@example.org SIP/2.0\r\n"
                             "Via: SIP/2.0/UDP 192.0.2.10:5060;branch=z9hG4bK1c0ffee\r\n"
                             "From: <sip:carol@example.com>;tag=1\r\n"
                             "To: <sip:dave@example.org>\r\n"
                             "Call-ID: consumer-1@192.0.2.10\r\n"
                             "CSeq: 1 INVITE\r\n"
                             "Content-Type: application/sdp\r\n"
                             "Content-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n" + body;
    try {
        KvByteArrayInputStream in(
            KvByteArray::sCreate(static_cast<uint32_t>(text.size()), text.data()));
        KvHandle<KvSipMessage> message = KvSipMessage::sConstructFrom(in);
        if (message.isNull() || !message->isValid()) {
            std::cout << "not a valid SIP message\n";
            return 1;
        }
        KvHandle<KvMediaSession> session = KvMediaSession::sConstructFrom(
            message->getBody(), static_cast<int32_t>(message->getBodyLength()));
        if (session.isNull() || session->getStreams().empty()) {
            std::cout << "no usable SDP offer\n";
            return 1;
        }
        std::cout << "valid INVITE, audio to "
                  << session->getStreams().front()->getAddress().getHostAddress() << ":"
                  << session->getStreams().front()->getPort() << '\n';
    } catch (KvHandle<KvException>& e) {
        std::cout << "failed: " << e->getText() << '\n';
        return 1;
    }
    return 0;
}
