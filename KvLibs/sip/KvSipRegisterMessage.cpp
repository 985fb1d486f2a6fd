#include "KvSipRegisterMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

const KvString& KvSipRegisterMessage::sToken() {
    static const KvString token("REGISTER");
    return token;
}

KvSipMessage* KvSipRegisterMessage::sCreate() {
    return new KvSipRegisterMessage();
}

KvSipRegisterMessage::KvSipRegisterMessage() : KvSipRequest(sToken()) {}

KvSipRegisterMessage::KvSipRegisterMessage(KvHandle<KvSipNameAddress> requestUri,
                                           KvHandle<KvSipFromHeader> from,
                                           KvHandle<KvSipToHeader> to,
                                           KvHandle<KvSipContactHeader> contact, const char* callId,
                                           uint32_t cseq, const char* contentType, const char* body,
                                           uint32_t bodyLength)
    : KvSipRequest(sToken(), requestUri, from, to, contact, callId, cseq, contentType, body,
                   bodyLength) {}

KvSipRegisterMessage::KvSipRegisterMessage(const KvSipRegisterMessage& other)
    : KvSipRequest(other) {}

KvSipRegisterMessage::~KvSipRegisterMessage() = default;

KvObject* KvSipRegisterMessage::clone() const {
    return new KvSipRegisterMessage(*this);
}
