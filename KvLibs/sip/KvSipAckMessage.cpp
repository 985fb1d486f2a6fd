#include "KvSipAckMessage.h"

#include "KvSipHeaders.h"
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

    // A 2xx is acknowledged to its Contact, anything else along the INVITE's path (its To).
    setPeerURI(*response, "response", response->getStatusCode() / 100 == 2);

    if (bodyLength > 0)
        setBody(body, contentType, bodyLength);
    else
        addHeader(KvHandle<KvSipHeader>(new KvSipContentLengthHeader(0)));
    if (response->getTransport() == KV_TRANSPORT_TCP)
        copyPeer(*response);
}
