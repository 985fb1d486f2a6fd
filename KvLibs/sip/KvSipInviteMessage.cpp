#include "KvSipInviteMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

const KvString& KvSipInviteMessage::sToken() {
    static const KvString token("INVITE");
    return token;
}

KvSipMessage* KvSipInviteMessage::sCreate() {
    return new KvSipInviteMessage();
}

KvSipInviteMessage::KvSipInviteMessage() : KvSipRequest(sToken()) {}

KvSipInviteMessage::KvSipInviteMessage(KvHandle<KvSipNameAddress> requestUri,
                                       KvHandle<KvSipFromHeader> from, KvHandle<KvSipToHeader> to,
                                       KvHandle<KvSipContactHeader> contact, const char* callId,
                                       uint32_t cseq, const char* contentType, const char* body,
                                       uint32_t bodyLength)
    : KvSipRequest(sToken(), requestUri, from, to, contact, callId, cseq, contentType, body,
                   bodyLength) {}

KvSipInviteMessage::KvSipInviteMessage(KvHandle<KvSipFromHeader> from, KvHandle<KvSipToHeader> to,
                                       KvHandle<KvSipContactHeader> contact, const char* callId,
                                       uint32_t cseq, const char* contentType, const char* body,
                                       uint32_t bodyLength)
    : KvSipRequest(sToken(), from, to, contact, callId, cseq, contentType, body, bodyLength) {}

KvSipInviteMessage::KvSipInviteMessage(const KvSipInviteMessage& other) : KvSipRequest(other) {}

KvSipInviteMessage::~KvSipInviteMessage() = default;

KvObject* KvSipInviteMessage::clone() const {
    return new KvSipInviteMessage(*this);
}
