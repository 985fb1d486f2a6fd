// An INVITE request.
#pragma once

#include "KvSipRequest.h"

#include <cstdint>

class KvSipContactHeader;
class KvSipFromHeader;
class KvSipNameAddress;
class KvSipToHeader;

class KvSipInviteMessage : public KvSipRequest {
public:
    KvSipInviteMessage();
    // The request-URI is a copy of requestUri's URI; the headers are added as KvSipRequest does.
    KvSipInviteMessage(KvHandle<KvSipNameAddress> requestUri, KvHandle<KvSipFromHeader> from,
                       KvHandle<KvSipToHeader> to, KvHandle<KvSipContactHeader> contact,
                       const char* callId, uint32_t cseq, const char* contentType, const char* body,
                       uint32_t bodyLength);
    // The request-URI is the URI of to's address.
    KvSipInviteMessage(KvHandle<KvSipFromHeader> from, KvHandle<KvSipToHeader> to,
                       KvHandle<KvSipContactHeader> contact, const char* callId, uint32_t cseq,
                       const char* contentType, const char* body, uint32_t bodyLength);
    KvSipInviteMessage(const KvSipInviteMessage& other);
    ~KvSipInviteMessage() override;

    KvObject* clone() const override;

    static KvSipMessage* sCreate();
    // The method token, shared by every request of the class.
    static const KvString& sToken();
};

inline const KvSipMessageRegistrar kvSipInviteMessageRegistrar("INVITE",
                                                               &KvSipInviteMessage::sCreate);
