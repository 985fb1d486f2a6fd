#include "KvSipCancelMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

KvSipCancelMessage::KvSipCancelMessage(KvHandle<KvSipRequest> request) {
    requirePart(!request.isNull(), "request", "content");
    addCallHeaders(*request, "request", 0);
    KvHandle<KvURI> uri = request->getRequestURI();
    requirePart(!uri.isNull(), "request", "request-URI");
    setRequestURIOf(uri);
    // The top Via with its branch, so that the CANCEL matches the transaction it cancels.
    KvHandle<KvSipHeader> via = request->getHeader(KV_HEADER_VIA);
    if (!via.isNull())
        addHeader(KvHandle<KvSipHeader>(static_cast<KvSipHeader*>(via->clone())));
    addHeader(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(0)));
}
