#include "KvSipPrackMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

const KvString& KvSipPrackMessage::sToken() {
    static const KvString token("PRACK");
    return token;
}

KvSipMessage* KvSipPrackMessage::sCreate() {
    return new KvSipPrackMessage();
}

KvSipPrackMessage::KvSipPrackMessage() : KvSipRequest(sToken()) {}

KvSipPrackMessage::KvSipPrackMessage(KvHandle<KvSipNameAddress> requestUri,
                                     KvHandle<KvSipFromHeader> from, KvHandle<KvSipToHeader> to,
                                     KvHandle<KvSipContactHeader> contact, const char* callId,
                                     uint32_t cseq, const char* contentType, const char* body,
                                     uint32_t bodyLength)
    : KvSipRequest(sToken(), requestUri, from, to, contact, callId, cseq, contentType, body,
                   bodyLength) {}

KvSipPrackMessage::KvSipPrackMessage(const KvSipPrackMessage& other) : KvSipRequest(other) {}

KvSipPrackMessage::~KvSipPrackMessage() = default;

KvObject* KvSipPrackMessage::clone() const {
    return new KvSipPrackMessage(*this);
}
