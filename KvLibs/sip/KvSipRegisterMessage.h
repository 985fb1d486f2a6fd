// A REGISTER request.
#pragma once

#include "KvSipRequest.h"

#include <cstdint>

class KvSipContactHeader;
class KvSipFromHeader;
class KvSipNameAddress;
class KvSipToHeader;

class KvSipRegisterMessage : public KvSipRequest {
public:
    KvSipRegisterMessage();
    // The request-URI is a copy of requestUri's URI; the headers are added as KvSipRequest does.
    KvSipRegisterMessage(KvHandle<KvSipNameAddress> requestUri, KvHandle<KvSipFromHeader> from,
                         KvHandle<KvSipToHeader> to, KvHandle<KvSipContactHeader> contact,
                         const char* callId, uint32_t cseq, const char* contentType,
                         const char* body, uint32_t bodyLength);
    KvSipRegisterMessage(const KvSipRegisterMessage& other);
    ~KvSipRegisterMessage() override;

    KvObject* clone() const override;

    static KvSipMessage* sCreate();
    // The method token, shared by every request of the class.
    static const KvString& sToken();
};

inline const KvSipMessageRegistrar kvSipRegisterMessageRegistrar("REGISTER",
                                                                 &KvSipRegisterMessage::sCreate);
