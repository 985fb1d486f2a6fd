// A PRACK request, acknowledging a reliable provisional response.
#pragma once

#include "KvSipRequest.h"

#include <cstdint>

class KvSipContactHeader;
class KvSipFromHeader;
class KvSipNameAddress;
class KvSipToHeader;

class KvSipPrackMessage : public KvSipRequest {
public:
    KvSipPrackMessage();
    // The request-URI is a copy of requestUri's URI; the headers are added as KvSipRequest does.
    KvSipPrackMessage(KvHandle<KvSipNameAddress> requestUri, KvHandle<KvSipFromHeader> from,
                      KvHandle<KvSipToHeader> to, KvHandle<KvSipContactHeader> contact,
                      const char* callId, uint32_t cseq, const char* contentType, const char* body,
                      uint32_t bodyLength);
    KvSipPrackMessage(const KvSipPrackMessage& other);
    ~KvSipPrackMessage() override;

    KvObject* clone() const override;

    static KvSipMessage* sCreate();
    // The method token, shared by every request of the class.
    static const KvString& sToken();
};

inline const KvSipMessageRegistrar kvSipPrackMessageRegistrar("PRACK", &KvSipPrackMessage::sCreate);
