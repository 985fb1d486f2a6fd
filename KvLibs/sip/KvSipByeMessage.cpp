#include "KvSipByeMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

KvSipByeMessage::KvSipByeMessage(KvHandle<KvSipMessage> message) {
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
