#include "KvSipByeMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"
#include "KvException.h"

#include <string>

const KvString& KvSipByeMessage::sToken() {
    static const KvString token("BYE");
    return token;
}

KvSipMessage* KvSipByeMessage::sCreate() {
    return new KvSipByeMessage();
}

KvSipByeMessage::KvSipByeMessage() : KvSipRequest(sToken()) {}

KvSipByeMessage::KvSipByeMessage(KvHandle<KvSipNameAddress> requestUri,
                                 KvHandle<KvSipFromHeader> from, KvHandle<KvSipToHeader> to,
                                 KvHandle<KvSipContactHeader> contact, const char* callId,
                                 uint32_t cseq, const char* contentType, const char* body,
                                 uint32_t bodyLength)
    : KvSipRequest(sToken(), requestUri, from, to, contact, callId, cseq, contentType, body,
                   bodyLength) {}

namespace {

void requirePart(bool present, const char* what) {
    if (!present) {
        std::string text = "Can't build BYE: the message has no ";
        text += what;
        KvException::sThrow(text.c_str());
    }
}

} // namespace

KvSipByeMessage::KvSipByeMessage(KvHandle<KvSipMessage> message) : KvSipRequest(sToken()) {
    requirePart(!message.isNull(), "content");
    KvHandle<KvSipFromHeader> from = message->getFromHeader();
    KvHandle<KvSipToHeader> to = message->getToHeader();
    KvHandle<KvSipCallIdHeader> callId = message->getCallIdHeader();
    KvHandle<KvSipCSeqHeader> cseq = message->getCSeqHeader();
    requirePart(!from.isNull(), "From header");
    requirePart(!to.isNull(), "To header");
    requirePart(!callId.isNull(), "Call-ID header");
    requirePart(!cseq.isNull(), "CSeq header");

    // The peer's Contact when there is one, else its To address, whatever the URI's scheme.
    KvHandle<KvURI> uri;
    KvHandle<KvSipContactHeader> contact = message->getContactHeader();
    if (!contact.isNull() && !contact->getNameAddress().isNull())
        uri = contact->getNameAddress()->getURI();
    else if (!to->getNameAddress().isNull())
        uri = to->getNameAddress()->getURI();
    requirePart(!uri.isNull(), "address for the request-URI");
    setRequestURI(uri);

    addHeader(KvHandle<KvSipHeader>(new KvSipFromHeader(*from)));
    addHeader(KvHandle<KvSipHeader>(new KvSipToHeader(*to)));
    addHeader(KvHandle<KvSipHeader>(new KvSipCallIdHeader(callId->getCallIdText())));
    addHeader(KvHandle<KvSipHeader>(new KvSipCSeqHeader(cseq->getNumber() + 1, sToken().c_str())));
    addHeader(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(0)));
}

KvSipByeMessage::KvSipByeMessage(const KvSipByeMessage& other) : KvSipRequest(other) {}

KvSipByeMessage::~KvSipByeMessage() = default;

KvObject* KvSipByeMessage::clone() const {
    return new KvSipByeMessage(*this);
}
