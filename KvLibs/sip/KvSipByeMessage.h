// A BYE request, built from values or from a message of the call.
#pragma once

#include "KvSipRequest.h"

#include <cstdint>

class KvSipContactHeader;
class KvSipFromHeader;
class KvSipNameAddress;
class KvSipToHeader;

class KvSipByeMessage : public KvSipRequest {
public:
    KvSipByeMessage();
    // The request-URI is a copy of requestUri's URI; the headers are added as KvSipRequest does.
    KvSipByeMessage(KvHandle<KvSipNameAddress> requestUri, KvHandle<KvSipFromHeader> from,
                    KvHandle<KvSipToHeader> to, KvHandle<KvSipContactHeader> contact,
                    const char* callId, uint32_t cseq, const char* contentType, const char* body,
                    uint32_t bodyLength);
    // The BYE that ends the call that message belongs to; its CSeq number is one above message's.
    explicit KvSipByeMessage(KvHandle<KvSipMessage> message);
    KvSipByeMessage(const KvSipByeMessage& other);
    ~KvSipByeMessage() override;

    KvObject* clone() const override;

    static KvSipMessage* sCreate();
    // The method token, shared by every request of the class.
    static const KvString& sToken();
};

inline const KvSipMessageRegistrar kvSipByeMessageRegistrar("BYE", &KvSipByeMessage::sCreate);
