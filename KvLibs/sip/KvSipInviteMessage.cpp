#include "KvSipInviteMessage.h"

#include "KvSipHeaders.h"
#include "KvSipNameAddress.h"

KvSipInviteMessage::KvSipInviteMessage(KvHandle<KvSipFromHeader> from, KvHandle<KvSipToHeader> to,
                                       KvHandle<KvSipContactHeader> contact, const char* callId,
                                       uint32_t cseq, const char* contentType, const char* body,
                                       uint32_t bodyLength)
    : KvSipRequestClass(from, to, contact, callId, cseq, contentType, body, bodyLength) {}
