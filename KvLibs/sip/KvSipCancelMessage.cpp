#include "KvSipCancelMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

KvSipCancelMessage::KvSipCancelMessage(KvHandle<KvSipRequest> request) {
    requirePart(!request.isNull(), "request", "content");
    KvHandle<KvSipFromHeader> from = request->getFromHeader();
    KvHandle<KvSipToHeader> to = request->getToHeader();
    KvHandle<KvSipCallIdHeader> callId = request->getCallIdHeader();
    KvHandle<KvSipCSeqHeader> cseq = request->getCSeqHeader();
    KvHandle<KvURI> uri = request->getRequestURI();
    requirePart(!from.isNull(), "request", "From header");
    requirePart(!to.isNull(), "request", "To header");
    requirePart(!callId.isNull(), "request", "Call-ID header");
    requirePart(!cseq.isNull(), "request", "CSeq header");
    requirePart(!uri.isNull(), "request", "request-URI");

    addHeader(KvHandle<KvSipHeader>(new KvSipFromHeader(*from)));
    addHeader(KvHandle<KvSipHeader>(new KvSipToHeader(*to)));
    setRequestURI(uri);
    addHeader(KvHandle<KvSipHeader>(new KvSipCallIdHeader(callId->getCallIdText())));
    addHeader(KvHandle<KvSipHeader>(new KvSipCSeqHeader(cseq->getNumber(), sToken().c_str())));
    // The top Via with its branch, so that the CANCEL matches the transaction it cancels.
    KvHandle<KvSipHeader> via = request->getHeader(KV_HEADER_VIA);
    if (!via.isNull())
        addHeader(KvHandle<KvSipHeader>(static_cast<KvSipHeader*>(via->clone())));
    addHeader(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(0)));
}
