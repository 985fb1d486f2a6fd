// An INVITE request.
#pragma once

#include "KvSipRequestClass.h"

class KvSipInviteMessage : public KvSipRequestClass<KvSipInviteMessage> {
public:
    static constexpr const char* METHOD = "INVITE";

    KvSipInviteMessage() = default;
    // The value constructor: the request value constructor with this method.
    using KvSipRequestClass::KvSipRequestClass;
    // The request-URI is the URI of to's address, without its URL headers.
    KvSipInviteMessage(KvHandle<KvSipFromHeader> from, KvHandle<KvSipToHeader> to,
                       KvHandle<KvSipContactHeader> contact, const char* callId, uint32_t cseq,
                       const char* contentType, const char* body, uint32_t bodyLength);
};

inline const KvSipRequestClassRegistrar<KvSipInviteMessage> kvSipInviteMessageRegistrar;
