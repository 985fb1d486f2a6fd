#include "KvSipByeMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

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

KvSipByeMessage::KvSipByeMessage(KvHandle<KvSipMessage> message) : KvSipRequest(sToken()) {
    requirePart(!message.isNull(), "message", "content");
    KvHandle<KvSipFromHeader> from = message->getFromHeader();
    KvHandle<KvSipToHeader> to = message->getToHeader();
    KvHandle<KvSipCallIdHeader> callId = message->getCallIdHeader();
    KvHandle<KvSipCSeqHeader> cseq = message->getCSeqHeader();
    requirePart(!from.isNull(), "message", "From header");
    requirePart(!to.isNull(), "message", "To header");
    requirePart(!callId.isNull(), "message", "Call-ID header");
    requirePart(!cseq.isNull(), "message", "CSeq header");

    // The peer's Contact when there is one, else its To address, whatever the URI's scheme.
    KvHandle<KvURI> uri;
    KvHandle<KvSipContactHeader> contact = message->getContactHeader();
    if (!contact.isNull() && !contact->getNameAddress().isNull())
        uri = contact->getNameAddress()->getURI();
    else if (!to->getNameAddress().isNull())
        uri = to->getNameAddress()->getURI();
    requirePart(!uri.isNull(), "message", "address for the request-URI");
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
