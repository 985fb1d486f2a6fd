#include "KvSipAckMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"
#include "KvSipInviteMessage.h"
#include "KvSipParseError.h"
#include "KvSipResponse.h"

#include <cstring>

KvSipAckMessage::KvSipAckMessage(KvHandle<KvSipResponse> response, const char* body,
                                 const char* contentType, uint32_t bodyLength) {
    requirePart(!response.isNull(), "response", "message");
    KvHandle<KvSipCSeqHeader> cseq = response->getCSeqHeader();
    requirePart(!cseq.isNull(), "response", "CSeq header");
    if (std::strcmp(cseq->getMethod(), KvSipInviteMessage::sToken().c_str()) != 0)
        KvSipParseError::raise("The SIP ACK Request is only for INVITE Response");
    addCallHeaders(*response, "response", 0);

    // A 2xx is acknowledged to its Contact, anything else along the INVITE's path (its To). The
    // URI is taken whole whatever its scheme.
    KvHandle<KvURI> uri;
    KvHandle<KvSipContactHeader> contact = response->getContactHeader();
    KvHandle<KvSipToHeader> to = getToHeader();
    if (!contact.isNull() && response->getStatusCode() / 100 == 2 &&
        !contact->getNameAddress().isNull())
        uri = contact->getNameAddress()->getURI();
    else if (!to->getNameAddress().isNull())
        uri = to->getNameAddress()->getURI();
    requirePart(!uri.isNull(), "response", "address for the request-URI");
    setRequestURI(uri);

    if (bodyLength > 0)
        setBody(body, contentType, bodyLength);
    else
        addHeader(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(0)));
    if (response->getTransport() == KV_TRANSPORT_TCP)
        copyPeer(*response);
}
